#include "Common/PictureList.h"
#include "app/run/SlideshowRun.h"
#include "app/run/Soundtrack.h"
#include "app/run/Startup.h"
#include "log/KLog.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Registry.h"

#include "support/Pictures.h"
#include "support/Sounds.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

TEST(RunHelpers, SoundtrackSecondsByReaderAndNothingWithoutOne) {
    lvtest::TempDir dir;
    const std::string mp3 =
        lvtest::makeMp3(dir.path().string(), "song", {"-b", "128"}, 44100, 2, 3.0);
    EXPECT_EQ(lv::SoundtrackSeconds(mp3), 3);
    EXPECT_EQ(lv::SoundtrackSeconds(""), std::nullopt);
    std::ofstream(dir.file("notes.txt")) << "not audio";
    EXPECT_EQ(lv::SoundtrackSeconds(dir.file("notes.txt")), std::nullopt);
}

TEST(RunHelpers, StartupLinesCaptionAndRememberedCodec) {
    lvtest::TempDir dir;
    lv::TKLog log(dir.file("Lumivane.log"), 10000, false);
    lv::LogStartup(log, "/opt/lumivane/lumivane", lv::ProgramCaption());
    const std::string caption = std::string("Lumivane v") + LUMIVANE_VERSION;
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"Info\t" + caption, "Info\t/opt/lumivane/lumivane",
                                        "Info\tStarting"}));
    EXPECT_EQ(std::count(caption.begin(), caption.end(), '.'), 3) << "four-part version";

    const std::vector<std::string> lines = {"DIB  Uncompressed", "MJPG Motion JPEG", "XVID Xvid"};
    lv::WriteRegString("LastFCC", "");
    EXPECT_EQ(lv::RememberedFourCC(lines), "XVID");
    lv::WriteRegString("LastFCC", "mjpg");
    EXPECT_EQ(lv::RememberedFourCC(lines), "MJPG");
    EXPECT_EQ(lv::RememberedFourCC({}), "");
    lv::WriteRegString("LastFCC", "");
}

TEST(RunHelpers, WindowArgumentsProjectTemplateAndQueries) {
    using A = lv::TWindowArguments::Action;
    const struct {
        std::vector<std::string> args;
        A action;
        const char* project;
        bool writeTemplate;
    } cases[] = {
        {{}, A::Open, "", false},
        {{"show.lmv"}, A::Open, "show.lmv", false},
        {{"-co", "show.lmv", "other.lmv"}, A::Open, "show.lmv", true},
        {{"/CO"}, A::Open, "", true},
        {{"show.lmv", "--version"}, A::Version, "", false},
        {{"-h"}, A::Help, "", false},
        {{"--help", "--version"}, A::Help, "", false},
        {{"--", "--help"}, A::Open, "--help", false},
        {{"--", "-co"}, A::Open, "-co", false},
    };
    for (const auto& c : cases) {
        const lv::TWindowArguments a = lv::ParseWindowArguments(c.args);
        const std::string trace = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(a.action, c.action) << trace;
        if (c.action == A::Open) {
            EXPECT_EQ(a.project, c.project) << trace;
            EXPECT_EQ(a.writeTemplate, c.writeTemplate) << trace;
        }
    }
    EXPECT_EQ(lv::VersionText("lumivane"), std::string("lumivane ") + LUMIVANE_VERSION);
}

TEST(RunHelpers, RelativePathsAreTakenAgainstTheirFolder) {
    EXPECT_EQ(lv::ResolvePath("/home/u/show/", "pics/a.jpg"), "/home/u/show/pics/a.jpg");
    EXPECT_EQ(lv::ResolvePath("/home/u/show/", "../song.mp3"), "/home/u/show/../song.mp3");
    EXPECT_EQ(lv::ResolvePath("/home/u/show/", "/abs/b.bmp"), "/abs/b.bmp");
    EXPECT_EQ(lv::ResolvePath("/home/u/show/", ""), "");
    EXPECT_EQ(lv::ResolvePath("", "a.jpg"), "a.jpg");

    // ".." goes where that names the same folder; through a link it stays.
    lvtest::TempDir dir;
    std::filesystem::create_directories(dir.path() / "deep/er");
    std::filesystem::create_directory_symlink(dir.path() / "deep/er", dir.path() / "link");
    const std::string base = dir.path().string() + "/show/";
    std::filesystem::create_directory(base);
    EXPECT_EQ(lv::ResolvePath(base, "../deep/./a.jpg"), dir.file("deep/a.jpg"));
    EXPECT_EQ(lv::ResolvePath(base, "../link/../a.jpg"), base + "../link/../a.jpg");
}

TEST(SlideshowRun, AnOutputNamingOneOfItsInputsIsRefusedBeforeAnythingIsWritten) {
    lvtest::TempDir dir;
    lvtest::savePicture(lvtest::detailedImage(64, 48), dir.file("a.jpg"), "JPG");
    std::ofstream(dir.file("song.mp3")) << "sound";
    std::ofstream(dir.file("show.lmv")) << "a.jpg\n";
    std::filesystem::create_symlink(dir.file("a.jpg"), dir.file("link.avi"));
    const auto pictureSize = lv::FileSize(dir.file("a.jpg"));

    lv::TPictureList pictures;
    pictures.Add(dir.file("a.jpg"));
    lv::TSlideshowRun run(pictures, nullptr);
    lv::TRunSettings s;
    s.FourCC = "DIB ";
    s.SoundtrackFile = dir.file("song.mp3");
    s.ProjectFile = dir.file("show.lmv");
    for (const std::string& out : {dir.file("link.avi"), dir.path().string() + "/./a.jpg",
                                   dir.file("song.mp3"), dir.file("show.lmv")}) {
        SCOPED_TRACE(out);
        s.OutputFile = out;
        try {
            run.Start(s);
            FAIL() << "started";
        } catch (const lv::Error& e) {
            EXPECT_NE(std::string(e.what()).find("one of the run's inputs"), std::string::npos);
        }
        EXPECT_FALSE(run.Running());
    }
    EXPECT_EQ(lv::FileSize(dir.file("a.jpg")), pictureSize);
    EXPECT_EQ(lv::FileSize(dir.file("song.mp3")), 5u);
}
