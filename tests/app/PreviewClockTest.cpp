#include "app/run/PreviewClock.h"

#include <gtest/gtest.h>

// 100 frames of 40 ms (25 fps), the time the caller's.
TEST(PreviewClock, PlaysInRealTimePausesSeeksStepsAndStopsAtTheEnd) {
    lv::TPreviewClock clock(100, 40);
    EXPECT_EQ(clock.FrameAt(0), 0);
    EXPECT_FALSE(clock.Playing(0));
    clock.Play(1000);
    const struct {
        std::int64_t now;
        int frame;
    } timeline[] = {{1000, 0}, {1039, 0}, {1040, 1}, {1400, 10}, {5000, 99}, {9000, 99}};
    for (const auto& t : timeline)
        EXPECT_EQ(clock.FrameAt(t.now), t.frame) << t.now;
    EXPECT_FALSE(clock.Playing(5000)) << "stopped on the last frame";

    clock.Play(6000); // pressed at the end: from the start
    EXPECT_EQ(clock.FrameAt(6080), 2);
    clock.Pause(6100);
    EXPECT_EQ(clock.FrameAt(9000), 2);
    clock.Seek(50, 9000);
    EXPECT_EQ(clock.FrameAt(9500), 50);
    clock.Play(10000);
    EXPECT_EQ(clock.FrameAt(10200), 55);
    clock.Seek(500, 10200); // kept within the frames, and playing on
    EXPECT_EQ(clock.FrameAt(10200), 99);
    clock.Seek(-5, 10200);
    EXPECT_EQ(clock.FrameAt(10240), 1);
    clock.Step(1, 10240); // pauses at the next frame
    EXPECT_EQ(clock.FrameAt(20000), 2);
    clock.Step(-5, 20000);
    EXPECT_EQ(clock.FrameAt(20000), 0);
    EXPECT_EQ(clock.TimeOfFrame(25), 1000);
}

// A preview that composes one frame in 100 ms (two and a half frames' time) keeps the clock:
// the frames it could not show are dropped, the position stays where time says.
TEST(PreviewClock, SlowComposingDropsFramesAndKeepsThePosition) {
    lv::TPreviewClock clock(1000, 40);
    clock.Play(0);
    int shown = clock.Next(-1, 0);
    std::int64_t now = 0;
    for (int k = 0; k < 20; ++k) {
        now += 100; // composing took this long
        shown = clock.Next(shown, now);
    }
    EXPECT_EQ(shown, 50); // 2000 ms at 40 ms a frame
    EXPECT_EQ(clock.Dropped(), 30);
}
