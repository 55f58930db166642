#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

TEST(Errors, OnlyAFailedCheckAddsItsLocationToTheMessage) {
    EXPECT_EQ(lv::ErrorWithLocation(lv::Error("Empty picture list")), "Empty picture list");
    // A library's exception never shows its own text.
    const std::string internal =
        "An internal error has occurred: the last action was not completed.";
    EXPECT_EQ(lv::ErrorWithLocation(std::runtime_error("disk gone")), internal);
    EXPECT_EQ(lv::ErrorWithLocation(std::out_of_range("vector::_M_range_check")), internal);
    EXPECT_EQ(lv::ErrorWithLocation(std::bad_alloc()), "Out of memory");
    EXPECT_EQ(lv::ErrorWithLocation(
                  lv::EAssertionFailed("StreamWrite failed. Err: $8004406E", "U_MuxThd")),
              "StreamWrite failed. Err: $8004406E (U_MuxThd)");
    EXPECT_EQ(lv::ErrorWithLocation(lv::EAssertionFailed("ICOpen failed.", "U_BmpToAvi", 334)),
              "ICOpen failed. (U_BmpToAvi, line 334)");
    EXPECT_EQ(lv::ErrorLocation("", 12), "");
}
