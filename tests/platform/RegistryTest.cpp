#include "platform/Registry.h"
#include "platform/Errors.h"
#include "platform/Files.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
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

TEST(Files, RenameKeepingEarlierNeverReplacesAFile) {
    lvtest::TempDir dir;
    const std::string out = dir.file("show.avi");
    int error = -1;
    // Free name: taken. Then each rename goes to the next free partial name.
    const char* expected[] = {"show.avi", "show.partial.avi", "show.partial-1.avi"};
    for (int i = 0; i < 3; ++i) {
        std::ofstream(dir.file("new")) << i;
        EXPECT_EQ(lv::RenameKeepingEarlier(dir.file("new"), out, error), dir.file(expected[i]));
        EXPECT_EQ(error, 0);
    }
    std::ifstream first(out);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(first)), {}), "0");
    EXPECT_EQ(lv::PartialFileName(dir.file("noext")), dir.file("noext.partial"));
    EXPECT_EQ(lv::RenameKeepingEarlier(dir.file("missing"), dir.file("x.avi"), error), "");
    EXPECT_EQ(error, ENOENT);
}
