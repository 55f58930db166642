#include "app/run/SlideshowRun.h"
#include "Common/BmpToAvi.h"
#include "Common/PictureList.h"
#include "Common/VideoMakerThd.h"
#include "app/run/CodecChoice.h"
#include "app/run/RunSettings.h"
#include "log/KLog.h"
#include "platform/AviFile.h"
#include "platform/Errors.h"
#include "platform/Files.h"

#include "support/Ffprobe.h"
#include "support/Pictures.h"
#include "support/Sounds.h"
#include "support/TempDir.h"
#include "support/Threads.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace {

// Runs the event loop until the thread has finished (its termination handling included).
// Pictures a.jpg, b.bmp, ... in a folder.
struct Pictures {
    lvtest::TempDir dir;
    lv::TPictureList list;
    explicit Pictures(int count) {
        for (int i = 0; i < count; ++i) {
            const std::string name = std::string(1, char('a' + i)) + (i % 2 ? ".bmp" : ".jpg");
            lvtest::savePicture(lvtest::detailedImage(160 + 16 * i, 120), dir.file(name),
                                i % 2 ? "BMP" : "JPG");
            list.Add(dir.file(name));
        }
    }
};

struct VideoRun {
    lv::TBmpToAvi writer;
    lv::TVideoMakerThd thread;
    int progressCalls = 0;
    VideoRun(Pictures& p, const std::string& out, int fps, int timePerPicture, bool fade,
             bool single = false) {
        writer.Width = 64;
        writer.Height = 48;
        writer.FrameTime = 1000 / fps;
        writer.FileName = out;
        writer.SetCodec("DIB ");
        writer.Open();
        thread.Writer = &writer;
        thread.TimePerPicture = timePerPicture;
        thread.PicturePaths = &p.list.PicturePaths;
        thread.PictureTexts = &p.list.PictureTexts;
        thread.CrossFade = fade;
        thread.SingleFrame = single;
        thread.UpdateProgress = [this](const lv::TVideoMakerThd&) { ++progressCalls; };
    }
};

// Starts the run and waits for its end (two minutes at most); `afterStart` runs in between.
lv::TRunOutcome runToEnd(lv::TSlideshowRun& run, lv::TRunSettings s,
                         const std::function<void()>& afterStart = {}) {
    QEventLoop loop;
    lv::TRunOutcome outcome = lv::TRunOutcome::Failed;
    const auto c = QObject::connect(&run, &lv::TSlideshowRun::Finished, [&](lv::TRunOutcome o) {
        outcome = o;
        loop.quit();
    });
    run.Start(s);
    if (afterStart)
        afterStart();
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    if (run.Running())
        loop.exec();
    QObject::disconnect(c);
    return outcome;
}

// A quick uncompressed run: 64x48, 10 fps, 3000 ms a picture.
lv::TRunSettings smallRun(const std::string& output) {
    lv::TRunSettings s;
    s.FourCC = "DIB ";
    s.Resolution = "64x48";
    s.Fps = 10;
    s.TimePerPicture = 3000;
    s.OutputFile = output;
    return s;
}

long long videoPackets(const std::string& file) {
    auto streams = lvtest::probeStreams(file);
    return streams.empty() ? -1 : streams[0].packets;
}

} // namespace

TEST(VideoMakerThd, FramesPerPictureRoundsToEvenAndNeverGivesZero) {
    EXPECT_EQ(lv::TVideoMakerThd::FramesPerPicture(3000, 66, false), 45);
    EXPECT_EQ(lv::TVideoMakerThd::FramesPerPicture(3000, 40, false), 75);
    EXPECT_EQ(lv::TVideoMakerThd::FramesPerPicture(3000, 33, false), 91);
    EXPECT_EQ(lv::TVideoMakerThd::FramesPerPicture(100, 1000, false), 1);
    EXPECT_EQ(lv::TVideoMakerThd::FramesPerPicture(250, 100, false), 2); // 2.5 -> 2
    EXPECT_EQ(lv::TVideoMakerThd::FramesPerPicture(350, 100, false), 4); // 3.5 -> 4
    EXPECT_EQ(lv::TVideoMakerThd::FramesPerPicture(60000, 16, true), 1);
}

TEST(VideoMakerThd, WritesEveryFrameAndCountsThemAsTheServerDoes) {
    const struct {
        int pictures, fps, time;
        bool fade, single;
        int total;
    } cases[] = {
        {1, 15, 3000, true, false, 45},         // one picture: no fade
        {3, 10, 1000, true, false, 30},         // N = 10 < 20: F = 0
        {3, 15, 1000, true, false, 3 * 15 + 0}, // N = 15 (1000/66 = 15.15)
        {2, 10, 2000, true, false, 2 * 20 + 6}, // N = 20: F = 6
        {4, 5, 60000, true, true, 4},           // single frame
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.pictures) + " pictures, " + std::to_string(c.time) + " ms");
        Pictures p(c.pictures);
        const std::string out = p.dir.file("out.avi");
        VideoRun run(p, out, c.fps, c.time, c.fade, c.single);
        run.thread.start();
        lvtest::waitFinished(run.thread);
        EXPECT_EQ(run.thread.ErrorMessage(), "");
        EXPECT_EQ(run.thread.Total(), c.total);
        EXPECT_EQ(run.thread.Position(), 0);
        EXPECT_FALSE(run.thread.Aborted());
        EXPECT_EQ(run.progressCalls, c.total + 2);
        EXPECT_EQ(run.thread.Frame(), nullptr);
        EXPECT_EQ(videoPackets(out), c.total);
        EXPECT_EQ(lvtest::decodeErrors(out), "");
    }
}

TEST(VideoMakerThd, CancelBeforeTheFirstFrameClosesAnEmptyVideo) {
    Pictures p(2);
    const std::string out = p.dir.file("out.avi");
    VideoRun run(p, out, 15, 3000, true);
    // Cancel pressed while the progress bar is set up, before frame 0.
    run.thread.UpdateProgress = [&](const lv::TVideoMakerThd& t) {
        if (++run.progressCalls == 1)
            const_cast<lv::TVideoMakerThd&>(t).requestInterruption();
    };
    run.thread.start();
    lvtest::waitFinished(run.thread);
    EXPECT_TRUE(run.thread.Aborted());
    EXPECT_EQ(run.thread.Position(), 0);
    EXPECT_TRUE(run.writer.IsClosed());
    // Finished on disk: our reader opens it and finds the stream without a frame. (No frame
    // means no negotiated format, so players have nothing to show.)
    lv::PAVIFILE file;
    ASSERT_EQ(lv::AVIFileOpen(file, out, lv::OF_READ), lv::AVIERR_OK);
    lv::AVIFILEINFO info{};
    ASSERT_EQ(lv::AVIFileInfo(file, info), lv::AVIERR_OK);
    EXPECT_EQ(info.dwStreams, 1u);
    EXPECT_EQ(info.dwLength, 0u);
    lv::AVIFileRelease(file);
}

TEST(VideoMakerThd, AnUnreadablePictureStopsTheRunAfterTheLastGoodFrame) {
    Pictures p(3);
    std::filesystem::remove(p.dir.file("b.bmp")); // picture 1: frames 10..19 at N = 10
    const std::string out = p.dir.file("out.avi");
    VideoRun run(p, out, 10, 1000, false);
    run.thread.start();
    lvtest::waitFinished(run.thread);
    EXPECT_EQ(run.thread.Position(), 9);
    EXPECT_FALSE(run.thread.Aborted());
    EXPECT_NE(run.thread.ErrorMessage().find("b.bmp"), std::string::npos);
    // Abandoned: no half-made video under either name.
    EXPECT_FALSE(run.writer.IsOpen());
    EXPECT_FALSE(lv::FileExists(out) || lv::FileExists(out + ".part"));

    // The first picture unreadable: nothing written, Position 0.
    Pictures q(2);
    std::filesystem::remove(q.dir.file("a.jpg"));
    VideoRun first(q, q.dir.file("out.avi"), 10, 1000, false);
    first.thread.start();
    lvtest::waitFinished(first.thread);
    EXPECT_EQ(first.thread.Position(), 0);
    EXPECT_NE(first.thread.ErrorMessage(), "");
}

TEST(RunSettings, ResolutionTextAndTheTimingRule) {
    EXPECT_EQ(lv::ParseResolution("720x576").Width, 720);
    EXPECT_EQ(lv::ParseResolution("720x576").Height, 576);
    EXPECT_EQ(lv::ParseResolution("1024x768").Width, 1024);
    EXPECT_EQ(lv::ParseResolution("wide x768").Width, 640);
    EXPECT_EQ(lv::ParseResolution("wide x768").Height, 768);
    EXPECT_EQ(lv::ParseResolution("800xtall").Height, 480);
    EXPECT_EQ(lv::ParseResolution("800").Width, 640);

    lv::TRunSettings s;
    s.Fps = 15;
    s.TimePerPicture = 1900; // 28.5 frames' worth
    s.DynamicPictures = true;
    EXPECT_TRUE(lv::ApplyVisualOptionsRule(s));
    EXPECT_FALSE(s.DynamicPictures || s.CrossFade || s.TextOverlay);
    s.TimePerPicture = 2000; // exactly 30
    s.CrossFade = true;
    EXPECT_FALSE(lv::ApplyVisualOptionsRule(s));
    EXPECT_TRUE(s.CrossFade);
    s.TimePerPicture = 100;
    s.CrossFade = false;
    EXPECT_FALSE(lv::ApplyVisualOptionsRule(s)) << "nothing to switch off, no message";
    EXPECT_EQ(lv::RoundSpinValue(2.5), 2);
    EXPECT_EQ(lv::RoundSpinValue(3.5), 4);

    EXPECT_EQ(lv::ResolutionItems()[lv::kDefaultResolution], "640x480");
    EXPECT_EQ(lv::ResolutionItems(),
              (std::vector<std::string>{"320x240", "640x480", "720x576", "1280x720", "1920x1080",
                                        "3840x2160", "1080x1920"}));
    EXPECT_EQ(lv::ParseResolution(lv::ResolutionItems().back()).Height, 1920);
    // The chosen filter's extension is added unless the name ends in a written container's.
    const struct {
        const char *chosen, *filter, *output;
    } names[] = {{"/v/show", ".avi", "/v/show.avi"},
                 {"/v/show.avi", ".avi", "/v/show.avi"},
                 {"/v/show.AVI", ".avi", "/v/show.AVI.avi"},
                 {"/v/show", ".mp4", "/v/show.mp4"},
                 {"/v/show.mkv", ".mp4", "/v/show.mkv"},
                 {"/v/show.MP4", ".mp4", "/v/show.MP4.mp4"},
                 {"/v/a.b", ".mkv", "/v/a.b.mkv"}};
    for (const auto& n : names)
        EXPECT_EQ(lv::OutputFileName(n.chosen, n.filter), n.output) << n.chosen << n.filter;
}

TEST(CodecChoice, RememberedFourCCPicksItsLineWhateverTheCase) {
    const std::vector<std::string> lines = {"DIB  Uncompressed", "FMP4 MPEG-4", "XVID Xvid"};
    EXPECT_EQ(lv::SelectCodecLine(lines, ""), 2);
    EXPECT_EQ(lv::SelectCodecLine(lines, "fmp4"), 1);
    EXPECT_EQ(lv::SelectCodecLine(lines, "QQQQ"), 0);
    EXPECT_EQ(lv::SelectCodecLine({}, "xvid"), -1);
    EXPECT_EQ(lv::FourCCOfLine(lines[0]), "DIB ");
}

TEST(SlideshowRun, RefusesBadInputAndLogsTheSettingsOfARunInOrder) {
    Pictures p(2);
    lv::TKLog log(p.dir.file("Lumivane.log"), 10000, false);
    lv::TSlideshowRun run(p.list, &log);
    lv::TRunSettings s;
    s.FourCC = "DIB ";
    s.Fps = 15;
    s.TimePerPicture = 1900;
    s.Resolution = "320x240";
    s.DynamicPictures = true;

    lv::TPictureList none;
    lv::TSlideshowRun empty(none, &log);
    s.OutputFile = p.dir.file("out.avi");
    try {
        empty.Start(s);
        FAIL();
    } catch (const lv::Error& e) {
        EXPECT_STREQ(e.what(), "Empty picture list");
    }
    s.OutputFile.clear();
    try {
        run.Start(s);
        FAIL();
    } catch (const lv::Error& e) {
        EXPECT_STREQ(e.what(), "Invalid output file");
    }
    EXPECT_TRUE(log.Lines().empty());

    QStringList notices;
    QObject::connect(&run, &lv::TSlideshowRun::Notice, [&](const QString& m) { notices << m; });
    lv::TRunOutcome outcome = lv::TRunOutcome::Failed;
    bool finished = false;
    QEventLoop loop;
    QObject::connect(&run, &lv::TSlideshowRun::Finished, [&](lv::TRunOutcome o) {
        outcome = o;
        finished = true;
        loop.quit();
    });
    s.OutputFile = p.dir.file("out.avi");
    run.Start(s);
    EXPECT_EQ(notices,
              QStringList{"Visual options disabled due to incompatible temporal settings"});
    EXPECT_FALSE(s.DynamicPictures);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit); // a run that never ends fails
    if (!finished)
        loop.exec();
    EXPECT_EQ(outcome, lv::TRunOutcome::Done);

    const std::vector<std::string> expected = {"Info\tStart Encoding",
                                               "Info\tResolution : 320x240",
                                               "Info\tFPS : 15",
                                               "Info\tTime per Picture : 1900 ms",
                                               "Info\tFCC : DIB ",
                                               "Info\tOSD : No",
                                               "Info\tDynamic Pictures : No",
                                               "Info\tXFade : No",
                                               "Info\tSingle Frame mode : No"};
    auto lines = log.Lines(); // newest first
    ASSERT_EQ(lines.size(), expected.size());
    std::reverse(lines.begin(), lines.end());
    EXPECT_EQ(lines, expected);
    auto streams = lvtest::probeStreams(s.OutputFile);
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].packets, 2 * 29); // N = nearest(1900 / 66)
}

TEST(VideoMakerThd, ComposingAheadWritesTheSameFileAsTheSequentialLoop) {
    Pictures p(3);
    std::string files[2];
    for (int pipelined = 0; pipelined < 2; ++pipelined) {
        files[pipelined] = p.dir.file("out" + std::to_string(pipelined) + ".avi");
        VideoRun run(p, files[pipelined], 10, 3000, true);
        run.thread.DynamicPictures = run.thread.TextOverlay = true;
        run.thread.Pipelined = pipelined == 1;
        run.thread.start();
        lvtest::waitFinished(run.thread);
        ASSERT_EQ(run.thread.ErrorMessage(), "");
    }
    std::ifstream a(files[0], std::ios::binary), b(files[1], std::ios::binary);
    const std::string bytesA((std::istreambuf_iterator<char>(a)), {});
    const std::string bytesB((std::istreambuf_iterator<char>(b)), {});
    EXPECT_GT(bytesA.size(), 64u * 48 * 3 * 90);
    EXPECT_TRUE(bytesA == bytesB) << "uncompressed frames differ";
}

TEST(SlideshowRun, ASoundtrackIsJoinedThroughAFreeTempNameThatIsRemovedAfterwards) {
    Pictures p(2);
    const std::string mp3 =
        lvtest::makeMp3(p.dir.path().string(), "song", {"-b", "128"}, 44100, 2, 2.0);
    // A file of the user's already called temp.avi must survive the run.
    std::ofstream(p.dir.file("temp.avi")) << "the user's own file";
    lv::TSlideshowRun run(p.list, nullptr);
    lv::TRunSettings s;
    s.FourCC = "MJPG";
    s.Resolution = "320x240";
    s.Fps = 10;
    s.TimePerPicture = 3000;
    s.OutputFile = p.dir.file("show.avi");
    s.SoundtrackFile = mp3;
    QStringList statuses, phases;
    QObject::connect(&run, &lv::TSlideshowRun::StatusChanged,
                     [&](const QString& st) { statuses << st; });
    QObject::connect(&run, &lv::TSlideshowRun::MuxProgress, [&](int, int, const QString& text) {
        if (!text.isEmpty() && (phases.isEmpty() || phases.back() != text))
            phases << text;
    });
    std::vector<lv::TRunPhase> runPhases;
    QObject::connect(&run, &lv::TSlideshowRun::PhaseChanged,
                     [&](lv::TRunPhase ph) { runPhases.push_back(ph); });
    QEventLoop loop;
    lv::TRunOutcome outcome = lv::TRunOutcome::Failed;
    QStringList statusesAtFinish;
    QObject::connect(&run, &lv::TSlideshowRun::Finished, [&](lv::TRunOutcome o) {
        outcome = o;
        statusesAtFinish = statuses;
        loop.quit();
    });
    run.Start(s);
    EXPECT_EQ(run.Phase(), lv::TRunPhase::Video);
    EXPECT_EQ(run.OutputFile(), s.OutputFile);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit); // a run that never ends fails
    loop.exec();
    EXPECT_EQ(runPhases, (std::vector<lv::TRunPhase>{lv::TRunPhase::Video, lv::TRunPhase::Audio,
                                                     lv::TRunPhase::Idle}));
    EXPECT_EQ(statusesAtFinish, (QStringList{"Processing Video", "Processing Audio", ""}))
        << "after a join the status is cleared before the done step";
    ASSERT_EQ(outcome, lv::TRunOutcome::Done)
        << run.Message().toStdString() << " " << run.Detail().toStdString();
    EXPECT_EQ(run.TempFile(), p.dir.file("temp-1.avi"));
    EXPECT_FALSE(lv::FileExists(p.dir.file("temp-1.avi")));
    std::ifstream kept(p.dir.file("temp.avi"));
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), {}), "the user's own file");
    EXPECT_EQ(statuses, (QStringList{"Processing Video", "Processing Audio", ""}));
    EXPECT_TRUE(phases.contains("Adding Audio Stream")) << phases.join(",").toStdString();

    auto streams = lvtest::probeStreams(s.OutputFile);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].codecType, "video");
    EXPECT_EQ(streams[0].packets, 2 * 30 + 6); // N = 30 (3000 / 100), F = 6
    EXPECT_EQ(streams[1].codecType, "audio");
    EXPECT_EQ(streams[1].codecTag, "0x0055");
    EXPECT_EQ(streams[1].sampleRate, 44100);
    EXPECT_EQ(streams[1].channels, 2);
    EXPECT_EQ(lvtest::decodeErrors(s.OutputFile), "");
}

TEST(VideoMakerThd, DestroyingARunningThreadStopsItWithoutAnEventLoop) {
    Pictures p(2);
    auto run = std::make_unique<VideoRun>(p, p.dir.file("out.avi"), 60, 60000, true);
    std::atomic<int> calls{0};
    run->thread.UpdateProgress = [&](const lv::TVideoMakerThd&) { ++calls; };
    run->thread.start();
    // Let it block on a progress call that this thread never serves.
    QThread::msleep(200);
    run.reset();
    EXPECT_LE(calls.load(), 1);
}

TEST(SlideshowRun, AFullDiskInEitherStepKeepsTheEarlierVideoAndLeavesNothingBroken) {
    Pictures p(2);
    lv::TSlideshowRun run(p.list, nullptr);
    lv::TRunSettings s = smallRun(p.dir.file("show.avi"));
    s.SoundtrackFile = lvtest::makeMp3(p.dir.path().string(), "song", {"-b", "128"}, 44100, 2, 6.0);
    // A file-size limit stands in for a full disk: writes past it fail with EFBIG.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto capAt = [&](std::int64_t bytes) {
        rlimit capped = old;
        capped.rlim_cur = rlim_t(bytes);
        setrlimit(RLIMIT_FSIZE, &capped);
    };
    for (const bool inJoin : {false, true}) {
        SCOPED_TRACE(inJoin ? "join" : "picture track");
        std::ofstream(s.OutputFile) << "an earlier video";
        // The picture track is about 630 KB; the join adds 100 KB of sound to it.
        auto c = QObject::connect(&run, &lv::TSlideshowRun::PhaseChanged, [&](lv::TRunPhase ph) {
            if (ph == lv::TRunPhase::Audio && inJoin)
                capAt(lv::FileSize(run.TempFile()));
        });
        if (!inJoin)
            capAt(200000);
        const lv::TRunOutcome outcome = runToEnd(run, s);
        setrlimit(RLIMIT_FSIZE, &old);
        QObject::disconnect(c);
        EXPECT_EQ(outcome, lv::TRunOutcome::Failed);
        const std::string said = (run.Message() + " " + run.Detail()).toStdString();
        EXPECT_NE(said.find("File too large"), std::string::npos) << said;
        std::ifstream earlier(s.OutputFile);
        EXPECT_TRUE(std::string((std::istreambuf_iterator<char>(earlier)), {}) ==
                    "an earlier video");
        EXPECT_FALSE(lv::FileExists(s.OutputFile + ".part"));
        // The picture track is the only copy of the video after a failed join, else gone.
        EXPECT_EQ(lv::FileExists(run.TempFile()), inJoin);
        EXPECT_FALSE(lv::FileExists(run.TempFile() + ".part"));
        if (inJoin) {
            EXPECT_GT(videoPackets(run.TempFile()), 60);
            EXPECT_EQ(lvtest::decodeErrors(run.TempFile()), "");
        }
    }
    std::signal(SIGXFSZ, oldHandler);
}

TEST(SlideshowRun, AnOutputFolderRemovedMidRunFailsWithTheReason) {
    Pictures p(2);
    lv::TSlideshowRun run(p.list, nullptr);
    const std::string folder = p.dir.file("videos");
    std::filesystem::create_directory(folder);
    lv::TRunSettings s = smallRun(folder + "/show.avi");
    QObject::connect(&run, &lv::TSlideshowRun::VideoProgress,
                     [&] { std::filesystem::remove_all(folder); });
    EXPECT_EQ(runToEnd(run, s), lv::TRunOutcome::Failed);
    EXPECT_EQ(run.Detail().toStdString(), "FileRelease failed. Err: $8004406E. No such file or "
                                          "directory: \"" +
                                              s.OutputFile + "\"");
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(SlideshowRun, AFailedRunTellsWhichCheckFailed) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    Pictures p(2);
    lv::TSlideshowRun run(p.list, nullptr);
    lv::TRunSettings s = smallRun("/dev/full");
    s.Resolution = "320x240";
    s.TimePerPicture = 1000;
    // The file opens, but its first frame cannot be written.
    EXPECT_EQ(runToEnd(run, s), lv::TRunOutcome::Failed);
    EXPECT_EQ(run.Detail().toStdString(),
              "StreamWrite failed. Err: $8004406E. No space left on device: \"/dev/full\"");
    EXPECT_EQ(run.Location().toStdString(), "U_BmpToAvi, line 173");

    // A picture that cannot be loaded is no failed check: no location, none left over. The
    // frames made before it are dropped, and an earlier video of the output's name is kept.
    std::filesystem::remove(p.dir.file("b.bmp"));
    s.OutputFile = p.dir.file("out.avi");
    std::ofstream(s.OutputFile) << "an earlier video";
    EXPECT_EQ(runToEnd(run, s), lv::TRunOutcome::Failed);
    EXPECT_EQ(run.Detail().toStdString(),
              "Cannot open picture file " + p.dir.file("b.bmp") + ": No such file or directory");
    EXPECT_EQ(run.Location().toStdString(), "");
    EXPECT_EQ(lv::FileSize(s.OutputFile), 16);
    EXPECT_FALSE(lv::FileExists(s.OutputFile + ".part"));

    // Nor is a pipe put in a picture's place, which would block the run for good.
    ASSERT_EQ(::mkfifo(p.dir.file("b.bmp").c_str(), 0600), 0);
    EXPECT_EQ(runToEnd(run, s), lv::TRunOutcome::Failed);
    EXPECT_EQ(run.Detail().toStdString(),
              "Cannot open picture file " + p.dir.file("b.bmp") + ": not a regular file");
}

// A stopped run never replaces an earlier video of the output's name: what it made goes
// beside it, and a join cut short never takes the name at all.
TEST(SlideshowRun, ACancelNeverReplacesAnEarlierVideoAndSaysWhereEachIs) {
    enum Stage { MidTrack, AfterLastFrame, DuringJoin };
    const struct {
        Stage stage;
        bool sound, earlier;
    } cases[] = {
        {MidTrack, false, true},      {MidTrack, false, false},      {MidTrack, true, true},
        {AfterLastFrame, true, true}, {AfterLastFrame, true, false}, {DuringJoin, true, true},
        {DuringJoin, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.stage) + (c.sound ? " sound" : "") +
                     (c.earlier ? " earlier" : ""));
        Pictures p(2);
        lv::TSlideshowRun run(p.list, nullptr);
        lv::TRunSettings s = smallRun(p.dir.file("show.avi"));
        if (c.sound)
            s.SoundtrackFile =
                lvtest::makeMp3(p.dir.path().string(), "song", {"-b", "128"}, 44100, 2, 2.0);
        if (c.earlier)
            std::ofstream(s.OutputFile) << "an earlier video";
        bool framesSeen = false;
        QObject::connect(&run, &lv::TSlideshowRun::VideoProgress, [&](int position, int) {
            // The last call comes once the picture track is closed, before its end is handled.
            if ((c.stage == AfterLastFrame && framesSeen && position == 0) ||
                (c.stage == MidTrack && position == 5))
                run.Cancel();
            framesSeen = framesSeen || position > 0;
        });
        QObject::connect(&run, &lv::TSlideshowRun::MuxProgress, [&](int, int, const QString&) {
            if (c.stage == DuringJoin)
                run.Cancel();
        });
        EXPECT_EQ(runToEnd(run, s), lv::TRunOutcome::Aborted);
        EXPECT_FALSE(run.Running());
        const std::string aside = p.dir.file("show.partial.avi");
        std::string kept = c.earlier ? aside : s.OutputFile;
        std::string detail = c.earlier ? "The video made so far is kept in " + aside + "; " +
                                             s.OutputFile + " is as it was."
                                       : "";
        if (c.stage == AfterLastFrame)
            detail = c.earlier ? "The video, without its soundtrack, is kept in " + aside + "; " +
                                     s.OutputFile + " is as it was."
                               : "The video has no soundtrack: " + s.OutputFile;
        if (c.stage == DuringJoin) {
            kept = run.TempFile();
            detail = "The video without its soundtrack is kept in " + kept;
            EXPECT_EQ(lv::FileExists(s.OutputFile), c.earlier);
        }
        EXPECT_EQ(run.Detail().toStdString(), detail);
        EXPECT_EQ(lvtest::probeStreams(kept).size(), 1u);
        EXPECT_EQ(lvtest::decodeErrors(kept), "");
        if (c.earlier) {
            std::ifstream earlier(s.OutputFile);
            EXPECT_EQ(std::string((std::istreambuf_iterator<char>(earlier)), {}),
                      "an earlier video");
        }
        EXPECT_FALSE(lv::FileExists(s.OutputFile + ".part"));
        EXPECT_EQ(lv::FileExists(aside), c.earlier && c.stage != DuringJoin);
    }
}

TEST(SlideshowRun, AVideoWithoutSoundIsDeliveredAndSaysWhy) {
    for (const bool gone : {false, true}) {
        SCOPED_TRACE(gone ? "soundtrack deleted" : "no MPEG audio in it");
        Pictures p(2);
        const std::string sound = p.dir.file("silence.mp3");
        std::ofstream(sound, std::ios::binary) << std::string(10000, '\0');
        lv::TSlideshowRun run(p.list, nullptr);
        lv::TRunSettings s = smallRun(p.dir.file("show.avi"));
        s.SoundtrackFile = sound;
        EXPECT_EQ(runToEnd(run, s,
                           [&] {
                               if (gone)
                                   std::filesystem::remove(sound);
                           }),
                  lv::TRunOutcome::Done);
        EXPECT_EQ(run.Detail().toStdString(),
                  gone ? "The video has no sound: the soundtrack " + sound + " is gone."
                       : "The video has no sound: no MPEG audio frame was found in " + sound + ".");
        const auto streams = lvtest::probeStreams(s.OutputFile);
        ASSERT_EQ(streams.size(), 1u);
        EXPECT_EQ(streams[0].codecType, "video");
    }
}

// MP4 and Matroska: a compressor the container cannot hold is refused before anything is
// written; a last step that fails keeps the picture track and says where; a cancel never
// gives an AVI the output's name.
TEST(SlideshowRun, ContainerRunsRefuseEarlyAndKeepThePictureTrack) {
    Pictures p(2);
    lv::TSlideshowRun run(p.list, nullptr);
    lv::TRunSettings s = smallRun(p.dir.file("show.mp4"));
    s.FourCC = "HFYU";
    try {
        runToEnd(run, s);
        ADD_FAILURE() << "started";
    } catch (const lv::Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("The MP4 format cannot hold the compressor HFYU", 0),
                  0u)
            << e.what();
    }
    EXPECT_FALSE(lv::FileExists(p.dir.file("temp.avi")) || lv::FileExists(s.OutputFile));

    // A folder where the file should go: the join fails, the track stays as AVI.
    s.FourCC = "XVID";
    s.OutputFile = p.dir.file("taken.mkv");
    std::filesystem::create_directory(s.OutputFile);
    EXPECT_EQ(runToEnd(run, s), lv::TRunOutcome::Failed);
    EXPECT_EQ(run.Detail().toStdString(), "The video is kept as AVI in " + p.dir.file("temp.avi"));
    EXPECT_EQ(videoPackets(p.dir.file("temp.avi")), 66); // two pictures and a fade

    // Stopped mid-track: the track stays in its own name, no MP4 is made.
    s.OutputFile = p.dir.file("stopped.mp4");
    QObject::connect(&run, &lv::TSlideshowRun::VideoProgress, [&](int position, int) {
        if (position == 5)
            run.Cancel();
    });
    EXPECT_EQ(runToEnd(run, s), lv::TRunOutcome::Aborted);
    EXPECT_EQ(run.Detail().toStdString(),
              "The video is kept as AVI in " + p.dir.file("temp-1.avi"));
    EXPECT_FALSE(lv::FileExists(s.OutputFile));
    EXPECT_GT(videoPackets(p.dir.file("temp-1.avi")), 0);
}
