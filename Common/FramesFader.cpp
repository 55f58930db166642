#include "Common/FramesFader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lv {

static_assert(std::endian::native == std::endian::little, "ARGB32 byte order assumed");

namespace {

int nearestProduct(int d, float alpha) {
    return int(std::lrint(double(d) * double(alpha)));
}

#if defined(__SSE2__)
// a + nearest((b - a) * alpha) for 16 bytes, with M from FastMultiplier; the result lies
// between a and b, so packing to bytes never saturates.
inline __m128i blend8(__m128i a, __m128i b, __m128i m) {
    const __m128i d = _mm_sub_epi16(b, a);
    const __m128i sign = _mm_srai_epi16(d, 15);
    const __m128i u = _mm_sub_epi16(_mm_xor_si128(d, sign), sign);
    const __m128i hi = _mm_mulhi_epu16(u, m);
    const __m128i carry = _mm_srli_epi16(_mm_mullo_epi16(u, m), 15);
    const __m128i q = _mm_add_epi16(hi, carry);
    return _mm_add_epi16(a, _mm_sub_epi16(_mm_xor_si128(q, sign), sign));
}

// Whole pixels of one row, four at a time; returns the bytes done.
std::size_t blendRowFast(const std::uint8_t* pa, const std::uint8_t* pb, std::uint8_t* out,
                         std::size_t bytes, std::uint16_t multiplier) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i m = _mm_set1_epi16(short(multiplier));
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF); // alpha bytes become 0
    std::size_t i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pa + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pb + i));
        const __m128i lo = blend8(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), m);
        const __m128i hi = blend8(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), m);
        const __m128i c = _mm_and_si128(_mm_packus_epi16(lo, hi), colour);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), c);
    }
    return i;
}
#endif

} // namespace

std::optional<std::uint16_t> TFramesFader::FastMultiplier(float alpha) {
    if (!(alpha >= 0.0f && alpha < 1.0f))
        return std::nullopt;
    // Each u bounds M: (2k - 1) * 32768 <= u * M < (2k + 1) * 32768 with k = nearest(u * alpha).
    long lo = 0, hi = 65535;
    for (long u = 1; u <= 255; ++u) {
        const long k = nearestProduct(int(u), alpha);
        const long low = (2 * k - 1) * 32768, high = (2 * k + 1) * 32768;
        lo = std::max(lo, low <= 0 ? 0 : (low + u - 1) / u);
        hi = std::min(hi, (high + u - 1) / u - 1);
    }
    if (lo > hi)
        return std::nullopt;
    return std::uint16_t(lo);
}

TFramesFader::TFramesFader(const QImage& a, const QImage& b, int fadeFrames)
    : m_a(a), m_b(b), m_fadeFrames(fadeFrames),
      m_table(std::make_unique<std::array<std::uint8_t, 65536>>()) {}

void TFramesFader::Blend(int t, QImage& dest) {
    BlendRows(t, 0, m_a.height(), dest);
}

void TFramesFader::BlendRows(int t, int firstRow, int h, QImage& dest) {
    const int w = m_a.width();
    if (dest.width() != w || dest.height() != h || dest.format() != QImage::Format_ARGB32)
        dest = QImage(w, h, QImage::Format_ARGB32);
    const float alpha = m_fadeFrames > 0 ? float(t) / float(m_fadeFrames) : 0.0f;
    const std::size_t rowBytes = std::size_t(w) * 4;

#if defined(__SSE2__)
    if (const auto multiplier = FastMultiplier(alpha)) {
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* pa = m_a.constScanLine(firstRow + y);
            const std::uint8_t* pb = m_b.constScanLine(firstRow + y);
            std::uint8_t* out = dest.scanLine(y);
            for (std::size_t i = blendRowFast(pa, pb, out, rowBytes, *multiplier); i < rowBytes;
                 i += 4) {
                for (std::size_t c = 0; c < 3; ++c)
                    out[i + c] =
                        std::uint8_t(pa[i + c] + nearestProduct(pb[i + c] - pa[i + c], alpha));
                out[i + 3] = 0;
            }
        }
        return;
    }
#endif

    std::uint8_t* table = m_table->data();
    if (alpha != m_tableAlpha) { // a frame blended in bands builds it once
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256; ++b)
                table[a * 256 + b] = std::uint8_t(a + nearestProduct(b - a, alpha));
        m_tableAlpha = alpha;
    }

    // Every colour channel goes through the same table, so bytes can be taken in memory
    // order; the fourth byte of each pixel is alpha, which becomes 0.
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* pa = m_a.constScanLine(firstRow + y);
        const std::uint8_t* pb = m_b.constScanLine(firstRow + y);
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
