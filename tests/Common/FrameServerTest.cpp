#include "Common/FrameServer.h"
#include "Common/PictureList.h"
#include "platform/Errors.h"

#include "support/Pictures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

using lv::TFrameServer;

namespace {

QRgb rgb(const QImage& img, int x, int y) {
    return img.pixel(x, y) & 0xFFFFFF;
}

// Three solid pictures (red, green, blue-ish) at 64 x 48.
struct ThreePictures {
    lvtest::TempDir dir;
    lv::TPictureList list;
    const QRgb colours[3] = {qRgb(201, 0, 0), qRgb(0, 201, 0), qRgb(0, 0, 201)};
    ThreePictures() {
        const char* names[3] = {"a.bmp", "b.jpg", "c.BMP"};
        for (int i = 0; i < 3; ++i) {
            lvtest::savePicture(lvtest::solidImage(64, 48, colours[i]), dir.file(names[i]),
                                i == 1 ? "JPG" : "BMP", 100);
            list.Add(dir.file(names[i]));
        }
    }
};

// The channel a fade frame must hold: a + nearest((b - a) * t / F).
int faded(int a, int b, int t, int f) {
    const float alpha = float(t) / float(f);
    return a + int(std::nearbyint((b - a) * double(alpha)));
}

} // namespace

TEST(FrameServer, FadeLengthAndFrameCountFollowTheSettings) {
    lv::TPictureList list;
    for (int i = 0; i < 3; ++i)
        list.Add("/none/" + std::to_string(i) + ".jpg");
    const struct {
        int n, f;
    } table[] = {{45, 12}, {75, 18}, {91, 24}, {30, 6}, {19, 0}, {20, 6}, {1, 0}};
    for (const auto& row : table) {
        TFrameServer fs(list.PicturePaths, &list.PictureTexts, row.n, 48, 64, false, true, false);
        EXPECT_EQ(fs.FadeFrames(), row.f) << "N = " << row.n;
        EXPECT_EQ(fs.FrameCount(), 3 * row.n + 2 * row.f);
        TFrameServer noFade(list.PicturePaths, nullptr, row.n, 48, 64, false, false, false);
        EXPECT_EQ(noFade.FadeFrames(), 0);
    }
    lv::TPictureList one;
    one.Add("/none/x.jpg");
    EXPECT_EQ(TFrameServer(one.PicturePaths, nullptr, 45, 48, 64, false, true, false).FrameCount(),
              45);
}

TEST(FrameServer, ThreePictureTimelineShowsEachPictureThenTheFade) {
    ThreePictures p;
    TFrameServer fs(p.list.PicturePaths, &p.list.PictureTexts, 45, 48, 64, false, true, false);
    ASSERT_EQ(fs.FrameCount(), 159);
    QImage frame;
    auto expectColour = [&](int i, QRgb c) {
        fs.RenderFrame(frame, i);
        ASSERT_EQ(frame.size(), QSize(64, 48));
        EXPECT_EQ(rgb(frame, 5, 5), c & 0xFFFFFF) << "frame " << i;
        EXPECT_EQ(rgb(frame, 63, 47), c & 0xFFFFFF) << "frame " << i;
    };
    for (int i : {0, 44})
        expectColour(i, p.colours[0]);
    for (int i : {57, 101})
        expectColour(i, p.colours[1]);
    for (int i : {114, 158})
        expectColour(i, p.colours[2]);

    // Fade 0 -> 1: frames 45..56, t = 0..11; the first equals picture 0, t = 6 is a tie
    // (201 x 0.5) that goes to even.
    for (int t = 0; t < 12; ++t) {
        fs.RenderFrame(frame, 45 + t);
        const QRgb px = frame.pixel(10, 10);
        EXPECT_EQ(qRed(px), faded(201, 0, t, 12)) << "t = " << t;
        EXPECT_EQ(qGreen(px), faded(0, 201, t, 12)) << "t = " << t;
        EXPECT_EQ(qAlpha(px), 0) << "alpha byte of a blend";
    }
    fs.RenderFrame(frame, 45 + 6);
    EXPECT_EQ(qRed(frame.pixel(0, 0)), 101);   // 201 - 100.5 -> 201 - 100
    EXPECT_EQ(qGreen(frame.pixel(0, 0)), 100); // 100.5 -> 100
    // Fade 1 -> 2 sits at 102..113.
    fs.RenderFrame(frame, 102);
    EXPECT_EQ(rgb(frame, 3, 3), p.colours[1] & 0xFFFFFF);
    fs.RenderFrame(frame, 113);
    EXPECT_EQ(qBlue(frame.pixel(3, 3)), faded(0, 201, 11, 12));
}

TEST(FrameServer, FirstFadeFrameRepeatsTheLastPictureFrameWithOverlayOff) {
    lvtest::TempDir dir;
    lv::TPictureList list;
    lvtest::savePicture(lvtest::detailedImage(300, 200), dir.file("a.jpg"), "JPG");
    lvtest::savePicture(lvtest::detailedImage(200, 300), dir.file("b.jpg"), "JPG");
    list.Add(dir.file("a.jpg"));
    list.Add(dir.file("b.jpg"));
    TFrameServer fs(list.PicturePaths, &list.PictureTexts, 30, 120, 160, true, true, false);
    QImage last, firstFade;
    fs.RenderFrame(last, 29);
    fs.RenderFrame(firstFade, 30);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            ASSERT_EQ(rgb(last, x, y), rgb(firstFade, x, y)) << x << "," << y;
}

TEST(FrameServer, PanFollowsFourDiagonalsToAQuarterOfTheFrame) {
    lv::TPictureList list;
    list.Add("/none/a.jpg");
    TFrameServer fs(list.PicturePaths, nullptr, 45, 576, 720, true, false, false);
    // {k, first x, first y, last x, last y}
    const int table[][5] = {{0, 0, 0, 180, 144}, {1, 0, 144, 180, 0}, {2, 180, 144, 0, 0},
                            {3, 180, 0, 0, 144}, {4, 0, 0, 180, 144}, {7, 180, 0, 0, 144}};
    for (const auto& row : table) {
        int x = -1, y = -1;
        fs.PanOffsets(row[0], 0, x, y);
        EXPECT_EQ(x, row[1]) << "k = " << row[0];
        EXPECT_EQ(y, row[2]) << "k = " << row[0];
        fs.PanOffsets(row[0], 44, x, y);
        EXPECT_EQ(x, row[3]) << "k = " << row[0];
        EXPECT_EQ(y, row[4]) << "k = " << row[0];
    }
    int x = -1, y = -1;
    fs.PanOffsets(0, 22, x, y); // 22 x 180 / 44 = 90, 22 x 144 / 44 = 72
    EXPECT_EQ(x, 90);
    EXPECT_EQ(y, 72);
    TFrameServer still(list.PicturePaths, nullptr, 1, 576, 720, true, false, false);
    still.PanOffsets(2, 0, x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
}

TEST(FrameServer, PanCopiesTheWindowOfTheEnlargedPicture) {
    lvtest::TempDir dir;
    lv::TPictureList list;
    // 4:3 like the frame, so the enlarged picture has no bar: left half dark, right half bright.
    QImage img = lvtest::solidImage(400, 300, qRgb(10, 10, 10));
    for (int y = 0; y < 300; ++y)
        for (int x = 200; x < 400; ++x)
            img.setPixel(x, y, qRgb(250, 250, 250));
    lvtest::savePicture(img, dir.file("half.bmp"), "BMP");
    list.Add(dir.file("half.bmp"));
    // 160 x 120 frame, enlarged to 213 x 160: the edge sits at x = 106.5 of the enlarged picture.
    TFrameServer fs(list.PicturePaths, nullptr, 11, 120, 160, true, false, false);
    QImage frame;
    fs.RenderFrame(frame, 0); // window at x = 0: the edge is at frame column ~106
    EXPECT_LT(qRed(frame.pixel(100, 60)), 40);
    EXPECT_GT(qRed(frame.pixel(112, 60)), 220);
    fs.RenderFrame(frame, 10); // window at x = 40: the edge moved to ~66
    EXPECT_LT(qRed(frame.pixel(60, 60)), 40);
    EXPECT_GT(qRed(frame.pixel(72, 60)), 220);
}

TEST(FrameServer, CaptionBandDarkensTheBottomAndCarriesBothTexts) {
    lvtest::TempDir dir;
    lv::TPictureList list;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
        list.Add(dir.file(name), "");
    const struct {
        int w, h, band;
    } sizes[] = {{720, 576, 41}, {640, 480, 34}, {320, 240, 28}, {100, 75, 28}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(s.h);
        // A white picture of the frame's own shape: no bar under the band.
        lvtest::savePicture(lvtest::solidImage(s.w, s.h, qRgb(255, 255, 255)), dir.file("a.bmp"),
                            "BMP");
        TFrameServer fs(list.PicturePaths, &list.PictureTexts, 1, s.h, s.w, false, false, true);
        QImage frame;
        fs.RenderFrame(frame, 0);
        const int y0 = s.h - s.band;
        // Right edge: no text there with an empty caption.
        EXPECT_EQ(frame.pixel(s.w - 1, y0 - 1), 0xFFFFFFFFu);
        EXPECT_EQ(frame.pixel(s.w - 1, y0), 0xFF999999u); // 255 x 0.6 = 153, alpha 255
        EXPECT_EQ(frame.pixel(s.w - 1, s.h - 1), 0xFF999999u);
        // Left of x = 10 stays dark; the number text brightens pixels right of it.
        int brightLeft = 0, brightNumber = 0;
        for (int y = s.h - 20; y < s.h; ++y) {
            for (int x = 0; x < 9; ++x)
                brightLeft += qRed(frame.pixel(x, y)) > 160;
            for (int x = 10; x < std::min(s.w, 60); ++x)
                brightNumber += qRed(frame.pixel(x, y)) > 230;
        }
        EXPECT_EQ(brightLeft, 0);
        EXPECT_GT(brightNumber, 10);
    }
}

TEST(FrameServer, CaptionShowsTheTextOrTheFileName) {
    lvtest::TempDir dir;
    lv::TPictureList list;
    lvtest::savePicture(lvtest::solidImage(64, 48, qRgb(0, 0, 0)), dir.file("name.bmp"), "BMP");
    list.Add(dir.file("name.bmp"), "");
    auto textArea = [](const QImage& f) {
        int lit = 0;
        for (int y = f.height() - 20; y < f.height(); ++y)
            for (int x = f.width() / 2 - 50; x < f.width(); ++x) // right of the number text
                lit += qGreen(f.pixel(x, y)) > 100;
        return lit;
    };
    QImage withEmptyText, withFileName, withLongText;
    TFrameServer(list.PicturePaths, &list.PictureTexts, 1, 480, 640, false, false, true)
        .RenderFrame(withEmptyText, 0);
    TFrameServer(list.PicturePaths, nullptr, 1, 480, 640, false, false, true)
        .RenderFrame(withFileName, 0);
    list.PictureTexts.Set(0, "A long caption that runs on past the right edge of the frame, "
                             "with no wrapping at all");
    TFrameServer(list.PicturePaths, &list.PictureTexts, 1, 480, 640, false, false, true)
        .RenderFrame(withLongText, 0);
    EXPECT_EQ(textArea(withEmptyText), 0);
    EXPECT_GT(textArea(withFileName), 20);
    EXPECT_GT(textArea(withLongText), textArea(withFileName));
    // The long text reaches the right edge instead of being wrapped.
    int edge = 0;
    for (int y = 460; y < 480; ++y)
        for (int x = 630; x < 640; ++x)
            edge += qGreen(withLongText.pixel(x, y)) > 100;
    EXPECT_GT(edge, 0);
}

// "Picture : 1 / 100" and the text never meet, at any frame size; a portrait frame's caption
// is that of the landscape frame with the same shorter side.
TEST(FrameServer, CaptionTextsNeverMeetAndFollowTheShorterSide) {
    lvtest::TempDir dir;
    lvtest::savePicture(lvtest::solidImage(64, 48, qRgb(0, 0, 0)), dir.file("a.bmp"), "BMP");
    lv::TPictureList list;
    for (int i = 0; i < 100; ++i)
        list.Add(dir.file("a.bmp"), "");
    const auto render = [&](int w, int h, const std::string& text) {
        list.PictureTexts.Set(0, text);
        QImage frame;
        TFrameServer(list.PicturePaths, &list.PictureTexts, 1, h, w, false, false, true)
            .RenderFrame(frame, 0);
        return frame;
    };
    for (const auto& [w, h] : {std::pair{320, 240}, {720, 576}, {1080, 1920}, {1920, 1080}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const QImage number = render(w, h, ""), both = render(w, h, "Wide caption");
        int numberRight = -1, textLeft = w;
        for (int y = h - 60; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (qGreen(number.pixel(x, y)) > 100)
                    numberRight = std::max(numberRight, x);
                if (both.pixel(x, y) != number.pixel(x, y))
                    textLeft = std::min(textLeft, x);
            }
        EXPECT_GT(numberRight, 0);
        EXPECT_LT(numberRight, textLeft);
        EXPECT_LT(textLeft, w);
    }
    EXPECT_EQ(render(1080, 1920, "").copy(0, 1860, 500, 60),
              render(1920, 1080, "").copy(0, 1020, 500, 60));
}

TEST(FrameServer, ListChangeReloadsAndAFailedLoadCanBeRetried) {
    lvtest::TempDir dir;
    lv::TPictureList list;
    const std::string path = dir.file("p.bmp");
    lvtest::savePicture(lvtest::solidImage(32, 24, qRgb(255, 0, 0)), path, "BMP");
    list.Add(path);
    TFrameServer fs(list.PicturePaths, nullptr, 5, 24, 32, false, false, false);
    QImage frame;
    fs.RenderFrame(frame, 0);
    EXPECT_EQ(rgb(frame, 1, 1), 0xFF0000u);

    lvtest::savePicture(lvtest::solidImage(32, 24, qRgb(0, 255, 0)), path, "BMP");
    fs.RenderFrame(frame, 1);
    EXPECT_EQ(rgb(frame, 1, 1), 0xFF0000u) << "same picture: served from the cache";
    list.PicturePaths.Set(0, path); // a change that keeps the index
    fs.RenderFrame(frame, 2);
    EXPECT_EQ(rgb(frame, 1, 1), 0x00FF00u);

    // A missing picture raises, leaves no current picture, and is tried again next time.
    list.Add(dir.file("late.jpg"));
    EXPECT_THROW(fs.RenderFrame(frame, 5), lv::Error);
    EXPECT_EQ(fs.CurrentIndex(), -1);
    lvtest::savePicture(lvtest::solidImage(32, 24, qRgb(0, 0, 255)), dir.file("late.jpg"), "JPG",
                        100);
    fs.RenderFrame(frame, 5);
    EXPECT_EQ(fs.CurrentIndex(), 1);
    EXPECT_GT(qBlue(frame.pixel(1, 1)), 240);
}

TEST(FrameServer, PrefetchChangesNoFrameAndKeepsFailuresRetryable) {
    lvtest::TempDir dir;
    lv::TPictureList list;
    const char* names[] = {"a.jpg", "b.bmp", "c.jpg", "d.jpg"};
    for (int i = 0; i < 4; ++i) {
        lvtest::savePicture(lvtest::detailedImage(200 + 40 * i, 150 + 10 * i), dir.file(names[i]),
                            i == 1 ? "BMP" : "JPG");
        list.Add(dir.file(names[i]));
    }
    TFrameServer plain(list.PicturePaths, &list.PictureTexts, 20, 60, 80, true, true, true);
    TFrameServer ahead(list.PicturePaths, &list.PictureTexts, 20, 60, 80, true, true, true);
    ahead.SetPrefetch(true);
    QImage a, b;
    for (int i = 0; i < plain.FrameCount(); ++i) {
        plain.RenderFrame(a, i);
        ahead.RenderFrame(b, i);
        ASSERT_EQ(a, b) << "frame " << i;
    }
    // Jumps back and forth, as a preview's scrub asks, leave loads ahead behind.
    for (const int i : {70, 5, 45, 90, 21, 0, 69, 44}) {
        plain.RenderFrame(a, i);
        ahead.RenderFrame(b, i);
        ASSERT_EQ(a, b) << "frame " << i;
    }

    // Picture 2 disappears while picture 1 is on screen: its prefetch fails, the failure
    // surfaces when picture 2 is due, and the next request loads it again.
    TFrameServer run(list.PicturePaths, &list.PictureTexts, 20, 60, 80, false, false, false);
    run.SetPrefetch(true);
    run.RenderFrame(a, 0);
    std::filesystem::rename(dir.file("c.jpg"), dir.file("c.moved"));
    run.RenderFrame(a, 20); // picture 1; starts loading picture 2
    EXPECT_THROW(run.RenderFrame(a, 40), lv::Error);
    std::filesystem::rename(dir.file("c.moved"), dir.file("c.jpg"));
    run.RenderFrame(a, 40);
    EXPECT_EQ(run.CurrentIndex(), 2);
}

TEST(FrameServer, HdCaptionsGrowWithTheFrameHeight) {
    lvtest::TempDir dir;
    lv::TPictureList list;
    list.Add(dir.file("a.bmp"), "");
    // Rows of the number text that hold bright pixels, and the leftmost bright column.
    auto numberText = [&](int w, int h, int& rows, int& left, int& top) {
        lvtest::savePicture(lvtest::solidImage(w, h, qRgb(0, 0, 0)), dir.file("a.bmp"), "BMP");
        TFrameServer fs(list.PicturePaths, &list.PictureTexts, 1, h, w, false, false, true);
        QImage frame;
        fs.RenderFrame(frame, 0);
        rows = 0;
        left = w;
        top = h;
        for (int y = 0; y < h; ++y) {
            bool lit = false;
            for (int x = 0; x < w / 2 - 100; ++x)
                if (qRed(frame.pixel(x, y)) > 128) {
                    lit = true;
                    left = std::min(left, x);
                }
            if (lit) {
                ++rows;
                top = std::min(top, y);
            }
        }
    };
    int rows576, left576, top576, rows1080, left1080, top1080;
    numberText(720, 576, rows576, left576, top576);
    numberText(1920, 1080, rows1080, left1080, top1080);
    EXPECT_GE(top576, 576 - 20);
    EXPECT_GE(left576, 10);
    EXPECT_GE(top1080, 1080 - 38) << "inside the band, which is 76 rows high";
    EXPECT_GE(left1080, 19);
    EXPECT_GT(rows1080 * 10, rows576 * 16) << rows576 << " rows at 576, " << rows1080;
}

// Fades composed band by band into the bitmap are the frames of the whole-frame path,
// caption, pan and picture changes included, at sizes where the bands split differently.
TEST(FrameServer, BitmapFramesEqualTheConvertedFrames) {
    lvtest::TempDir dir;
    lv::TPictureList list;
    for (int i = 0; i < 3; ++i) {
        const std::string name = dir.file(std::to_string(i) + ".jpg");
        lvtest::savePicture(lvtest::detailedImage(200 + 40 * i, 150), name, "JPG");
        list.Add(name, "Text " + std::to_string(i));
    }
    for (const auto& [w, h] : {std::pair{320, 240}, {64, 20}, {100, 300}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        TFrameServer whole(list.PicturePaths, &list.PictureTexts, 20, h, w, true, true, true);
        TFrameServer banded(list.PicturePaths, &list.PictureTexts, 20, h, w, true, true, true);
        ASSERT_EQ(whole.FadeFrames(), 6);
        QImage frame, scratch;
        lv::TDib expected, got;
        for (int i = 0; i < whole.FrameCount(); ++i) {
            whole.RenderFrame(frame, i);
            lv::ImageToDib(frame, expected);
            banded.RenderFrame(got, i, scratch);
            ASSERT_EQ(got.ImageSize(), expected.ImageSize());
            ASSERT_EQ(std::memcmp(got.Bits(), expected.Bits(), expected.ImageSize()), 0)
                << "frame " << i;
        }
    }
}
