#pragma once

#include <QImage>

#include <array>
#include <cstdint>

namespace lv {

// Blends the last frame of one picture (A) into the first frame of the next (B) over F
// frames. A and B belong to the frame server.
class TFramesFader {
public:
    TFramesFader(const QImage& a, const QImage& b, int fadeFrames);

    // dest takes A's size; each colour channel is a + nearest((b - a) * t / F), with t / F
    // computed once in single precision and ties going to even. The alpha byte is 0.
    void Blend(int t, QImage& dest);

private:
    const QImage& m_a;
    const QImage& m_b;
    int m_fadeFrames;
    // nearest(d * alpha) for d = -255..255, rebuilt per frame: 511 products instead of one
    // per channel and pixel.
    std::array<std::int16_t, 511> m_delta{};
};

} // namespace lv
