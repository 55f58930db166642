#include "Common/FramePipeline.h"
#include "Common/FrameServer.h"
#include "Common/PictureList.h"
#include "platform/Errors.h"

#include "support/Pictures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

struct Show {
    lvtest::TempDir dir;
    lv::TPictureList list;
    Show() {
        for (int i = 0; i < 3; ++i) {
            const std::string name = "p" + std::to_string(i) + ".jpg";
            lvtest::savePicture(lvtest::detailedImage(120 + 30 * i, 90 + 20 * i), dir.file(name),
                                "JPG");
            list.Add(dir.file(name), "Picture " + std::to_string(i));
        }
    }
};

bool sameBits(const lv::TDib& a, const lv::TDib& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() && a.ImageSize() == b.ImageSize() &&
           std::memcmp(a.Bits(), b.Bits(), a.ImageSize()) == 0;
}

} // namespace

TEST(FramePipeline, HandsOutTheSequentialFramesInOrder) {
    Show show;
    lv::TFrameServer reference(show.list.PicturePaths, &show.list.PictureTexts, 20, 48, 64, true,
                               true, true);
    lv::TFrameServer ahead(show.list.PicturePaths, &show.list.PictureTexts, 20, 48, 64, true, true,
                           true);
    ahead.SetPrefetch(true);
    const int total = reference.FrameCount();
    lv::TFramePipeline pipeline(ahead, total, 2);
    QImage raster;
    lv::TDib expected;
    for (int i = 0; i < total; ++i) {
        reference.RenderFrame(raster, i);
        lv::ImageToDib(raster, expected);
        const lv::TDib& got = pipeline.Acquire();
        ASSERT_TRUE(sameBits(got, expected)) << "frame " << i;
        pipeline.Release();
    }
}

TEST(FramePipeline, AFailedFrameSurfacesAfterTheGoodOnesAndStoppingEarlyDoesNotHang) {
    Show show;
    std::filesystem::remove(show.dir.file("p1.jpg")); // frames 10..19 at N = 10
    lv::TFrameServer server(show.list.PicturePaths, nullptr, 10, 48, 64, false, false, false);
    {
        lv::TFramePipeline pipeline(server, server.FrameCount(), 3);
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(pipeline.Acquire().Width(), 64);
            pipeline.Release();
        }
        EXPECT_THROW(pipeline.Acquire(), lv::Error);
    }
    // Destroyed while the composer waits for room: it stops at once.
    lv::TFrameServer other(show.list.PicturePaths, nullptr, 1000, 48, 64, false, false, false);
    lv::TFramePipeline pipeline(other, other.FrameCount(), 3);
    pipeline.Acquire();
}
