#include "platform/Dib.h"

#include <QImage>

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace lv {

BITMAPINFOHEADER RgbFormat(std::int32_t width, std::int32_t height) {
    BITMAPINFOHEADER h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = 24;
    return h;
}

void TDib::SetSize(std::int32_t width, std::int32_t height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    const std::size_t size = DibRowBytes(width) * std::size_t(height);
    if (width == m_header.biWidth && height == m_header.biHeight && size == m_bits.size())
        return;
    m_header = RgbFormat(width, height);
    m_header.biSizeImage = std::uint32_t(size);
    m_bits.assign(size, 0);
}

namespace {

// B, G, R of n pixels stored as 0xAARRGGBB words. Four pixels become three 32-bit stores.
void PackRowScalar(const std::uint32_t* src, std::uint8_t* dst, std::int32_t n) {
    std::int32_t x = 0;
    for (; x + 4 <= n; x += 4, src += 4, dst += 12) {
        const std::uint32_t p0 = src[0] & 0xFFFFFF, p1 = src[1] & 0xFFFFFF;
        const std::uint32_t p2 = src[2] & 0xFFFFFF, p3 = src[3] & 0xFFFFFF;
        const std::uint32_t w[3] = {p0 | p1 << 24, p1 >> 8 | p2 << 16, p2 >> 16 | p3 << 8};
        std::memcpy(dst, w, 12);
    }
    for (; x < n; ++x, ++src, dst += 3) {
        const std::uint32_t p = *src;
        dst[0] = std::uint8_t(p);
        dst[1] = std::uint8_t(p >> 8);
        dst[2] = std::uint8_t(p >> 16);
    }
}

#if defined(__x86_64__) || defined(__i386__)
// One byte shuffle per four pixels. Each 16-byte store spills 4 bytes into the next
// pixels, so the loop stops while those pixels are still to be written.
__attribute__((target("ssse3"))) void PackRowSsse3(const std::uint32_t* src, std::uint8_t* dst,
                                                   std::int32_t n) {
    const __m128i shuffle = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    std::int32_t x = 0;
    for (; x + 6 <= n; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + std::size_t(x) * 3),
                         _mm_shuffle_epi8(v, shuffle));
    }
    PackRowScalar(src + x, dst + std::size_t(x) * 3, n - x);
}

using PackRowFn = void (*)(const std::uint32_t*, std::uint8_t*, std::int32_t);
const PackRowFn PackRow = [] {
    __builtin_cpu_init(); // this runs among static constructors
    return __builtin_cpu_supports("ssse3") ? PackRowSsse3 : PackRowScalar;
}();
#else
constexpr auto PackRow = PackRowScalar;
#endif

} // namespace

void ImageToDib(const QImage& image, TDib& dib) {
    if (image.isNull()) {
        dib.SetSize(0, 0);
        return;
    }
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_RGB32) {
        ImageToDib(image.convertToFormat(QImage::Format_ARGB32), dib);
        return;
    }
    dib.SetSize(image.width(), image.height());
    ImageToDibRows(image, dib, 0);
}

void ImageToDibRows(const QImage& image, TDib& dib, std::int32_t firstRow) {
    const std::int32_t w = image.width();
    const std::size_t pad = dib.RowBytes() - std::size_t(w) * 3;
    for (std::int32_t y = 0; y < image.height(); ++y) {
        std::uint8_t* dst = dib.ScanLine(firstRow + y);
        PackRow(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)), dst, w);
        if (pad)
            std::memset(dst + std::size_t(w) * 3, 0, pad);
    }
}

void DibToPreview(const TDib& dib, QImage& dest, int width, int height) {
    const std::int32_t w = dib.Width(), h = dib.Height();
    if (w <= 0 || h <= 0 || width <= 0 || height <= 0) {
        dest = QImage();
        return;
    }
    if (dest.width() != width || dest.height() != height || dest.format() != QImage::Format_RGB32)
        dest = QImage(width, height, QImage::Format_RGB32);
    constexpr int kSamples = 4;
    // Sample columns of each preview column, as byte offsets into a row.
    std::vector<std::size_t> columns;
    std::vector<int> columnCount(static_cast<std::size_t>(width));
    columns.reserve(std::size_t(width) * kSamples);
    for (int x = 0; x < width; ++x) {
        const std::int64_t x0 = std::int64_t(x) * w / width, x1 = std::int64_t(x + 1) * w / width;
        const int n = int(std::clamp<std::int64_t>(x1 - x0, 1, kSamples));
        for (int i = 0; i < n; ++i)
            columns.push_back(
                std::size_t(x0 + (2 * i + 1) * std::max<std::int64_t>(x1 - x0, 1) / (2 * n)) * 3);
        columnCount[std::size_t(x)] = n;
    }
    for (int y = 0; y < height; ++y) {
        const std::int64_t y0 = std::int64_t(y) * h / height, y1 = std::int64_t(y + 1) * h / height;
        const int rows = int(std::clamp<std::int64_t>(y1 - y0, 1, kSamples));
        const std::uint8_t* src[kSamples];
        for (int j = 0; j < rows; ++j)
            src[j] = dib.ScanLine(
                std::int32_t(y0 + (2 * j + 1) * std::max<std::int64_t>(y1 - y0, 1) / (2 * rows)));
        auto* out = reinterpret_cast<std::uint32_t*>(dest.scanLine(y));
        std::size_t c = 0;
        for (int x = 0; x < width; ++x) {
            const int n = columnCount[std::size_t(x)];
            unsigned b = 0, g = 0, r = 0;
            for (int i = 0; i < n; ++i, ++c)
                for (int j = 0; j < rows; ++j) {
                    const std::uint8_t* p = src[j] + columns[c];
                    b += p[0];
                    g += p[1];
                    r += p[2];
                }
            const unsigned count = unsigned(n * rows);
            out[x] = 0xFF000000u | ((r + count / 2) / count) << 16 |
                     ((g + count / 2) / count) << 8 | ((b + count / 2) / count);
        }
    }
}

} // namespace lv
