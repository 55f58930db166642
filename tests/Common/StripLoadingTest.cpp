#include "Common/ImageFile.h"
#include "Common/JpegDecoder.h"
#include "Common/StripScaler.h"
#include "platform/Errors.h"

#include "support/Pictures.h"
#include "support/TempDir.h"

#include <QImageWriter>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include <jpeglib.h>

namespace {

// An Adobe-style CMYK JPEG (inverted values) of img.
void saveCmykJpeg(const QImage& img, const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = JDIMENSION(img.width());
    c.image_height = JDIMENSION(img.height());
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(std::size_t(img.width()) * 4);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            const int k = std::max({qRed(p), qGreen(p), qBlue(p), 1});
            JSAMPLE* o = row.data() + 4 * x;
            o[0] = JSAMPLE(qRed(p) * 255 / k), o[1] = JSAMPLE(qGreen(p) * 255 / k);
            o[2] = JSAMPLE(qBlue(p) * 255 / k), o[3] = JSAMPLE(k);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

// A 24-bit BMP stored top-down (negative height).
void saveTopDownBmp(const QImage& img, const std::string& path) {
    const int stride = (img.width() * 3 + 3) / 4 * 4;
    std::string s(54 + std::size_t(stride) * img.height(), '\0');
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            s[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    s[0] = 'B', s[1] = 'M';
    put32(2, std::uint32_t(s.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, std::uint32_t(img.width()));
    put32(22, std::uint32_t(-img.height()));
    s[26] = 1, s[28] = 24;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            char* o = s.data() + 54 + std::size_t(y) * stride + 3 * x;
            o[0] = char(qBlue(p)), o[1] = char(qGreen(p)), o[2] = char(qRed(p));
        }
    std::ofstream(path, std::ios::binary) << s;
}

// The whole picture decoded by Qt, then scaled at once.
QImage wholeReference(const QImage& decoded, int w, int h) {
    const QImage src = decoded.convertToFormat(QImage::Format_ARGB32);
    const auto m = lv::ComputeFitMargins(src.width(), src.height(), w, h);
    QImage out(w, h, QImage::Format_ARGB32);
    out.fill(0xFF000000u);
    lv::ScaleMitchell(src, out, m.horizontal, m.vertical, w - 2 * m.horizontal, h - 2 * m.vertical);
    return out;
}

} // namespace

TEST(StripLoading, FittingByStripsGivesTheWholePictureScale) {
    lvtest::TempDir dir;
    const struct {
        const char* name;
        int w, h;
    } cases[] = {{"landscape.jpg", 1200, 800},   {"portrait.jpg", 700, 1100},
                 {"panorama.jpg", 3000, 400},    {"cmyk.jpg", 900, 600},
                 {"progressive.jpg", 1000, 750}, {"palette.bmp", 900, 700},
                 {"bottomup.bmp", 1100, 650},    {"topdown.bmp", 640, 1000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = c.name, path = dir.file(c.name);
        const QImage img = lvtest::detailedImage(c.w, c.h);
        if (name == "cmyk.jpg") {
            saveCmykJpeg(img, path);
        } else if (name == "progressive.jpg") {
            QImageWriter writer(QString::fromStdString(path), "jpg");
            writer.setProgressiveScanWrite(true);
            writer.setQuality(90);
            ASSERT_TRUE(writer.write(img));
        } else if (name == "palette.bmp") {
            lvtest::savePicture(img.convertToFormat(QImage::Format_Indexed8), path, "BMP");
        } else if (name == "topdown.bmp") {
            saveTopDownBmp(img, path);
        } else {
            lvtest::savePicture(img, path, name.ends_with(".bmp") ? "BMP" : "JPG", 90);
        }
        for (QSize frame : {QSize(960, 768), QSize(320, 240)}) {
            const lv::TImageFile strips(path, frame.width(), frame.height());
            // Decoded ahead on a second thread: the same picture.
            ASSERT_EQ(lv::TImageFile(path, frame.width(), frame.height(), nullptr, true).Raster(),
                      strips.Raster());
            lv::TImageFile whole(path);
            if (name.ends_with(".bmp")) {
                ASSERT_EQ(whole.Raster(), QImage(QString::fromStdString(path), "BMP")
                                              .convertToFormat(QImage::Format_ARGB32));
                ASSERT_EQ(strips.Raster(),
                          wholeReference(whole.Raster(), frame.width(), frame.height()));
            } else {
                whole.Fit(frame.width(), frame.height());
                ASSERT_EQ(strips.Raster(), whole.Raster());
            }
        }
        // Cut short, it fails the same way whichever thread reads it.
        std::filesystem::resize_file(path, std::filesystem::file_size(path) * 2 / 3);
        std::string errors[2];
        for (const bool ahead : {false, true})
            try {
                lv::TImageFile cut(path, 960, 768, nullptr, ahead);
            } catch (const lv::Error& e) {
                errors[ahead] = e.what();
            }
        EXPECT_EQ(errors[0], errors[1]);
        EXPECT_NE(errors[0], "");
    }
}

TEST(StripLoading, ThumbnailsDecodeReducedOnlyWhenFarSmaller) {
    // {picture, fitted size, denominator}: scaled sizes round up, as libjpeg's do.
    const int table[][5] = {
        {4000, 3000, 100, 75, 8}, {1600, 1200, 100, 75, 8}, {1590, 1200, 100, 75, 4},
        {1000, 750, 100, 75, 4},  {799, 600, 100, 75, 1},   {4000, 3000, 400, 75, 4},
        {6000, 1000, 100, 17, 8}, {800, 3000, 20, 75, 8},   {4000, 3000, 640, 480, 1}};
    for (const auto& r : table)
        EXPECT_EQ(lv::JpegScaleDenom(r[0], r[1], r[2], r[3]), r[4])
            << r[0] << "x" << r[1] << " to " << r[2] << "x" << r[3];

    // The reduced thumbnail stays close to the full-size one.
    lvtest::TempDir dir;
    lvtest::savePicture(lvtest::detailedImage(1600, 1200), dir.file("big.jpg"), "JPG", 90);
    const lv::TImageFile thumb(dir.file("big.jpg"), 100, 75);
    lv::TImageFile full(dir.file("big.jpg"));
    full.Fit(100, 75);
    long sum = 0;
    for (int y = 0; y < 75; ++y)
        for (int x = 0; x < 100; ++x)
            sum += std::abs(qGreen(thumb.Raster().pixel(x, y)) - qGreen(full.Raster().pixel(x, y)));
    EXPECT_LT(double(sum) / (100 * 75), 6.0);
    EXPECT_NE(thumb.Raster(), full.Raster()) << "the reduced decoding was not used";
}

TEST(StripLoading, ReductionsOfMoreThanFortyTimesByStripsDoNotCrashTheScaler) {
    // Fed by strips, libswscale crashed past about 40 times (a 40000 x 5000 panorama in a
    // 720x576 frame, a sideways sliver as a thumbnail). A vertical ramp shows the rows' order.
    QImage ramp(100, 4352, QImage::Format_ARGB32);
    for (int y = 0; y < ramp.height(); ++y) {
        const int v = y * 255 / (ramp.height() - 1);
        auto* line = reinterpret_cast<QRgb*>(ramp.scanLine(y));
        std::fill(line, line + ramp.width(), qRgb(v, v, v));
    }
    QImage byStrips(100, 100, QImage::Format_ARGB32), whole(100, 100, QImage::Format_ARGB32);
    lv::TStripScaler scaler(ramp.width(), ramp.height(), byStrips, 0, 0, 100, 100);
    for (int y = 0; y < ramp.height(); y += 16)
        scaler.Feed(ramp.constScanLine(y), ramp.bytesPerLine(), 16);
    lv::ScaleMitchell(ramp, whole, 0, 0, 100, 100);
    EXPECT_EQ(byStrips, whole);
    for (int r = 0; r < 100; ++r)
        EXPECT_NEAR(qRed(byStrips.pixel(50, r)), (r + 0.5) * 255 / 100, 3) << "row " << r;

    // 40000 x 320 into 720 x 6, by the same strip fed 20 times: a panorama, whose first step
    // reduces mostly across to keep memory flat. A horizontal ramp shows the columns' order.
    QImage strip(40000, 16, QImage::Format_ARGB32), pano(720, 6, QImage::Format_ARGB32);
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x)
            strip.setPixel(x, y, qRgb(x * 255 / 39999, 120, 200));
    lv::TStripScaler wide(strip.width(), 320, pano, 0, 0, 720, 6);
    for (int k = 0; k < 20; ++k)
        wide.Feed(strip.constBits(), strip.bytesPerLine(), 16);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 720; c += 7)
            ASSERT_NEAR(qRed(pano.pixel(c, r)), (c + 0.5) * 255 / 720, 3) << c << "," << r;
    EXPECT_EQ(qBlue(pano.pixel(719, 5)), 200);
}
