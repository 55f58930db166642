#pragma once

#include <QImage>

#include <memory>
#include <vector>

struct SwsContext;

namespace lv {

// The Mitchell-Netravali resampling of a srcWidth x srcHeight ARGB32 picture into the
// rectangle (x, y, w, h) of dest, fed with strips of rows from top to bottom, so that the
// whole source never needs to be in memory. The scaler keeps the rows its filter still needs;
// the result is the same as scaling the whole picture at once. Reductions of more than 32
// times go in steps, through pictures at most 32 times smaller than the one before.
class TStripScaler {
public:
    TStripScaler(int srcWidth, int srcHeight, QImage& dest, int x, int y, int w, int h);
    ~TStripScaler();
    TStripScaler(const TStripScaler&) = delete;
    TStripScaler& operator=(const TStripScaler&) = delete;

    // The next `count` rows of the source, `stride` bytes apart.
    void Feed(const uchar* rows, qsizetype stride, int count);

private:
    struct SwsDeleter {
        void operator()(SwsContext* c) const;
    };
    struct Step {
        std::unique_ptr<SwsContext, SwsDeleter> ctx;
        QImage out; // null for the last step, which writes into dest
    };
    std::vector<Step> m_steps;
    QImage& m_dest;
    int m_x, m_y;
    int m_srcHeight;
    int m_next = 0; // first source row not fed yet
};

} // namespace lv
