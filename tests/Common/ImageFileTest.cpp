#include "Common/ImageFile.h"
#include "platform/Errors.h"

#include "support/Pictures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <vector>

using lv::TImageFile;

namespace {

struct MarginCase {
    int picW, picH, frameW, frameH, mh, mv;
};

// Exact separable cubic resampling in double precision, the reference for the scaler.
double cubic(double x, double B, double C) {
    x = std::fabs(x);
    if (x < 1)
        return ((12 - 9 * B - 6 * C) * x * x * x + (-18 + 12 * B + 6 * C) * x * x + (6 - 2 * B)) /
               6;
    if (x < 2)
        return ((-B - 6 * C) * x * x * x + (6 * B + 30 * C) * x * x + (-12 * B - 48 * C) * x +
                (8 * B + 24 * C)) /
               6;
    return 0;
}

std::vector<std::vector<double>> weights(int src, int dst, double B, double C,
                                         std::vector<int>& first) {
    const double scale = double(src) / dst;
    const double support = std::max(1.0, scale);
    std::vector<std::vector<double>> w{std::size_t(dst)};
    first.assign(std::size_t(dst), 0);
    for (int o = 0; o < dst; ++o) {
        const double centre = (o + 0.5) * scale - 0.5;
        const int lo = int(std::floor(centre - 2 * support)),
                  hi = int(std::ceil(centre + 2 * support));
        first[std::size_t(o)] = lo;
        double sum = 0;
        for (int i = lo; i <= hi; ++i) {
            const double k = cubic((i - centre) / support, B, C);
            w[std::size_t(o)].push_back(k);
            sum += k;
        }
        for (double& k : w[std::size_t(o)])
            k /= sum;
    }
    return w;
}

// One channel of the reference scale, edges clamped.
std::vector<double> referenceScale(const QImage& src, int dw, int dh, int shift, double B,
                                   double C) {
    std::vector<int> fx, fy;
    auto wx = weights(src.width(), dw, B, C, fx);
    auto wy = weights(src.height(), dh, B, C, fy);
    std::vector<double> tmp(std::size_t(dw) * std::size_t(src.height()));
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < dw; ++x) {
            double acc = 0;
            for (std::size_t j = 0; j < wx[std::size_t(x)].size(); ++j) {
                const int sx = std::clamp(fx[std::size_t(x)] + int(j), 0, src.width() - 1);
                acc += wx[std::size_t(x)][j] * ((src.pixel(sx, y) >> shift) & 0xFF);
            }
            tmp[std::size_t(y) * std::size_t(dw) + std::size_t(x)] = acc;
        }
    std::vector<double> out(std::size_t(dw) * std::size_t(dh));
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
            double acc = 0;
            for (std::size_t j = 0; j < wy[std::size_t(y)].size(); ++j) {
                const int sy = std::clamp(fy[std::size_t(y)] + int(j), 0, src.height() - 1);
                acc +=
                    wy[std::size_t(y)][j] * tmp[std::size_t(sy) * std::size_t(dw) + std::size_t(x)];
            }
            out[std::size_t(y) * std::size_t(dw) + std::size_t(x)] = std::clamp(acc, 0.0, 255.0);
        }
    return out;
}

// Largest channel difference to the reference, away from the borders.
double maxInteriorError(const QImage& got, const QImage& src, double B, double C, int border) {
    double worst = 0;
    for (int shift : {16, 8, 0}) {
        auto ref = referenceScale(src, got.width(), got.height(), shift, B, C);
        for (int y = border; y < got.height() - border; ++y)
            for (int x = border; x < got.width() - border; ++x)
                worst = std::max(
                    worst,
                    std::fabs(((got.pixel(x, y) >> shift) & 0xFF) -
                              ref[std::size_t(y) * std::size_t(got.width()) + std::size_t(x)]));
    }
    return worst;
}

} // namespace

TEST(ImageFile, MarginsFollowTheWorkedExamples) {
    const MarginCase cases[] = {
        {1600, 1200, 720, 576, 0, 18}, {1200, 1600, 640, 480, 140, 0},
        {800, 600, 640, 480, 0, 0},    {640, 480, 640, 480, 0, 0},
        {4000, 500, 720, 576, 0, 243}, {500, 4000, 320, 240, 145, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.picW) + "x" + std::to_string(c.picH) + " into " +
                     std::to_string(c.frameW) + "x" + std::to_string(c.frameH));
        const auto m = lv::ComputeFitMargins(c.picW, c.picH, c.frameW, c.frameH);
        EXPECT_EQ(m.horizontal, c.mh);
        EXPECT_EQ(m.vertical, c.mv);
    }
}

TEST(ImageFile, FittedPictureHasBlackBarsAndFillsTheRest) {
    lvtest::TempDir dir;
    const QRgb colour = qRgb(200, 120, 40);
    // Landscape into a taller frame: bars above and below.
    lvtest::savePicture(lvtest::solidImage(1600, 1200, colour), dir.file("wide.bmp"), "BMP");
    TImageFile wide(dir.file("wide.bmp"), 720, 576);
    const QImage& r = wide.Raster();
    ASSERT_EQ(r.size(), QSize(720, 576));
    for (int x : {0, 359, 719}) {
        EXPECT_EQ(r.pixel(x, 17) & 0xFFFFFF, 0u);
        EXPECT_EQ(r.pixel(x, 18) & 0xFFFFFF, colour & 0xFFFFFF);
        EXPECT_EQ(r.pixel(x, 557) & 0xFFFFFF, colour & 0xFFFFFF);
        EXPECT_EQ(r.pixel(x, 558) & 0xFFFFFF, 0u);
    }
    // Portrait, smaller than the frame: enlarged, bars left and right.
    lvtest::savePicture(lvtest::solidImage(300, 400, colour), dir.file("tall.BMP"), "BMP");
    TImageFile tall(dir.file("tall.BMP"), 640, 480);
    for (int y : {0, 240, 479}) {
        EXPECT_EQ(tall.Raster().pixel(139, y) & 0xFFFFFF, 0u);
        EXPECT_EQ(tall.Raster().pixel(140, y) & 0xFFFFFF, colour & 0xFFFFFF);
        EXPECT_EQ(tall.Raster().pixel(499, y) & 0xFFFFFF, colour & 0xFFFFFF);
        EXPECT_EQ(tall.Raster().pixel(500, y) & 0xFFFFFF, 0u);
    }
    // Same aspect ratio: no bar at all.
    lvtest::savePicture(lvtest::solidImage(800, 600, colour), dir.file("same.jpg"), "JPG", 100);
    TImageFile same(dir.file("same.jpg"), 640, 480);
    for (QPoint p : {QPoint(0, 0), QPoint(639, 0), QPoint(0, 479), QPoint(639, 479)})
        EXPECT_GT(qRed(same.Raster().pixel(p)), 150);
    // A zero target leaves the picture at its own size.
    TImageFile own(dir.file("same.jpg"));
    own.Fit(0, 480);
    own.Fit(640, 0);
    EXPECT_EQ(own.Raster().size(), QSize(800, 600));
}

TEST(ImageFile, ScalingIsMitchellNetravaliWithinOneLevel) {
    const QImage src = lvtest::detailedImage(360, 270);
    for (QSize target : {QSize(240, 180), QSize(720, 540)}) {
        SCOPED_TRACE(std::to_string(target.width()));
        QImage dest(target, QImage::Format_ARGB32);
        lv::ScaleMitchell(src, dest, 0, 0, target.width(), target.height());
        EXPECT_LE(maxInteriorError(dest, src, 1.0 / 3, 1.0 / 3, 8), 1.0);
        // The check can tell filters apart: the common bicubic (B = 0, C = 0.6) is far off.
        EXPECT_GT(maxInteriorError(dest, src, 0.0, 0.6, 8), 3.0);
    }
}

TEST(ImageFile, DecoderFollowsTheExtensionAndErrorsNameTheFile) {
    lvtest::TempDir dir;
    const QImage img = lvtest::detailedImage(64, 48);
    lvtest::savePicture(img, dir.file("good.JPG"), "JPG");
    lvtest::savePicture(img, dir.file("good.jpeg"), "JPG");
    lvtest::savePicture(img, dir.file("bitmap.jpg"), "BMP");
    lvtest::savePicture(img, dir.file("jpeg.bmp"), "JPG");
    lvtest::savePicture(img, dir.file("picture.png"), "BMP");
    EXPECT_EQ(TImageFile(dir.file("good.JPG")).Raster().size(), QSize(64, 48));
    EXPECT_EQ(TImageFile(dir.file("good.jpeg")).Raster().size(), QSize(64, 48));

    // A truncated JPEG is an error, not a grey-padded picture.
    {
        std::ifstream in(dir.file("good.JPG"), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream(dir.file("cut.jpg"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
        std::ofstream(dir.file("cut2.jpg"), std::ios::binary)
            << bytes.substr(0, bytes.size() * 9 / 10);
        // Without only its end marker every pixel is there, as other decoders show.
        std::ofstream(dir.file("noend.jpg"), std::ios::binary)
            << bytes.substr(0, bytes.size() - 2);
        std::ofstream(dir.file("empty.jpg"), std::ios::binary);
        // Segments skipped past the reader's buffer (colour profiles): the same picture; one
        // that runs past the end of the file: an error. Their bytes read as end markers.
        std::string payload;
        while (payload.size() < 65533)
            payload += "\xFF\xD9";
        payload.resize(65533);
        const std::string app2 = std::string("\xFF\xE2\xFF\xFF", 4) + payload;
        std::ofstream(dir.file("profiles.jpg"), std::ios::binary)
            << std::string(bytes).insert(2, app2 + app2);
        std::ofstream(dir.file("overlong.jpg"), std::ios::binary)
            << bytes.substr(0, 2) + app2.substr(0, 1000);
    }
    for (const char* same : {"profiles.jpg", "noend.jpg"})
        EXPECT_EQ(TImageFile(dir.file(same)).Raster(), TImageFile(dir.file("good.JPG")).Raster())
            << same;
    for (const char* name : {"bitmap.jpg", "jpeg.bmp", "picture.png", "missing.jpg", "cut.jpg",
                             "cut2.jpg",
                             "empty.jpg", "overlong.jpg"}) {
        SCOPED_TRACE(name);
        try {
            TImageFile f(dir.file(name));
            ADD_FAILURE() << "loaded";
        } catch (const lv::Error& e) {
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
        }
    }
}

TEST(ImageFile, CopyWindowCopiesPixelsOneToOne) {
    lvtest::TempDir dir;
    QImage img(40, 30, QImage::Format_ARGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            img.setPixel(x, y, qRgb(x * 6, y * 8, 77));
    lvtest::savePicture(img, dir.file("grid.bmp"), "BMP");
    TImageFile f(dir.file("grid.bmp"));
    QImage dest;
    f.CopyWindow(7, 5, dest, 20, 10);
    ASSERT_EQ(dest.size(), QSize(20, 10));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(dest.pixel(x, y), img.pixel(x + 7, y + 5));
    // The same destination is reused, not reallocated, for the next window.
    const uchar* bits = dest.constBits();
    f.CopyWindow(0, 0, dest, 20, 10);
    EXPECT_EQ(dest.constBits(), bits);
    EXPECT_EQ(dest.pixel(19, 9), img.pixel(19, 9));
}
