#include "project/ThumbWarmer.h"

#include "platform/SharedThumbnails.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

bool kept(const lv::TSharedThumbnails& cache, const std::string& path) {
    return QFile::exists(QString::fromStdString(cache.PathFor(path)));
}

void waitIdle(const lv::TThumbWarmer& warmer) {
    const QDeadlineTimer deadline(20000);
    while (warmer.Busy() && !deadline.hasExpired())
        QThread::msleep(5);
    ASSERT_FALSE(warmer.Busy());
}

} // namespace

TEST(ThumbWarmer, MakesThumbnailsAheadPastBadPicturesAndTakesNewListsAnyTime) {
    EXPECT_EQ(lv::WarmOrder({"a", "b", "c", "d", "e", "f", "g"}, 2, 6),
              (std::vector<std::string>{"g", "f", "e", "d", "a", "b"}));
    EXPECT_EQ(lv::WarmOrder({"a", "b", "c", "d", "e", "f", "g"}, 0, 4),
              (std::vector<std::string>{"e", "d", "c", "b", "f", "g"}));
    EXPECT_EQ(lv::WarmOrder({"a"}, 0, 0), std::vector<std::string>{});
    EXPECT_EQ(lv::WarmOrder({}, 0, -1), std::vector<std::string>{});

    lvtest::TempDir dir;
    const lv::TSharedThumbnails cache(dir.file("thumbnails"));
    std::vector<std::string> paths;
    for (int i = 0; i < 4; ++i) {
        paths.push_back(dir.file("p" + std::to_string(i) + (i % 2 ? ".bmp" : ".jpg")));
        lvtest::savePicture(lvtest::detailedImage(640, 480), paths.back(), i % 2 ? "BMP" : "JPG");
    }
    std::ofstream(dir.file("broken.jpg")) << "no picture";
    lv::TThumbWarmer warmer(cache, 100, 75, QThread::NormalPriority);
    warmer.Warm({paths[0], dir.file("broken.jpg"), dir.file("missing.jpg"), paths[1]});
    waitIdle(warmer);
    EXPECT_TRUE(kept(cache, paths[0]) && kept(cache, paths[1]));
    // Idle between lists, then working again.
    warmer.Warm({paths[2], paths[3]});
    waitIdle(warmer);
    EXPECT_TRUE(kept(cache, paths[2]) && kept(cache, paths[3]));
    // An empty list stops the work; destruction while busy returns.
    std::vector<std::string> many;
    for (int i = 0; i < 100; ++i) {
        many.push_back(dir.file("link" + std::to_string(i) + ".jpg"));
        std::filesystem::create_hard_link(paths[0], many.back());
    }
    warmer.Warm(many);
    warmer.Warm({});
    waitIdle(warmer);
    EXPECT_FALSE(kept(cache, many.back()));
    warmer.Warm(many);
}
