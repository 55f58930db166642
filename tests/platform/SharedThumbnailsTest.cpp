#include "platform/SharedThumbnails.h"

#include "support/Pictures.h"
#include "support/TempDir.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>

namespace {

void setMtime(const std::string& path, time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

int mode(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return int(st.st_mode & 0777);
}

// A thumbnail as another program keeps it.
void saveThumbnail(QImage image, const std::string& path, const QString& uri, time_t mtime,
                   const QString& software) {
    image.setText("Thumb::URI", uri);
    image.setText("Thumb::MTime", QString::number(qlonglong(mtime)));
    image.setText("Software", software);
    ASSERT_TRUE(image.save(QString::fromStdString(path), "PNG"));
}

} // namespace

TEST(SharedThumbnails, AKeptThumbnailServesWhileItsPictureIsUnchanged) {
    lvtest::TempDir dir;
    const lv::TSharedThumbnails cache(dir.file("cache/thumbnails"));
    const std::string photo = dir.file("a photo \xC3\xA9 [1];#%&'+.jpg");
    std::ofstream(photo) << "the picture's bytes";
    setMtime(photo, 1700000000);

    ASSERT_TRUE(cache.Store(photo, lvtest::solidImage(128, 96, qRgb(200, 0, 0))));
    // Where and how the desktop's other programs look for it.
    const QByteArray uri = "file://" + QByteArray::fromStdString(dir.path().string()) +
                           "/a%20photo%20%C3%A9%20%5B1%5D%3B%23%25&'+.jpg";
    const std::string png =
        dir.file("cache/thumbnails/normal/") +
        QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex().toStdString() + ".png";
    EXPECT_EQ(cache.PathFor(photo), png);
    const QImage kept(QString::fromStdString(png));
    EXPECT_EQ(kept.text("Thumb::URI").toUtf8(), uri);
    EXPECT_EQ(kept.text("Thumb::MTime"), "1700000000");
    EXPECT_EQ(mode(png), 0600);
    EXPECT_EQ(mode(dir.file("cache/thumbnails/normal")), 0700);

    EXPECT_EQ(cache.Find(photo, {100, 75}, false).pixel(50, 40), qRgb(200, 0, 0));
    EXPECT_TRUE(cache.Find(photo, {160, 120}, true).isNull()) << "too small for it";
    setMtime(photo, 1700000001);
    EXPECT_TRUE(cache.Find(photo, {100, 75}, true).isNull()) << "the picture changed";
    std::ofstream(photo, std::ios::app) << "+";
    setMtime(photo, 1700000000);
    EXPECT_TRUE(cache.Find(photo, {100, 75}, true).isNull()) << "its size changed";

    // Another program's larger thumbnail, when trusted and when the normal one is stale.
    const std::string large = cache.PathFor(photo, "large");
    std::filesystem::create_directories(std::filesystem::path(large).parent_path());
    saveThumbnail(lvtest::solidImage(256, 192, qRgb(0, 0, 200)), large, QString::fromUtf8(uri),
                  1700000000, "another viewer");
    EXPECT_EQ(cache.Find(photo, {100, 75}, true).pixel(50, 40), qRgb(0, 0, 200));
    EXPECT_TRUE(cache.Find(photo, {100, 75}, false).isNull()) << "not turned by us";
    saveThumbnail(lvtest::solidImage(256, 192, qRgb(0, 0, 200)), large, "file:///elsewhere.jpg",
                  1700000000, "another viewer");
    EXPECT_TRUE(cache.Find(photo, {100, 75}, true).isNull()) << "another picture's";

    // A pipe where a thumbnail should be is not opened (it would block).
    std::filesystem::remove(large);
    std::filesystem::remove(png);
    ASSERT_EQ(::mkfifo(png.c_str(), 0600), 0);
    EXPECT_TRUE(cache.Find(photo, {100, 75}, true).isNull());

    // Nothing kept for what the cache must not hold, and no throw when it cannot be written.
    EXPECT_FALSE(cache.Store(photo, lvtest::solidImage(256, 192, qRgb(0, 0, 0))));
    EXPECT_FALSE(cache.Store(png, lvtest::solidImage(64, 48, qRgb(0, 0, 0))));
    EXPECT_FALSE(cache.Store(dir.file("missing.jpg"), lvtest::solidImage(64, 48, qRgb(0, 0, 0))));
    std::ofstream(dir.file("a file")) << "";
    const lv::TSharedThumbnails blocked(dir.file("a file/thumbnails"));
    EXPECT_FALSE(blocked.Writable());
    EXPECT_FALSE(blocked.Store(photo, lvtest::solidImage(64, 48, qRgb(0, 0, 0))));
    EXPECT_TRUE(cache.Writable());
}
