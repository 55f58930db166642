#pragma once

#include <QImage>

#include <array>
#include <cstdint>
#include <memory>

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
    // The blended channel for every pair (a, b), index a * 256 + b, rebuilt per frame: one
    // lookup per channel instead of a product and a rounding.
    std::unique_ptr<std::array<std::uint8_t, 65536>> m_table;
};

} // namespace lv
