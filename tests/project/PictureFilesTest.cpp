#include "project/PictureFiles.h"
#include "log/KLog.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

void Touch(const std::string& path) {
    std::ofstream(path, std::ios::binary) << "data";
}

} // namespace

TEST(PictureFiles, EntriesSplitAtTheFirstTab) {
    auto plain = lv::SplitPictureEntry("/p/a b.jpg");
    EXPECT_EQ(plain.Path, "/p/a b.jpg");
    EXPECT_EQ(plain.Text, "a b.jpg");
    auto captioned = lv::SplitPictureEntry("/p/a.jpg\tHello\tWorld");
    EXPECT_EQ(captioned.Path, "/p/a.jpg");
    EXPECT_EQ(captioned.Text, "Hello\tWorld");
    auto emptyText = lv::SplitPictureEntry("/p/a.jpg\t");
    EXPECT_EQ(emptyText.Path, "/p/a.jpg");
    EXPECT_EQ(emptyText.Text, "");
}

TEST(PictureFiles, CheckKnowsPictureTypesInAnyCaseAndOnlyRealFiles) {
    for (const char* ext : {".bmp", ".BMP", ".jpg", ".JPG", ".Jpeg", ".jPeG"})
        EXPECT_TRUE(lv::IsPictureExtension(ext)) << ext;
    for (const char* ext : {"", ".", ".gif", ".png", ".jpe", ".jpg ", ".bmpx", "jpg"})
        EXPECT_FALSE(lv::IsPictureExtension(ext)) << ext;

    lvtest::TempDir dir;
    Touch(dir.file("a.JPG"));
    Touch(dir.file("c.gif"));
    Touch(dir.file("noext"));
    std::filesystem::create_directory(dir.file("folder.jpg"));
    EXPECT_EQ(lv::CheckPictureFile(dir.file("a.JPG")), lv::TPictureCheck::Ok);
    EXPECT_EQ(lv::CheckPictureFile(dir.file("c.gif")), lv::TPictureCheck::NotSupported);
    EXPECT_EQ(lv::CheckPictureFile(dir.file("noext")), lv::TPictureCheck::NotSupported);
    EXPECT_EQ(lv::CheckPictureFile(dir.file("missing.jpg")), lv::TPictureCheck::NotFound);
    EXPECT_EQ(lv::CheckPictureFile(dir.file("folder.jpg")), lv::TPictureCheck::NotFound);
    EXPECT_EQ(lv::CheckPictureFile(""), lv::TPictureCheck::NotFound);
    // The part before the NUL exists, but the whole path names no file.
    std::string withNul = dir.file("c.gif") + std::string(1, '\0') + ".jpg";
    EXPECT_EQ(lv::CheckPictureFile(withNul), lv::TPictureCheck::NotFound);
}

TEST(PictureFiles, AddingDropsAndLogsUnusableFilesAndKeepsTheRest) {
    lvtest::TempDir dir;
    for (const char* name : {"a.JPG", "b.Jpeg", "c.gif", "d.png"})
        Touch(dir.file(name));
    lv::TKLog log(dir.file("test.log"), 100, false);
    lv::TPictureList list;
    list.Add(dir.file("a.JPG"), "already there");

    std::vector<std::string> entries = {
        dir.file("a.JPG"),
        dir.file("b.Jpeg") + "\tHello\tWorld",
        dir.file("c.gif"),
        dir.file("missing.jpg"),
        dir.file("d.png"),
        "b.Jpeg\trelative", // taken against the base folder
        "",
    };
    std::string base = dir.path().string() + "/";
    EXPECT_EQ(lv::AddPictureFiles(list, entries, &log, base), 3u);

    EXPECT_EQ(list.PicturePaths.Items(),
              (std::vector<std::string>{dir.file("a.JPG"), dir.file("a.JPG"), dir.file("b.Jpeg"),
                                        dir.file("b.Jpeg")}));
    EXPECT_EQ(list.PictureTexts.Items(),
              (std::vector<std::string>{"already there", "a.JPG", "Hello\tWorld", "relative"}));
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "Info\tFiles count : 4",
                               "Error\tFile not found : ",
                               "Error\tFile not supported : " + dir.file("d.png"),
                               "Error\tFile not found : " + dir.file("missing.jpg"),
                               "Error\tFile not supported : " + dir.file("c.gif"),
                               "Info\t7 files to be added",
                               "Info\tFiles count : 1",
                           }));

    // Without a base folder a relative path stays as it is, and no log is fine.
    lv::TPictureList other;
    EXPECT_FALSE(lv::AddPictureFile(other, "b.Jpeg", nullptr));
    EXPECT_EQ(other.Count(), 0u);
}
