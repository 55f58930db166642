#pragma once

// 24-bit device-independent bitmaps: what the AVI writer and the compressors take.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

class QImage;

namespace lv {

static_assert(std::endian::native == std::endian::little,
              "bitmap headers are used in their little-endian file layout");

constexpr std::uint32_t BI_RGB = 0;

#pragma pack(push, 1)
// The 40-byte bitmap header, laid out as in files (AVI strf, BMP).
struct BITMAPINFOHEADER {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0; // positive: rows stored bottom-up
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = BI_RGB; // BI_RGB or a FourCC
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40);

// Bytes of one row of a 24-bit bitmap, padded to 4 bytes.
constexpr std::size_t DibRowBytes(std::int32_t width) {
    return width <= 0 ? 0 : (std::size_t(width) * 24 + 31) / 32 * 4;
}

// Header of an uncompressed 24-bit bottom-up bitmap of a size (biSizeImage 0, as the
// query formats are built).
BITMAPINFOHEADER RgbFormat(std::int32_t width, std::int32_t height);

// A 24-bit bottom-up bitmap: pixels B, G, R, the last row of the picture first.
class TDib {
public:
    TDib() = default;
    TDib(std::int32_t width, std::int32_t height) { SetSize(width, height); }

    // Keeps the pixel buffer when the size does not change; new pixels are black.
    void SetSize(std::int32_t width, std::int32_t height);

    std::int32_t Width() const { return m_header.biWidth; }
    std::int32_t Height() const { return m_header.biHeight; }
    std::size_t RowBytes() const { return DibRowBytes(m_header.biWidth); }
    std::size_t ImageSize() const { return m_bits.size(); }
    // biSizeImage holds ImageSize().
    const BITMAPINFOHEADER& Header() const { return m_header; }

    std::uint8_t* Bits() { return m_bits.data(); }
    const std::uint8_t* Bits() const { return m_bits.data(); }
    // Row y of the picture, counted from the top as in a QImage.
    std::uint8_t* ScanLine(std::int32_t y) { return m_bits.data() + RowOffset(y); }
    const std::uint8_t* ScanLine(std::int32_t y) const { return m_bits.data() + RowOffset(y); }

private:
    std::size_t RowOffset(std::int32_t y) const {
        return std::size_t(m_header.biHeight - 1 - y) * RowBytes();
    }

    BITMAPINFOHEADER m_header = RgbFormat(0, 0);
    std::vector<std::uint8_t> m_bits;
};

// Converts an ARGB raster (QImage Format_ARGB32 or RGB32; other formats are converted
// first) into dib, which takes the image's size. Alpha is dropped. Reuses dib's buffer
// when the size is unchanged.
void ImageToDib(const QImage& image, TDib& dib);
// The rows of an ARGB32 (or RGB32) raster as rows firstRow.. of a bitmap of its width, sized
// beforehand: a frame converted band by band.
void ImageToDibRows(const QImage& image, TDib& dib, std::int32_t firstRow);

// A small picture of the bitmap for a preview: dest becomes width x height (RGB32, the right
// way up), each pixel the mean of up to 4 x 4 samples of the area it covers, so a frame costs
// a few samples per preview pixel, not a pass over the frame. Reuses dest's buffer when its
// size is unchanged; a bitmap or size of zero leaves dest null.
void DibToPreview(const TDib& dib, QImage& dest, int width, int height);

} // namespace lv
