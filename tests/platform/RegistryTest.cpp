#include "platform/Registry.h"
#include "platform/Errors.h"
#include "platform/Files.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
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

// Installed (share/lumivane/ beside bin/), the program reads its data there and writes its own
// files to the user's data folder even where it could write bin/; built, it keeps both beside
// itself.
TEST(Files, DataAndOwnFilesFolderFollowTheLayout) {
    lvtest::TempDir dir;
    const std::string root = dir.path().string() + "/";
    setenv("XDG_DATA_HOME", (root + "home-data").c_str(), 1);
    const std::string user = root + "home-data/Lumivane/";
    std::filesystem::create_directories(root + "usr/bin");
    std::filesystem::create_directories(root + "usr/share/lumivane");
    std::filesystem::create_directories(root + "build/app/gui");
    std::filesystem::create_directories(root + "lonely/bin");
    const struct {
        std::string program, data, own;
    } cases[] = {
        {root + "usr/bin/", root + "usr/share/lumivane/", user},
        {root + "build/app/gui/", root + "build/app/gui/", root + "build/app/gui/"},
        {root + "lonely/bin/", root + "lonely/bin/", root + "lonely/bin/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lv::DataFolderOf(c.program), c.data) << c.program;
        EXPECT_EQ(lv::OwnFilesFolderOf(c.program), c.own) << c.program;
    }
    EXPECT_TRUE(std::filesystem::is_directory(user));
    unsetenv("XDG_DATA_HOME");
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
