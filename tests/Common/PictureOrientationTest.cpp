#include "Common/ImageFile.h"
#include "platform/SharedThumbnails.h"

#include "support/Pictures.h"
#include "support/TempDir.h"

#include <QBuffer>
#include <QTransform>

#include <libexif/exif-data.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

// An APP1 segment holding an EXIF block with only the orientation tag.
std::string exifSegment(int orientation) {
    ExifData* exif = exif_data_new();
    exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
    ExifEntry* entry = exif_entry_new();
    exif_content_add_entry(exif->ifd[EXIF_IFD_0], entry);
    exif_entry_initialize(entry, EXIF_TAG_ORIENTATION);
    exif_set_short(entry->data, EXIF_BYTE_ORDER_INTEL, ExifShort(orientation));
    unsigned char* data = nullptr;
    unsigned size = 0;
    exif_data_save_data(exif, &data, &size);
    std::string payload(reinterpret_cast<char*>(data), size);
    std::free(data);
    exif_entry_unref(entry);
    exif_data_unref(exif);
    return payload;
}

// The JPEG of `stored` with an APP1 segment of `payload` right after SOI.
void saveWithApp1(const QImage& stored, const std::string& payload, const std::string& path) {
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    stored.save(&buf, "JPG", 95);
    std::string jpeg = buf.data().toStdString();
    const std::size_t len = payload.size() + 2;
    const std::string segment =
        std::string("\xFF\xE1", 2) + char(len >> 8) + char(len & 0xFF) + payload;
    std::ofstream(path, std::ios::binary) << jpeg.insert(2, segment);
}

// Grey, a red block at the top-left corner and a green one at the top-right.
QImage upright() {
    QImage img = lvtest::solidImage(192, 128, qRgb(128, 128, 128));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            img.setPixel(x, y, qRgb(230, 20, 20));
            img.setPixel(191 - x, y, qRgb(20, 230, 20));
        }
    return img;
}

// The picture as a camera stores it for each tag: the turn that the tag undoes.
QImage storedFor(int tag) {
    const QImage u = upright();
    const QTransform cw = QTransform().rotate(90);
    switch (tag) {
    case 2:
        return u.mirrored(true, false);
    case 3:
        return u.transformed(QTransform().rotate(180));
    case 4:
        return u.mirrored(false, true);
    case 5:
        return u.transformed(cw).mirrored(true, false);
    case 6:
        return u.transformed(QTransform().rotate(-90));
    case 7:
        return u.transformed(cw).mirrored(false, true);
    case 8:
        return u.transformed(cw);
    default:
        return u;
    }
}

void expectUpright(const QImage& r, int x0, int y0, int scale) {
    const QRgb tl = r.pixel(x0 + 8 * scale, y0 + 8 * scale);
    const QRgb tr = r.pixel(r.width() - 1 - x0 - 8 * scale, y0 + 8 * scale);
    const QRgb bl = r.pixel(x0 + 8 * scale, r.height() - 1 - y0 - 8 * scale);
    EXPECT_GT(qRed(tl), 180);
    EXPECT_LT(qGreen(tl), 70);
    EXPECT_GT(qGreen(tr), 180);
    EXPECT_LT(qRed(tr), 70);
    EXPECT_LT(std::abs(qRed(bl) - 128), 20);
}

} // namespace

TEST(PictureOrientation, EveryExifOrientationComesOutUpright) {
    lvtest::TempDir dir;
    for (int tag = 1; tag <= 8; ++tag) {
        SCOPED_TRACE("orientation " + std::to_string(tag));
        const std::string path = dir.file("o" + std::to_string(tag) + ".jpg");
        saveWithApp1(storedFor(tag), exifSegment(tag), path);
        const lv::TImageFile whole(path);
        ASSERT_EQ(whole.Raster().size(), QSize(192, 128));
        expectUpright(whole.Raster(), 0, 0, 1);
        // Fitted by its upright size: no bars in a frame of the same shape.
        const lv::TImageFile fitted(path, 384, 256);
        expectUpright(fitted.Raster(), 0, 0, 2);
        EXPECT_GT(qRed(fitted.Raster().pixel(1, 1)), 150);
        // The thumbnail's scaled decoding turns the same way.
        saveWithApp1(storedFor(tag).scaled(storedFor(tag).size() * 8), exifSegment(tag), path);
        const lv::TImageFile thumb(path, 96, 64);
        expectUpright(thumb.Raster(), 0, 0, 1);
    }
}

TEST(PictureOrientation, ABrokenExifBlockLoadsAsUntagged) {
    lvtest::TempDir dir;
    const QImage stored = storedFor(6);
    for (const std::string& payload :
         {std::string("Exif\0\0", 6) + "garbage that is no TIFF header at all",
          exifSegment(6).substr(0, 12), std::string("Exif\0\0II*\0\xFF\xFF\xFF\x7F", 14)}) {
        saveWithApp1(stored, payload, dir.file("broken.jpg"));
        const lv::TImageFile f(dir.file("broken.jpg"));
        EXPECT_EQ(f.Raster().size(), stored.size());
        EXPECT_GT(qRed(f.Raster().pixel(8, stored.height() - 9)), 180) << "red corner unmoved";
    }
}

TEST(PictureOrientation, ACameraPreviewOfTheSameShapeServesThumbnailsOnly) {
    lvtest::TempDir dir;
    // The photo is red; the preview the "camera" embeds is green, so the test sees which
    // one a fit used.
    auto withPreview = [&](int w, int h, const std::string& path) {
        QBuffer previewJpeg;
        previewJpeg.open(QIODevice::WriteOnly);
        lvtest::solidImage(w, h, qRgb(20, 230, 20)).save(&previewJpeg, "JPG", 90);
        ExifData* exif = exif_data_new();
        exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
        ExifEntry* entry = exif_entry_new();
        exif_content_add_entry(exif->ifd[EXIF_IFD_0], entry);
        exif_entry_initialize(entry, EXIF_TAG_ORIENTATION);
        exif_set_short(entry->data, EXIF_BYTE_ORDER_INTEL, 1);
        exif->size = unsigned(previewJpeg.data().size());
        exif->data = static_cast<unsigned char*>(std::malloc(exif->size));
        std::memcpy(exif->data, previewJpeg.data().constData(), exif->size);
        unsigned char* data = nullptr;
        unsigned size = 0;
        exif_data_save_data(exif, &data, &size);
        saveWithApp1(lvtest::solidImage(1600, 1200, qRgb(230, 20, 20)),
                     std::string(reinterpret_cast<char*>(data), size), path);
        std::free(data);
        exif_entry_unref(entry);
        exif_data_unref(exif);
    };
    auto centre = [](const std::string& path, int w, int h) {
        const lv::TImageFile picture(path, w, h);
        return picture.Raster().pixel(w / 2, h / 2);
    };
    withPreview(160, 120, dir.file("same.jpg"));
    EXPECT_GT(qGreen(centre(dir.file("same.jpg"), 100, 75)), 200) << "the thumbnail uses it";
    EXPECT_GT(qRed(centre(dir.file("same.jpg"), 640, 480)), 200) << "a frame never does";
    withPreview(160, 90, dir.file("other-shape.jpg"));
    EXPECT_GT(qRed(centre(dir.file("other-shape.jpg"), 100, 75)), 200);
    withPreview(80, 60, dir.file("small.jpg"));
    EXPECT_GT(qRed(centre(dir.file("small.jpg"), 100, 75)), 200) << "too small to fill it";
    // A 2 KiB file whose preview claimed 5664x3776 pixels took 445 MB to make a thumbnail.
    withPreview(1640, 1230, dir.file("larger.jpg"));
    EXPECT_GT(qRed(centre(dir.file("larger.jpg"), 100, 75)), 200) << "larger than the photo";
}

TEST(PictureOrientation, TheSharedCacheServesPreviewsOfTheRightShapeTurnedByUs) {
    lvtest::TempDir dir;
    const lv::TSharedThumbnails cache(dir.file("thumbnails"));
    auto photo = [&](int tag) {
        const std::string path = dir.file("o" + std::to_string(tag) + ".jpg");
        saveWithApp1(storedFor(tag).scaled(storedFor(tag).size() * 8), exifSegment(tag), path);
        return path;
    };
    // The kept one, repainted blue, keys kept: whoever shows blue read the cache.
    auto repaint = [&](const std::string& path, QSize size, const QString& software) {
        const QImage kept(QString::fromStdString(cache.PathFor(path)));
        QImage blue = lvtest::solidImage(size.width(), size.height(), qRgb(20, 20, 230));
        for (const QString& key : kept.textKeys())
            blue.setText(key, key == "Software" ? software : kept.text(key));
        ASSERT_TRUE(blue.save(QString::fromStdString(cache.PathFor(path)), "PNG"));
    };
    auto isBlue = [](const lv::TImageFile& f) {
        return qBlue(f.Raster().pixel(f.Raster().width() / 2, f.Raster().height() / 2)) > 200;
    };

    const std::string plain = photo(1);
    expectUpright(lv::TImageFile(plain, 96, 64, &cache).Raster(), 0, 0, 1);
    ASSERT_EQ(QImage(QString::fromStdString(cache.PathFor(plain))).size(), QSize(128, 85));
    repaint(plain, {128, 85}, "another viewer");
    EXPECT_TRUE(isBlue(lv::TImageFile(plain, 96, 64, &cache))) << "an untagged photo's";
    EXPECT_FALSE(isBlue(lv::TImageFile(plain, 384, 256, &cache))) << "a frame never";
    repaint(plain, {128, 128}, "another viewer");
    EXPECT_FALSE(isBlue(lv::TImageFile(plain, 96, 64, &cache))) << "another shape";
    // Kept without the one-pixel bars that fitting a wide photo into its box would leave.
    const std::string wide = dir.file("wide.jpg");
    lvtest::savePicture(lvtest::solidImage(640, 252, qRgb(200, 200, 200)), wide, "JPG");
    const lv::TImageFile wideThumb(wide, 100, 75, &cache);
    const QImage wideKept(QString::fromStdString(cache.PathFor(wide)));
    EXPECT_EQ(wideKept.height(), 50);
    EXPECT_GT(qGreen(wideKept.pixel(0, 25)), 150);
    EXPECT_GT(qGreen(wideKept.pixel(wideKept.width() - 1, 25)), 150);

    // A tagged photo: another program may have kept it on its side, so only ours serve.
    const std::string turned = photo(6);
    expectUpright(lv::TImageFile(turned, 96, 64, &cache).Raster(), 0, 0, 1);
    repaint(turned, {128, 85}, "another viewer");
    EXPECT_FALSE(isBlue(lv::TImageFile(turned, 96, 64, &cache)));
    repaint(turned, {128, 85}, "Lumivane");
    EXPECT_TRUE(isBlue(lv::TImageFile(turned, 96, 64, &cache)));
}
