#include "Audio/Duration.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(Duration, WholeSecondsAndTheWindowsFormat) {
    const std::pair<std::int64_t, const char*> shown[] = {
        {0, "0:00"},       {7, "0:07"},         {59, "0:59"},          {60, "1:00"},
        {187, "3:07"},     {3599, "59:59"},     {3600, "1:00:00"},     {5999, "1:39:59"},
        {6005, "1:40:05"}, {36000, "10:00:00"}, {360000, "100:00:00"}, {-5, "0:00"},
    };
    for (auto [seconds, text] : shown)
        EXPECT_EQ(lv::FormatDuration(seconds), text) << seconds;

    EXPECT_EQ(lv::DurationSeconds(1.0L), 86400);
    EXPECT_EQ(lv::DurationSeconds(59.4L / 86400), 59);
    EXPECT_EQ(lv::DurationSeconds(59.6L / 86400), 60);
    // Ties go to the even neighbour.
    EXPECT_EQ(lv::DurationSeconds(2.5L / 86400), 2);
    EXPECT_EQ(lv::DurationSeconds(3.5L / 86400), 4);
    EXPECT_EQ(lv::DurationSeconds(std::numeric_limits<long double>::quiet_NaN()), 0);
    EXPECT_EQ(lv::DurationSeconds(std::numeric_limits<long double>::infinity()), 0);
}

TEST(MatchAudio, SpreadsTheSoundtrackOverThePicturesWithinLimits) {
    struct Case {
        std::int64_t seconds, pictures;
        bool crossFade;
        int expected;
        bool tooShort;
    };
    const Case cases[] = {
        {60, 10, true, 4615, false}, // 60000 / 13
        {60, 10, false, 6000, false},
        {60, 1000, false, 100, true},   // 60 ms
        {60, 1000, true, 100, true},    // 46 ms
        {7200, 1, false, 60000, false}, // 2 hours on one picture
        {0, 5, true, 100, true},        // no soundtrack
        {1, 10, false, 100, true},      // exactly the minimum still says so
        {3, 20, false, 150, false},
        {1, 8, false, 125, false}, // 125 exactly
        {9, 4, true, 1731, false}, // 9000 / 5.2 = 1730.77
        {std::int64_t(1) << 40, 1, true, 60000, false},
    };
    for (const Case& c : cases) {
        auto r = lv::MatchAudio(c.seconds, c.pictures, c.crossFade);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->TimePerPicture, c.expected) << c.seconds << " s, " << c.pictures;
        EXPECT_EQ(r->TooShort, c.tooShort) << c.seconds << " s, " << c.pictures;
    }
    // Ties go to the even neighbour: 187.5 and 312.5 ms.
    EXPECT_EQ(lv::MatchAudio(3, 16, false)->TimePerPicture, 188);
    EXPECT_EQ(lv::MatchAudio(5, 16, false)->TimePerPicture, 312);
    EXPECT_FALSE(lv::MatchAudio(60, 0, true).has_value()) << "an empty list changes nothing";
    EXPECT_STREQ(lv::kMatchAudioTooShort,
                 "Soundtrack too short or too many picture loaded. Using minimal picture "
                 "duration.");
}

} // namespace
