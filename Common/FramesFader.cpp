#include "Common/FramesFader.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace lv {

static_assert(std::endian::native == std::endian::little, "ARGB32 byte order assumed");

TFramesFader::TFramesFader(const QImage& a, const QImage& b, int fadeFrames)
    : m_a(a), m_b(b), m_fadeFrames(fadeFrames),
      m_table(std::make_unique<std::array<std::uint8_t, 65536>>()) {}

void TFramesFader::Blend(int t, QImage& dest) {
    const int w = m_a.width(), h = m_a.height();
    if (dest.width() != w || dest.height() != h || dest.format() != QImage::Format_ARGB32)
        dest = QImage(w, h, QImage::Format_ARGB32);
    const float alpha = m_fadeFrames > 0 ? float(t) / float(m_fadeFrames) : 0.0f;
    std::array<int, 511> delta; // nearest((b - a) * alpha), ties to even
    for (int d = -255; d <= 255; ++d)
        delta[std::size_t(d + 255)] = int(std::lrint(double(d) * double(alpha)));
    std::uint8_t* table = m_table->data();
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b)
            table[a * 256 + b] = std::uint8_t(a + delta[std::size_t(b - a + 255)]);

    // Every colour channel goes through the same table, so bytes can be taken in memory
    // order; the fourth byte of each pixel is alpha, which becomes 0.
    const std::size_t rowBytes = std::size_t(w) * 4;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* pa = m_a.constScanLine(y);
        const std::uint8_t* pb = m_b.constScanLine(y);
        std::uint8_t* out = dest.scanLine(y);
        for (std::size_t i = 0; i < rowBytes; i += 4) {
            std::uint32_t av, bv;
            std::memcpy(&av, pa + i, 4);
            std::memcpy(&bv, pb + i, 4);
            const std::uint32_t c0 = table[(av & 0xFF) << 8 | (bv & 0xFF)];
            const std::uint32_t c1 = table[(av & 0xFF00) | ((bv >> 8) & 0xFF)];
            const std::uint32_t c2 = table[((av >> 8) & 0xFF00) | ((bv >> 16) & 0xFF)];
            const std::uint32_t c = c0 | (c1 << 8) | (c2 << 16);
            std::memcpy(out + i, &c, 4);
        }
    }
}

} // namespace lv
