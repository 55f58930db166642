#include "project/FolderOrder.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

TEST(FolderOrder, NamesSortAsAFileManagerShowsThem) {
    std::vector<std::string> names = {"img10.jpg", "IMG2.jpg",  "img1.jpg", "b.jpg",
                                      "A.jpg",     "img02.jpg", "a.jpg"};
    std::sort(names.begin(), names.end(), lv::FileManagerLess);
    // img02 and IMG2 differ only in case and zeros: the plain bytes decide.
    EXPECT_EQ(names, (std::vector<std::string>{"A.jpg", "a.jpg", "b.jpg", "img1.jpg", "IMG2.jpg",
                                               "img02.jpg", "img10.jpg"}));
}

TEST(FolderOrder, ASelectionTakesTheOrderOfItsFolder) {
    lvtest::TempDir dir;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        std::ofstream(dir.file(name)) << name;
    std::filesystem::create_directory(dir.file("sub.jpg"));
    const auto listing = lv::ListFolderFiles(dir.path().string());
    EXPECT_EQ(listing, (std::vector<std::string>{dir.file("a.jpg"), dir.file("b.jpg"),
                                                 dir.file("c.jpg"), dir.file("d.jpg")}));
    // Chosen b, a, c; d was not chosen.
    const auto sorted =
        lv::SortByFolderOrder({dir.file("b.jpg"), dir.file("a.jpg"), dir.file("c.jpg")});
    EXPECT_EQ(sorted,
              (std::vector<std::string>{dir.file("a.jpg"), dir.file("b.jpg"), dir.file("c.jpg")}));
    // Names that differ in case are two files; a file of another folder is kept, last.
    std::ofstream(dir.file("A.jpg")) << "A";
    lvtest::TempDir other;
    std::ofstream(other.file("z.jpg")) << "z";
    EXPECT_EQ(
        lv::SortByFolderOrder({dir.file("a.jpg"), other.file("z.jpg"), dir.file("A.jpg")}),
        (std::vector<std::string>{dir.file("A.jpg"), dir.file("a.jpg"), other.file("z.jpg")}));
    EXPECT_TRUE(lv::SortByFolderOrder({}).empty());
}
