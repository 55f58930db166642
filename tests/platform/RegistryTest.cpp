#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Registry.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

TEST(Registry, AbsentValueIsEmptyAndValuesRoundTripPerKey) {
    lvtest::TempDir dir;
    setenv("LUMIVANE_SETTINGS_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(lv::ReadRegString("LastFCC"), "");
    lv::WriteRegString("LastFCC", "XVID");
    lv::WriteRegString("HKEY_CURRENT_USER\\Software\\Tessaro", "LastFCC", "other");
    EXPECT_EQ(lv::ReadRegString("LastFCC"), "XVID");
    EXPECT_EQ(lv::ReadRegString("HKEY_CURRENT_USER\\Software\\Tessaro", "LastFCC"), "other");
    EXPECT_EQ(lv::SettingsFilePath(), dir.file("Lumivane.ini"));
}

TEST(Files, PathPartsFollowTheLastSeparatorAndDot) {
    EXPECT_EQ(lv::ExtractFilePath("/a/b.c/d.AVI"), "/a/b.c/");
    EXPECT_EQ(lv::ExtractFileName("/a/b.c/d.AVI"), "d.AVI");
    EXPECT_EQ(lv::ExtractFileExt("/a/b.c/d.AVI"), ".AVI");
    EXPECT_EQ(lv::ExtractFileExt("/a/b.c/noext"), "");
    EXPECT_EQ(lv::ExtractFilePath("bare"), "");
    EXPECT_EQ(lv::FileSize("/no/such/file"), 0u);
    EXPECT_EQ(lv::hex8(0x80044065u), "80044065");

    lvtest::TempDir dir;
    EXPECT_TRUE(lv::FolderWritable(dir.path().string() + "/"));
    std::ofstream(dir.file("plain")) << "x";
    EXPECT_FALSE(lv::FolderWritable(dir.file("plain"))) << "a file is no folder, even for root";
    EXPECT_FALSE(lv::FolderWritable(dir.file("missing")));
}
