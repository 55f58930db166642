#include "Common/PictureList.h"

#include <gtest/gtest.h>

TEST(StringList, EveryWatcherHearsEveryChangeUntilItsSubscriptionEnds) {
    lv::TPictureList list;
    int a = 0, b = 0;
    auto subA = list.PicturePaths.Watch([&] { ++a; });
    {
        auto subB = list.PicturePaths.Watch([&] { ++b; });
        list.Add("/x/one.jpg");
        list.Add("/x/two.bmp", "Second");
        list.Move(1, 0);
        EXPECT_EQ(a, 3);
        EXPECT_EQ(b, 3);
    }
    list.Delete(0);
    list.Clear();
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 3);
}

TEST(StringList, PathsAndTextsStayParallel) {
    lv::TPictureList list;
    list.Add("/x/one.jpg");
    list.Add("/x/two.bmp", "Second");
    list.Add("/x/three.JPG", "");
    EXPECT_EQ(list.PictureTexts[0], "one.jpg");
    EXPECT_EQ(list.PictureTexts[2], "");
    list.Move(0, 2);
    EXPECT_EQ(list.PicturePaths[2], "/x/one.jpg");
    EXPECT_EQ(list.PictureTexts[2], "one.jpg");
    EXPECT_EQ(list.PicturePaths[0], "/x/two.bmp");
    EXPECT_EQ(list.PictureTexts[0], "Second");
    list.Delete(1);
    EXPECT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.PictureTexts.Count(), 2u);
    EXPECT_THROW(list.Delete(5), std::out_of_range);
}
