#include "platform/Dib.h"

#include <QImage>

#include <algorithm>
#include <cstring>

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
void PackRow(const std::uint32_t* src, std::uint8_t* dst, std::int32_t n) {
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
    const std::int32_t w = image.width(), h = image.height();
    dib.SetSize(w, h);
    const std::size_t pad = dib.RowBytes() - std::size_t(w) * 3;
    for (std::int32_t y = 0; y < h; ++y) {
        std::uint8_t* dst = dib.ScanLine(y);
        PackRow(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)), dst, w);
        if (pad)
            std::memset(dst + std::size_t(w) * 3, 0, pad);
    }
}

} // namespace lv
