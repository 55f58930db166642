#pragma once

#include <QImage>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace lv {

// Blends the last frame of one picture (A) into the first frame of the next (B) over F
// frames. A and B belong to the frame server.
class TFramesFader {
public:
    TFramesFader(const QImage& a, const QImage& b, int fadeFrames);

    // dest takes A's size; each colour channel is a + nearest((b - a) * t / F), with t / F
    // computed once in single precision and ties going to even. The alpha byte is 0.
    void Blend(int t, QImage& dest);
    // The same for rows firstRow .. firstRow + rows - 1 only, into dest of that many rows: a
    // frame blended band by band.
    void BlendRows(int t, int firstRow, int rows, QImage& dest);

    // A 16-bit M with (u * M + 32768) >> 16 == nearest(u * alpha) for every u in 0..255, ties
    // to even included, when one exists: then blending runs eight channels at a time with
    // exactly the same result. Most fractions t / F have one; a few (0.5...) need the table.
    static std::optional<std::uint16_t> FastMultiplier(float alpha);

private:
    const QImage& m_a;
    const QImage& m_b;
    int m_fadeFrames;
    // The blended channel for every pair (a, b), index a * 256 + b, rebuilt per frame: one
    // lookup per channel instead of a product and a rounding.
    std::unique_ptr<std::array<std::uint8_t, 65536>> m_table;
    float m_tableAlpha = -1; // the fraction m_table holds
};

} // namespace lv
