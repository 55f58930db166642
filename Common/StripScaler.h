#pragma once

#include <QImage>

#include <memory>

struct SwsContext;

namespace lv {

// The Mitchell-Netravali resampling of a srcWidth x srcHeight ARGB32 picture into the
// rectangle (x, y, w, h) of dest, fed with strips of rows from top to bottom, so that the
// whole source never needs to be in memory. The scaler keeps the rows its filter still needs;
// the result is the same as scaling the whole picture at once.
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
    std::unique_ptr<SwsContext, SwsDeleter> m_ctx;
    QImage& m_dest;
    int m_x, m_y;
    int m_srcHeight;
    int m_next = 0; // first source row not fed yet
};

} // namespace lv
