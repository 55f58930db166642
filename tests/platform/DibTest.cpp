#include "platform/Dib.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

QRgb PixelAt(int x, int y) {
    return qRgba(10 + x * 20, 100 + y * 30, 200 - x * 7 - y * 11, 0x80);
}

QImage TestImage(int w, int h, QImage::Format format) {
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, PixelAt(x, y));
    return img.convertToFormat(format);
}

void ExpectPixels(const lv::TDib& dib, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = dib.ScanLine(y) + x * 3;
            const QRgb c = PixelAt(x, y);
            ASSERT_EQ(p[0], qBlue(c)) << x << "," << y;
            ASSERT_EQ(p[1], qGreen(c)) << x << "," << y;
            ASSERT_EQ(p[2], qRed(c)) << x << "," << y;
        }
}

} // namespace

TEST(Dib, ArgbBecomesBottomUpBgrWithPaddedRows) {
    // Width 7 takes both the four-pixel path and the single-pixel tail; rows are 21 bytes
    // of pixels and 3 of padding.
    lv::TDib dib;
    dib.SetSize(7, 3);
    std::fill(dib.Bits(), dib.Bits() + dib.ImageSize(), 0xAA);
    lv::ImageToDib(TestImage(7, 3, QImage::Format_ARGB32), dib);

    EXPECT_EQ(dib.RowBytes(), 24u);
    EXPECT_EQ(dib.ImageSize(), 72u);
    EXPECT_EQ(dib.Header().biSize, 40u);
    EXPECT_EQ(dib.Header().biWidth, 7);
    EXPECT_EQ(dib.Header().biHeight, 3);
    EXPECT_EQ(dib.Header().biPlanes, 1);
    EXPECT_EQ(dib.Header().biBitCount, 24);
    EXPECT_EQ(dib.Header().biCompression, lv::BI_RGB);
    EXPECT_EQ(dib.Header().biSizeImage, 72u);
    ExpectPixels(dib, 7, 3);

    // In memory the last row of the picture comes first.
    const QRgb bottomLeft = PixelAt(0, 2);
    EXPECT_EQ(dib.Bits()[0], qBlue(bottomLeft));
    EXPECT_EQ(dib.Bits()[2], qRed(bottomLeft));
    const QRgb topLeft = PixelAt(0, 0);
    EXPECT_EQ(dib.Bits()[48], qBlue(topLeft));
    for (int row = 0; row < 3; ++row)
        for (int i = 21; i < 24; ++i)
            EXPECT_EQ(dib.Bits()[row * 24 + i], 0) << "padding of row " << row;
}

TEST(Dib, KeepsItsBufferForTheSameSizeAndFollowsOtherFormatsAndSizes) {
    lv::TDib dib;
    lv::ImageToDib(TestImage(16, 4, QImage::Format_ARGB32), dib);
    const std::uint8_t* before = dib.Bits();
    lv::ImageToDib(TestImage(16, 4, QImage::Format_RGB32), dib);
    EXPECT_EQ(dib.Bits(), before);
    ExpectPixels(dib, 16, 4);

    // A format other than 32-bit is converted first; the size follows the image.
    lv::ImageToDib(TestImage(5, 9, QImage::Format_RGB888), dib);
    EXPECT_EQ(dib.Width(), 5);
    EXPECT_EQ(dib.Height(), 9);
    EXPECT_EQ(dib.RowBytes(), 16u);
    EXPECT_EQ(dib.Header().biSizeImage, 144u);
    ExpectPixels(dib, 5, 9);

    // Every width up to 40 and one video width: the fast path, the tail and the padding.
    for (int w : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 17, 21, 31, 33, 40, 720}) {
        SCOPED_TRACE(w);
        lv::ImageToDib(TestImage(w, 2, QImage::Format_ARGB32), dib);
        ExpectPixels(dib, w, 2);
        for (std::size_t i = std::size_t(w) * 3; i < dib.RowBytes(); ++i)
            ASSERT_EQ(dib.ScanLine(0)[i], 0);
    }

    lv::ImageToDib(QImage(), dib);
    EXPECT_EQ(dib.ImageSize(), 0u);
    EXPECT_EQ(lv::DibRowBytes(-1), 0u);
}

TEST(Dib, PreviewIsUprightInItsColoursAndAveragesTheAreaItCovers) {
    // Top half red, bottom half blue.
    QImage frame(720, 576, QImage::Format_ARGB32);
    frame.fill(0xFFFF0000u);
    for (int y = 288; y < 576; ++y)
        for (int x = 0; x < 720; ++x)
            frame.setPixel(x, y, 0xFF0000FFu);
    lv::TDib dib;
    lv::ImageToDib(frame, dib);
    QImage preview;
    lv::DibToPreview(dib, preview, 120, 90);
    ASSERT_EQ(preview.size(), QSize(120, 90));
    EXPECT_EQ(preview.pixel(60, 10), 0xFFFF0000u);
    EXPECT_EQ(preview.pixel(60, 80), 0xFF0000FFu);
    const uchar* before = preview.constBits();
    lv::DibToPreview(dib, preview, 120, 90);
    EXPECT_EQ(preview.constBits(), before) << "the buffer is reused";

    // A checkerboard of single pixels averages to grey, not to one of its colours.
    QImage checker(8, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            checker.setPixel(x, y, (x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u);
    lv::ImageToDib(checker, dib);
    lv::DibToPreview(dib, preview, 2, 2);
    EXPECT_EQ(qRed(preview.pixel(0, 0)), 128);
    EXPECT_EQ(qGreen(preview.pixel(1, 1)), 128);

    lv::DibToPreview(lv::TDib(), preview, 120, 90);
    EXPECT_TRUE(preview.isNull());
}
