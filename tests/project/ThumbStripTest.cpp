#include "project/ThumbStrip.h"

#include <gtest/gtest.h>

using Strip = lv::TThumbStrip<std::string>;

namespace {

// Renders what the strip asks for, as the window does, and returns which slots it drew.
std::vector<int> refresh(Strip& strip, int count) {
    const auto slots = strip.SlotsToRender(count);
    for (int k : slots)
        strip.Set(k, strip.FirstThumb() + k, "picture " + std::to_string(strip.FirstThumb() + k));
    return slots;
}

} // namespace

TEST(ThumbStrip, ThreePicturesFillThreeSlotsAndDoNotMove) {
    Strip strip;
    EXPECT_EQ(refresh(strip, 3), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(strip.Label(3), "1 - 3 / 3");
    EXPECT_EQ(strip.Last(3), 2);
    EXPECT_FALSE(strip.Next(3));
    EXPECT_FALSE(strip.Prev(3));
    EXPECT_TRUE(refresh(strip, 3).empty()) << "nothing drawn twice";
    EXPECT_EQ(strip.Last(0), -1);
    EXPECT_TRUE(strip.SlotsToRender(0).empty());
}

TEST(ThumbStrip, SevenPicturesMoveOneSlotAtATimeAndRenderOnlyTheNewcomer) {
    Strip strip;
    refresh(strip, 7);
    ASSERT_TRUE(strip.Next(7));
    EXPECT_EQ(strip[0].Picture, "picture 1") << "slots take over their neighbour's picture";
    EXPECT_EQ(refresh(strip, 7), std::vector<int>{4});
    ASSERT_TRUE(strip.Next(7));
    refresh(strip, 7);
    EXPECT_EQ(strip.FirstThumb(), 2);
    EXPECT_FALSE(strip.Next(7)) << "2 = 7 - 5";
    ASSERT_TRUE(strip.Prev(7));
    EXPECT_EQ(strip.FirstThumb(), 1);
    EXPECT_EQ(strip[4].Picture, "picture 5");
    EXPECT_EQ(refresh(strip, 7), std::vector<int>{0});
    EXPECT_EQ(strip.Label(7), "2 - 6 / 7");

    // A jump keeps the tags: only slots that now show another picture are drawn.
    strip.JumpTo(1, 7);
    EXPECT_TRUE(refresh(strip, 7).empty()) << "a jump to where the strip stands draws nothing";
    strip.JumpTo(2, 7);
    EXPECT_EQ(refresh(strip, 7), (std::vector<int>{0, 1, 2, 3, 4}));
    strip.JumpTo(99, 7);
    EXPECT_EQ(strip.FirstThumb(), 2);

    // After deletes the strip comes back into range; after an edit everything is redrawn.
    strip.ClampTo(4);
    EXPECT_EQ(strip.FirstThumb(), 0);
    strip.InvalidateAll();
    EXPECT_EQ(refresh(strip, 4), (std::vector<int>{0, 1, 2, 3}));
    strip.Reset();
    EXPECT_EQ(strip[0].Tag, -1);
    EXPECT_EQ(strip[0].Picture, "");
}
