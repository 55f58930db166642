#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(Errors, OnlyAFailedCheckAddsItsLocationToTheMessage) {
    EXPECT_EQ(lv::ErrorWithLocation(lv::Error("Empty picture list")), "Empty picture list");
    EXPECT_EQ(lv::ErrorWithLocation(std::runtime_error("disk gone")), "disk gone");
    EXPECT_EQ(lv::ErrorWithLocation(
                  lv::EAssertionFailed("StreamWrite failed. Err: $8004406E", "U_MuxThd")),
              "StreamWrite failed. Err: $8004406E (U_MuxThd)");
    EXPECT_EQ(lv::ErrorWithLocation(lv::EAssertionFailed("ICOpen failed.", "U_BmpToAvi", 334)),
              "ICOpen failed. (U_BmpToAvi, line 334)");
    EXPECT_EQ(lv::ErrorLocation("", 12), "");
}
