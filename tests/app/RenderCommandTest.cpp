#include "Common/PictureList.h"
#include "platform/Files.h"
#include "project/ProjectFile.h"
#include "support/Ffprobe.h"
#include "support/Pictures.h"
#include "support/Process.h"
#include "support/Sounds.h"
#include "support/TempDir.h"

#include <QImage>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

const std::string kRender = std::string(LUMIVANE_BINARY_DIR) + "/app/cli/lumivane-render";
const std::string kExample = std::string(LUMIVANE_SOURCE_DIR) + "/examples/example.lmv";

lvtest::ProcessResult render(std::vector<std::string> args) {
    return lvtest::runProcess(kRender, args);
}

} // namespace

TEST(RenderCommand, RendersTheExampleWithTheWindowsDefaultsAndWithOptions) {
    lvtest::TempDir dir;
    // Defaults: 640x480, 15 fps (frame time 66 ms), 3000 ms, cross-fade and caption on.
    const std::string out = dir.file("example.avi");
    auto r = render({kExample, "-o", out, "-c", "XVID", "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, out + "\n");
    auto streams = lvtest::probeStreams(out);
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].codecTagString, "XVID");
    EXPECT_EQ(streams[0].width, 640);
    EXPECT_EQ(streams[0].height, 480);
    EXPECT_EQ(streams[0].packets, 5 * 45 + 4 * 12);
    EXPECT_EQ(streams[0].frameRate, "500/33");
    EXPECT_EQ(lvtest::decodeErrors(out), "");

    // Pan on, 720x576 at 25 fps: N = 75, F = 18.
    const std::string pan = dir.file("pan.avi");
    r = render({kExample, "--output=" + pan, "-c", "FMP4", "-r", "720x576", "--dynamic", "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    streams = lvtest::probeStreams(pan);
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].codecTagString, "FMP4");
    EXPECT_EQ(streams[0].width, 720);
    EXPECT_EQ(streams[0].packets, 5 * 75 + 4 * 18);
    EXPECT_EQ(streams[0].frameRate, "25/1");

    // Single-frame mode: one frame per picture.
    const std::string single = dir.file("single.avi");
    r = render({kExample, "-o", single, "-c", "MJPG", "--single-frame", "-f", "1", "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Visual options disabled due to incompatible temporal settings"),
              std::string::npos);
    streams = lvtest::probeStreams(single);
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].packets, 5);
}

TEST(RenderCommand, FailuresExitNonZeroWithTheProgramsMessage) {
    lvtest::TempDir dir;
    std::ofstream(dir.file("empty.lmv")) << ";Sound=\r\n;Output=" << dir.file("x.avi") << "\r\n";
    std::ofstream(dir.file("noout.lmv")) << LUMIVANE_SOURCE_DIR << "/examples/landscape.jpg\r\n";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    } cases[] = {
        {{kExample, "--fps", "61"}, 2, "--fps must be within 1..60"},
        {{kExample, "--bogus"}, 2, "unknown option"},
        {{dir.file("empty.lmv")}, 1, "Empty picture list"},
        {{dir.file("noout.lmv")}, 1, "Invalid output file"},
        {{kExample, "-o", dir.file("q.avi"), "-c", "QQQQ"}, 1, "No compressor for QQQQ available"},
        {{kExample, "-o", "/no/such/folder/x.avi", "-c", "XVID"}, 1, "FileOpen failed. Err: $"},
        {{dir.file("missing.lmv")}, 1, "missing.lmv"},
        {{kExample, "-o", dir.file("s.avi"), "-s", dir.file("song.xyz")}, 1, "song.xyz"},
    };
    for (const auto& c : cases) {
        auto r = render(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.says << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

// Both programs answer --version and --help on the terminal, the window's before Qt would
// need a display; the help names every switch the program takes.
TEST(RenderCommand, BothProgramsTellTheirVersionAndUsageWithoutADisplay) {
    const std::string window = std::string(LUMIVANE_BINARY_DIR) + "/app/gui/lumivane";
    const std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    const std::string platform = getenv("QT_QPA_PLATFORM") ? getenv("QT_QPA_PLATFORM") : "";
    unsetenv("DISPLAY");
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    const struct {
        std::string program;
        std::string arg;
        std::vector<std::string> says; // the whole output for --version
    } cases[] = {
        {window, "--version", {"lumivane " LUMIVANE_VERSION "\n"}},
        {window, "--help", {"Usage: lumivane [-co] [PROJECT.lmv]", "-co ", "--version", "--help"}},
        {kRender, "--version", {"lumivane-render " LUMIVANE_VERSION "\n"}},
        {kRender, "-h", {"--version", "--list-codecs", "--frame N"}},
    };
    for (const auto& c : cases) {
        const auto r = lvtest::runProcess(c.program, {c.arg});
        EXPECT_EQ(r.exitCode, 0) << c.program << " " << c.arg << "\n" << r.err;
        if (c.arg == "--version")
            EXPECT_EQ(r.out, c.says[0]);
        else
            for (const std::string& text : c.says)
                EXPECT_NE(r.out.find(text), std::string::npos) << c.arg << " lacks " << text;
    }
    if (!display.empty())
        setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
}

// --frame N writes exactly frame N of the uncompressed video: on a pan, in a fade, with the
// caption; a frame past the end is refused.
TEST(RenderCommand, OneFrameAsPngIsTheFrameOfTheVideo) {
    lvtest::TempDir dir;
    const std::vector<std::string> common = {"-r", "160x120", "--dynamic", "-t", "3000", "-q"};
    auto args = [&](std::vector<std::string> a) {
        a.insert(a.begin(), kExample);
        a.insert(a.end(), common.begin(), common.end());
        return a;
    };
    ASSERT_EQ(render(args({"-o", dir.file("run.avi"), "-c", "DIB "})).exitCode, 0);
    for (const int n : {0, 40, 80, 92, 200}) { // 75 frames a picture, then an 18-frame fade
        SCOPED_TRACE(n);
        const std::string png = dir.file(std::to_string(n) + ".png");
        const auto r = render(args({"--frame", std::to_string(n), "-o", png}));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const QImage frame =
            QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
        const QImage video = lvtest::videoFrame(dir.file("run.avi"), n, 160, 120);
        ASSERT_FALSE(video.isNull());
        EXPECT_EQ(frame, video);
    }
    const auto past = render(args({"--frame", "100000", "-o", dir.file("x.png")}));
    EXPECT_EQ(past.exitCode, 1);
    EXPECT_NE(past.err.find("There is no frame 100000: the video has"), std::string::npos)
        << past.err;
    EXPECT_EQ(render({kExample, "--frame", "1"}).exitCode, 2);
}

// A pipe where a file is expected would block a read for good: each ends with a message.
TEST(RenderCommand, PipesInPlaceOfFilesEndWithAMessage) {
    lvtest::TempDir dir;
    for (const char* name : {"p.lmv", "s.mp3", "settings/Lumivane.ini"}) {
        std::filesystem::create_directories(std::filesystem::path(dir.file(name)).parent_path());
        ASSERT_EQ(::mkfifo(dir.file(name).c_str(), 0600), 0);
    }
    const std::string out = dir.file("o.avi");
    const struct {
        std::vector<std::string> args;
        bool fifoSettings;
        int exitCode;
        std::string says;
    } cases[] = {
        {{dir.file("p.lmv"), "-o", out}, false, 1, dir.file("p.lmv") + ": not a regular file"},
        {{kExample, "-o", out, "-s", dir.file("s.mp3")},
         false,
         1,
         "Cannot open soundtrack file " + dir.file("s.mp3") + ": not a regular file"},
        {{kExample, "-o", out, "-c", "DIB ", "-r", "64x48", "-t", "1000", "-q"}, true, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + (c.fifoSettings ? " with a pipe for settings" : ""));
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        if (c.fifoSettings)
            env.insert("LUMIVANE_SETTINGS_DIR", QString::fromStdString(dir.file("settings")));
        p.setProcessEnvironment(env);
        QStringList args;
        for (const auto& a : c.args)
            args << QString::fromStdString(a);
        p.start(QString::fromStdString(kRender), args);
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "still running after 30 s";
            continue;
        }
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_EQ(p.exitCode(), c.exitCode) << err;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        EXPECT_EQ(lv::FileExists(out), c.exitCode == 0);
    }
}

// Started with its standard streams closed, the renderer must not take a video for one.
TEST(RenderCommand, ClosedStandardStreamsNeverEndUpInTheVideo) {
    lvtest::TempDir dir;
    const std::string song =
        lvtest::makeMp3(dir.path().string(), "song", {"-b", "128"}, 44100, 2, 4.0);
    for (const bool sound : {false, true}) {
        SCOPED_TRACE(sound ? "with a soundtrack" : "without");
        const std::string out = dir.file(sound ? "b.avi" : "a.avi");
        std::vector<std::string> args = {"-c",    "exec \"$0\" \"$@\" <&- >&- 2>&-",
                                         kRender, kExample,
                                         "-o",    out,
                                         "-c",    "DIB ",
                                         "-r",    "64x48",
                                         "-t",    "1000"};
        if (sound)
            args.insert(args.end(), {"-s", song});
        const auto r = lvtest::runProcess("sh", args);
        EXPECT_EQ(r.exitCode, 0);
        std::string errors;
        const auto streams = lvtest::probeStreams(out, &errors);
        EXPECT_EQ(errors, "");
        ASSERT_EQ(streams.size(), sound ? 2u : 1u);
        EXPECT_EQ(lvtest::decodeErrors(out), "");
        EXPECT_FALSE(lv::FileExists(dir.file("temp.avi")));
    }
}

// The frames done according to the last progress line ("k/n frames"), 0 before any.
static int doneFrames(const QByteArray& err) {
    const int at = err.lastIndexOf(" frames");
    if (at < 0)
        return 0;
    const int slash = err.lastIndexOf('/', at);
    int start = slash;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(err[start - 1])))
        --start;
    return err.mid(start, slash - start).toInt();
}

TEST(RenderCommand, CtrlCAClosedTerminalOrAKillCancelAndLeaveAClosedVideo) {
    // SIGKILL cannot be handled: the headers written with the first frame keep the file
    // readable up to its last whole frame.
    for (const int signal : {SIGINT, SIGHUP, SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        lvtest::TempDir dir;
        const std::string out = dir.file("cut.avi");
        QProcess p;
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.setReadChannel(QProcess::StandardError);
        // Long enough to be interrupted: 60 s per picture at 60 fps. Small compressed frames
        // for the kill: every frame it has said is done must be on the disk.
        p.start(QString::fromStdString(kRender),
                {QString::fromStdString(kExample), "-o", QString::fromStdString(out), "-c",
                 signal == SIGKILL ? "FMP4" : "DIB ", "-t", "60000", "-f", "60"});
        ASSERT_TRUE(p.waitForStarted());
        // The first progress line comes with the first frame written.
        QByteArray err;
        int done = 0;
        while ((done = doneFrames(err)) < (signal == SIGKILL ? 30 : 1) && p.waitForReadyRead(20000))
            err += p.readAllStandardError();
        ASSERT_TRUE(err.contains("frames")) << err.toStdString();
        ::kill(pid_t(p.processId()), signal);
        ASSERT_TRUE(p.waitForFinished(60000));
        err += p.readAllStandardError();
        if (signal != SIGKILL) {
            EXPECT_EQ(p.exitCode(), 130) << err.toStdString();
            EXPECT_TRUE(err.contains("Aborted by user.")) << err.toStdString();
        }
        // A killed run leaves its data beside the name the video would have taken.
        const std::string left = signal == SIGKILL ? out + ".part" : out;
        EXPECT_EQ(lv::FileExists(out), signal != SIGKILL);
        auto streams = lvtest::probeStreams(left);
        ASSERT_EQ(streams.size(), 1u);
        EXPECT_GE(streams[0].packets, done);
        EXPECT_LT(streams[0].packets, 5 * 3600);
        EXPECT_EQ(lvtest::decodeErrors(left), "");
    }
}

TEST(RenderCommand, PrintsDurationsAndMatchesTheTimePerPictureToTheSoundtrack) {
    lvtest::TempDir dir;
    const std::string folder = dir.path().string();
    const std::string song = lvtest::makeMp3(folder, "song", {"-b", "128"}, 44100, 2, 26.0);
    auto r = render({"--duration", song});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "0:26\n");
    r = render({"--duration", dir.file("nothing.xyz")});
    EXPECT_EQ(r.exitCode, 1);

    // 26 s over 5 pictures with cross-fade: nearest(26000 / 6.5) = 4000 ms, so at 15 fps
    // N = nearest(4000 / 66) = 61 and F = 18.
    const std::string out = dir.file("matched.avi");
    r = render(
        {kExample, "-o", out, "-c", "MJPG", "-r", "320x240", "-s", song, "--match-audio", "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto streams = lvtest::probeStreams(out);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].packets, 5 * 61 + 4 * 18);
    EXPECT_EQ(streams[1].codecTag, "0x0055");

    // Too short a soundtrack for five pictures: the shortest time and the message.
    const std::string blip = lvtest::makeMp3(folder, "blip", {"-b", "128"}, 44100, 1, 0.3);
    r = render({kExample, "-o", dir.file("short.avi"), "-c", "MJPG", "-s", blip, "--match-audio",
                "-q", "--no-crossfade", "--no-caption"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Soundtrack too short or too many picture loaded. Using minimal "
                         "picture duration."),
              std::string::npos)
        << r.err;
}

TEST(RenderCommand, PathsWithSpacesQuotesAndAccentsSurviveProjectSoundLogAndTempName) {
    lvtest::TempDir dir;
    const std::string folder = dir.path().string() + "/Vidéos \"d'été\" #1/";
    std::filesystem::create_directory(folder);
    lv::TPictureList pictures;
    for (const auto& [from, to] : {std::pair{"landscape.jpg", "paysage d'été \"1\".jpg"},
                                   {"portrait.jpeg", "tour ü.jpeg"}}) {
        std::filesystem::copy_file(std::string(LUMIVANE_SOURCE_DIR) + "/examples/" + from,
                                   folder + to);
        pictures.Add(folder + to);
    }
    const std::string song = lvtest::makeMp3(folder, "chanson «é»", {"-b", "128"}, 44100, 2, 3.0);
    const std::string out = folder + "sortie 'été' «1».avi";
    const std::string project = lv::SaveProject(folder + "projet d'été", pictures, song, out);

    auto r = render({project, "-c", "MJPG", "-r", "320x240", "-t", "1000", "-q"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, out + "\n");
    auto streams = lvtest::probeStreams(out);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(lvtest::decodeErrors(out), "");
    // The picture track went through temp.avi in the same folder, which is gone again.
    EXPECT_FALSE(lv::FileExists(folder + "temp.avi"));
    // Nothing else is left: two pictures, the sound (WAV and MP3), the project, the video.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 6);
}
