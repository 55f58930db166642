#include "project/ProjectFile.h"
#include "log/KLog.h"
#include "platform/Errors.h"
#include "project/PictureFiles.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The message of the lv::Error that `f` throws ("" when it throws none).
template <typename F> std::string ErrorOf(F f) {
    try {
        f();
    } catch (const lv::Error& e) {
        return e.what();
    }
    return {};
}

} // namespace

TEST(ProjectFile, SaveAndLoadRoundTrip) {
    lvtest::TempDir dir;
    for (const char* name : {"a.jpg", "b.jpg", "c.bmp", "d.jpeg"})
        WriteFile(dir.file(name), "x");
    lv::TPictureList list;
    list.Add(dir.file("a.jpg"));                  // text is the file name: no TAB written
    list.Add(dir.file("b.jpg"), "B.JPG");         // differs only in case: written
    list.Add(dir.file("c.bmp"), "Hello\tWorld");  // only the first TAB separates
    list.Add(dir.file("d.jpeg"), "two\r\nlines"); // a line break would split the entry
    list.Add(dir.file("a.jpg"), "again");

    std::string saved = lv::SaveProject(dir.file("show"), list, "/music/s.mp3", "/out/o.avi");
    EXPECT_EQ(saved, dir.file("show.lmv"));
    EXPECT_EQ(ReadAll(saved), ";Sound=/music/s.mp3\r\n"
                              ";Output=/out/o.avi\r\n" +
                                  dir.file("a.jpg") + "\r\n" + dir.file("b.jpg") + "\tB.JPG\r\n" +
                                  dir.file("c.bmp") + "\tHello\tWorld\r\n" + dir.file("d.jpeg") +
                                  "\ttwo  lines\r\n" + dir.file("a.jpg") + "\tagain\r\n");

    lv::TPictureList loaded;
    loaded.Add("/stale/entry.jpg");
    lv::TProject project = lv::LoadProject(saved, loaded, nullptr);
    EXPECT_EQ(project.Sound, "/music/s.mp3");
    EXPECT_EQ(project.Output, "/out/o.avi");
    EXPECT_EQ(project.Folder, dir.path().string() + "/");
    EXPECT_EQ(loaded.PicturePaths.Items(), list.PicturePaths.Items());
    EXPECT_EQ(loaded.PictureTexts.Items(),
              (std::vector<std::string>{"a.jpg", "B.JPG", "Hello\tWorld", "two  lines", "again"}));

    // Empty sound and output are written as empty values and read back as such.
    lv::TPictureList none;
    lv::SaveProject(saved, none, "", "");
    EXPECT_EQ(ReadAll(saved), ";Sound=\r\n;Output=\r\n");
    project = lv::LoadProject(saved, loaded, nullptr);
    EXPECT_EQ(project.Sound, "");
    EXPECT_EQ(project.Output, "");
    EXPECT_EQ(loaded.Count(), 0u);
}

TEST(ProjectFile, SaveNamesAndRefusals) {
    EXPECT_EQ(lv::ProjectSaveName("/p/show.lmv"), "/p/show.lmv");
    EXPECT_EQ(lv::ProjectSaveName("/p/show.LMV"), "/p/show.LMV.lmv");
    EXPECT_EQ(lv::ProjectSaveName("/p/show"), "/p/show.lmv");
    EXPECT_EQ(lv::ProjectSaveName("/p/show.lmv.bak"), "/p/show.lmv.bak.lmv");
    EXPECT_EQ(lv::ProjectSaveName("/p.lmv/show"), "/p.lmv/show.lmv");

    lvtest::TempDir dir;
    lv::TPictureList list;
    list.Add("/p/a\tb.jpg");
    std::string name = dir.file("refused.lmv");
    EXPECT_NE(ErrorOf([&] { lv::SaveProject(name, list, "", ""); }).find("/p/a\tb.jpg"),
              std::string::npos);
    lv::TPictureList plain;
    plain.Add("/p/a.jpg");
    EXPECT_NE(ErrorOf([&] { lv::SaveProject(name, plain, "/s\n.mp3", ""); }), "");
    EXPECT_NE(ErrorOf([&] { lv::SaveProject(name, plain, "", "/o\r.avi"); }), "");
    EXPECT_FALSE(std::filesystem::exists(name));

    // A failed save names the file and leaves the old project as it was.
    WriteFile(name, "old project");
    std::filesystem::create_directory(dir.file("sub.lmv"));
    std::string error = ErrorOf([&] { lv::SaveProject(dir.file("missing/x.lmv"), plain, "", ""); });
    EXPECT_NE(error.find(dir.file("missing/x.lmv")), std::string::npos) << error;
    EXPECT_NE(ErrorOf([&] { lv::SaveProject(dir.file("sub.lmv"), plain, "", ""); }), "");
    EXPECT_EQ(ReadAll(name), "old project");
    lv::SaveProject(name, plain, "", "");
    EXPECT_EQ(ReadAll(name), ";Sound=\r\n;Output=\r\n/p/a.jpg\r\n");
}

TEST(ProjectFile, HeaderKeysCaseOrderAndEnd) {
    // No header at all: every line is a picture, sound and output are left alone.
    lv::TProject bare = lv::ParseProject("/p/a.jpg\r\n/p/b.jpg\r\n");
    EXPECT_FALSE(bare.Sound);
    EXPECT_FALSE(bare.Output);
    EXPECT_EQ(bare.Entries, (std::vector<std::string>{"/p/a.jpg", "/p/b.jpg"}));

    // Keys match with case; unknown ';' lines are skipped; the later of two keys wins.
    lv::TProject keys = lv::ParseProject(";output=/lower.avi\n"
                                         ";Output=/first.avi\n"
                                         ";SOUND=/upper.mp3\n"
                                         ";Sound /nospace.mp3\n"
                                         ";Sound=/s.mp3\n"
                                         "; comment\n"
                                         ";\n"
                                         ";Output=/second.avi\n"
                                         "/p/a.jpg\n"
                                         ";Output=/late.avi\n");
    EXPECT_EQ(keys.Sound, "/s.mp3");
    EXPECT_EQ(keys.Output, "/second.avi");
    EXPECT_EQ(keys.Entries, (std::vector<std::string>{"/p/a.jpg", ";Output=/late.avi"}));

    lv::TProject lowerOnly = lv::ParseProject(";output=/lower.avi\r\n/p/a.jpg");
    EXPECT_FALSE(lowerOnly.Output);
    EXPECT_EQ(lowerOnly.Entries, std::vector<std::string>{"/p/a.jpg"});

    // An empty line ends the header and is itself a picture entry.
    lv::TProject gap = lv::ParseProject(";Sound=/s.mp3\r\n\r\n;Output=/o.avi\r\n/p/a.jpg\r\n");
    EXPECT_EQ(gap.Sound, "/s.mp3");
    EXPECT_FALSE(gap.Output);
    EXPECT_EQ(gap.Entries, (std::vector<std::string>{"", ";Output=/o.avi", "/p/a.jpg"}));

    // Values are taken as they stand, spaces and '=' included.
    lv::TProject raw = lv::ParseProject(";Sound= /a=b.mp3 \n;Output=");
    EXPECT_EQ(raw.Sound, " /a=b.mp3 ");
    EXPECT_EQ(raw.Output, "");
    EXPECT_TRUE(raw.Entries.empty());

    // A leading byte-order mark is skipped; anywhere else it is data.
    lv::TProject bom = lv::ParseProject("\xEF\xBB\xBF;Sound=/s.mp3\r\n\xEF\xBB\xBF/p/a.jpg");
    EXPECT_EQ(bom.Sound, "/s.mp3");
    EXPECT_EQ(bom.Entries, std::vector<std::string>{"\xEF\xBB\xBF/p/a.jpg"});
}

TEST(ProjectFile, EveryLineEndIsAccepted) {
    const std::vector<std::string> expected = {"/p/a.jpg", "/p/b.jpg\tText", "/p/c.jpg"};
    for (const char* end : {"\r\n", "\n", "\r"}) {
        std::string data = std::string(";Sound=/s.mp3") + end + ";Output=/o.avi" + end +
                           "/p/a.jpg" + end + "/p/b.jpg\tText" + end + "/p/c.jpg";
        for (const std::string& withEnd : {data, data + end}) {
            lv::TProject p = lv::ParseProject(withEnd);
            EXPECT_EQ(p.Sound, "/s.mp3");
            EXPECT_EQ(p.Output, "/o.avi");
            EXPECT_EQ(p.Entries, expected) << testing::PrintToString(withEnd);
        }
    }
    lv::TProject mixed = lv::ParseProject("/p/a.jpg\r\n/p/b.jpg\tText\r/p/c.jpg\n");
    EXPECT_EQ(mixed.Entries, expected);
    // LF then CR are two line ends, with an empty entry between them.
    EXPECT_EQ(lv::ParseProject("a\n\rb").Entries, (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(lv::ParseProject("a\r\n\r\n").Entries, (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(lv::ParseProject("\r").Entries, std::vector<std::string>{""});
    EXPECT_TRUE(lv::ParseProject("").Entries.empty());
}

TEST(ProjectFile, LoadResolvesRelativePathsAndLogsDroppedPictures) {
    lvtest::TempDir dir;
    namespace fs = std::filesystem;
    fs::create_directories(dir.path() / "show" / "pics");
    fs::create_directories(dir.path() / "other");
    WriteFile(dir.file("show/pics/a.jpg"), "x");
    WriteFile(dir.file("other/b.bmp"), "x");
    WriteFile(dir.file("show/pics/c.gif"), "x");
    WriteFile(dir.file("abs.jpeg"), "x");
    std::string projectName = dir.file("show/p.lmv");
    WriteFile(projectName, ";Sound=music/s.mp3\r\n"
                           ";Output=out.avi\r\n"
                           "pics/a.jpg\r\n"
                           "../other/b.bmp\tRelative text\r\n" +
                               dir.file("abs.jpeg") +
                               "\r\n"
                               "pics/c.gif\r\n"
                               "pics/missing.jpg\r\n"
                               "\r\n"
                               "pics/a.jpg"); // last line without line end

    lv::TKLog log(dir.file("test.log"), 100, false);
    lv::TPictureList list;
    lv::TProject project = lv::LoadProject(projectName, list, &log);
    std::string show = dir.file("show") + "/";
    EXPECT_EQ(list.PicturePaths.Items(),
              (std::vector<std::string>{show + "pics/a.jpg", dir.file("other/b.bmp"),
                                        dir.file("abs.jpeg"), show + "pics/a.jpg"}));
    EXPECT_EQ(project.Skipped,
              (std::vector<std::string>{show + "pics/c.gif", show + "pics/missing.jpg", ""}));
    EXPECT_EQ(lv::SkippedPicturesMessage(project.Skipped, "/l.log"),
              "Skipped 3 picture(s) that are missing or not BMP/JPEG: " + show + "pics/c.gif, " +
                  show + "pics/missing.jpg, (an empty line); see /l.log");
    project.Skipped.push_back("/x.png");
    EXPECT_EQ(lv::SkippedPicturesMessage(project.Skipped, "/l.log"),
              "Skipped 4 picture(s) that are missing or not BMP/JPEG: " + show + "pics/c.gif, " +
                  show + "pics/missing.jpg, (an empty line) and 1 more; see /l.log");
    EXPECT_EQ(list.PictureTexts.Items(),
              (std::vector<std::string>{"a.jpg", "Relative text", "abs.jpeg", "a.jpg"}));
    // Sound and output are handed back as written; the caller decides what to do with them.
    EXPECT_EQ(project.Sound, "music/s.mp3");
    EXPECT_EQ(project.Output, "out.avi");
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "Info\tFiles count : 4",
                               "Error\tFile not found : ",
                               "Error\tFile not found : " + show + "pics/missing.jpg",
                               "Error\tFile not supported : " + show + "pics/c.gif",
                               "Info\t7 files to be added",
                               "Info\tFiles count : 0",
                           }));
}

TEST(ProjectFile, MalformedInputGivesClearErrorsOrDroppedLines) {
    lvtest::TempDir dir;
    WriteFile(dir.file("a.jpg"), "x");
    lv::TPictureList list;
    list.Add(dir.file("a.jpg"), "kept");

    // Files that cannot be read name themselves and leave the list as it was.
    std::string missing = dir.file("missing.lmv");
    std::string error = ErrorOf([&] { lv::LoadProject(missing, list, nullptr); });
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_NE(ErrorOf([&] { lv::LoadProject(dir.path().string(), list, nullptr); }), "");
    EXPECT_NE(ErrorOf([&] { lv::LoadProject("/dev/zero", list, nullptr); }), "");
    std::string huge = dir.file("huge.lmv");
    std::filesystem::resize_file((WriteFile(huge, ""), huge), lv::kMaxProjectFileSize + 1);
    error = ErrorOf([&] { lv::LoadProject(huge, list, nullptr); });
    EXPECT_NE(error.find(huge), std::string::npos) << error;
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.PictureTexts[0], "kept");

    // Binary garbage is read as picture entries, every one of them dropped.
    std::mt19937 random(7);
    std::string garbage(20000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random());
    WriteFile(dir.file("garbage.lmv"), garbage);
    lv::TKLog log(dir.file("test.log"), 100000, false);
    lv::TProject project = lv::LoadProject(dir.file("garbage.lmv"), list, &log);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_GT(project.Entries.size(), 50u);
    EXPECT_EQ(log.Lines().size(), project.Entries.size() + 3);

    // A very long line, and one that hides a real picture's path before a NUL, are one
    // dropped entry each; the picture after them loads.
    std::string longLine(8 << 20, 'x');
    WriteFile(dir.file("long.lmv"), longLine + "\n" + dir.file("a.jpg") + std::string(1, '\0') +
                                        ".jpg\n" + dir.file("a.jpg") + "\n");
    project = lv::LoadProject(dir.file("long.lmv"), list, nullptr);
    ASSERT_EQ(project.Entries.size(), 3u);
    EXPECT_EQ(project.Entries[0].size(), longLine.size());
    EXPECT_EQ(list.PicturePaths.Items(), std::vector<std::string>{dir.file("a.jpg")});
}
