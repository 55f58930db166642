#include "MultiPlex/Container.h"
#include "Common/BmpToAvi.h"
#include "MultiPlex/MP3FrameExtract.h"
#include "MultiPlex/MuxThd.h"

#include "MuxTestUtil.h"
#include "platform/Dib.h"
#include "platform/Files.h"
#include "support/Process.h"
#include "support/Sounds.h"
#include "support/TempDir.h"
#include "support/VideoPattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {

using lvtest::Bytes;

// A picture track as a run writes it: 64x48 at 25 fps, the pattern's frames.
void makeTrack(const std::string& path, const std::string& fourCC, int frames) {
    lv::TBmpToAvi w;
    w.Width = 64;
    w.Height = 48;
    w.FrameTime = 40;
    w.FileName = path;
    w.SetCodec(fourCC);
    w.Open();
    lv::TDib dib;
    for (int t = 0; t < frames; ++t) {
        lvtest::DrawPatternFrame(dib, 64, 48, t);
        w.AddFrame(dib);
    }
    w.Close();
}

// How far, in seconds, a packet's time lies behind one already stored earlier in the file:
// 0 for a file whose streams are interleaved in time order.
double interleavingLag(const std::string& file) {
    const auto r = lvtest::runProcess(
        "ffprobe", {"-v", "error", "-show_entries", "packet=dts_time,pos", "-of", "csv=p=0", file});
    std::vector<std::pair<long long, double>> packets; // position, time
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const auto comma = line.find(',');
        if (comma != std::string::npos)
            packets.emplace_back(std::stoll(line.substr(comma + 1)),
                                 std::stod(line.substr(0, comma)));
    }
    std::sort(packets.begin(), packets.end());
    double latest = 0, lag = 0;
    for (const auto& [pos, time] : packets) {
        lag = std::max(lag, latest - time);
        latest = std::max(latest, time);
    }
    return packets.empty() ? 1e9 : lag;
}

// The top-level boxes of an MP4 file, in order.
std::string topBoxes(const Bytes& mp4) {
    std::string boxes;
    for (std::size_t at = 0; at + 8 <= mp4.size();) {
        const std::uint64_t size =
            std::uint64_t(mp4[at]) << 24 | mp4[at + 1] << 16 | mp4[at + 2] << 8 | mp4[at + 3];
        boxes += std::string(mp4.begin() + std::ptrdiff_t(at + 4),
                             mp4.begin() + std::ptrdiff_t(at + 8)) +
                 " ";
        if (size < 8)
            break;
        at += size;
    }
    return boxes;
}

double formatDuration(const std::string& file) {
    const auto r = lvtest::runProcess(
        "ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", file});
    return r.out.empty() ? -1 : std::stod(r.out);
}

} // namespace

TEST(Container, FollowsTheNameAndTheMuxersSayWhatTheyHold) {
    const struct {
        const char* name;
        lv::TContainer container;
    } names[] = {{"/v/a.mp4", lv::TContainer::Mp4}, {"/v/a.MKV", lv::TContainer::Matroska},
                 {"/v/a.avi", lv::TContainer::Avi}, {"/v/a.mp4.avi", lv::TContainer::Avi},
                 {"/v.mp4/a", lv::TContainer::Avi}, {"a.Mp4", lv::TContainer::Mp4}};
    for (const auto& n : names)
        EXPECT_EQ(lv::ContainerOfFile(n.name), n.container) << n.name;

    // Every compressor goes into AVI; MP4 takes H.264 and MPEG-4 but no lossless RGB codec.
    for (const char* fourCC : {"XVID", "H264", "HFYU", "DIB "})
        EXPECT_TRUE(lv::ContainerHolds(lv::TContainer::Avi, fourCC)) << fourCC;
    EXPECT_FALSE(lv::ContainerHolds(lv::TContainer::Mp4, "HFYU"));
    EXPECT_FALSE(lv::ContainerHolds(lv::TContainer::Matroska, "DIB "));
    EXPECT_FALSE(lv::ContainerHolds(lv::TContainer::Mp4, "QQQQ"));
    const auto mp4 = lv::CompressorsHeldBy(lv::TContainer::Mp4);
    EXPECT_NE(std::find(mp4.begin(), mp4.end(), "XVID"), mp4.end());
    EXPECT_EQ(lv::ContainerRefusal(lv::TContainer::Mp4, "XVID"), "");
    const std::string refusal = lv::ContainerRefusal(lv::TContainer::Mp4, "HFYU");
    EXPECT_EQ(refusal.rfind("The MP4 format cannot hold the compressor HFYU; it takes XVID", 0), 0u)
        << refusal;
    if (lv::WebCompressor().empty())
        return;
    EXPECT_TRUE(lv::PlaysOnTheWeb(lv::TContainer::Mp4, "h264"));
    EXPECT_TRUE(lv::PlaysOnTheWeb(lv::TContainer::Matroska, "H264"));
    EXPECT_FALSE(lv::PlaysOnTheWeb(lv::TContainer::Mp4, "XVID"));
    EXPECT_FALSE(lv::PlaysOnTheWeb(lv::TContainer::Avi, "H264"));
}

// MP4 and Matroska, with and without a soundtrack: what players and the web rely on.
TEST(Container, PictureTrackAndSoundtrackAreCopiedInterleavedIntoMp4AndMatroska) {
    if (lv::WebCompressor().empty() || !lvtest::haveProgram("lame"))
        GTEST_SKIP() << "needs the H264 compressor and lame";
    lvtest::TempDir dir;
    const std::string track = dir.file("temp.avi");
    makeTrack(track, "H264", 150); // 6 s
    const Bytes trackBefore = lvtest::readAll(track);
    const std::string mp3 = lvtest::makeMp3(
        dir.path().string(), "song", {"-V", "4", "--add-id3v2", "--tt", "Title"}, 44100, 2, 4.0);
    lv::TMP3FrameExtract listed(mp3);
    listed.Scan();
    const Bytes soundtrack = lvtest::readAll(mp3);
    Bytes frames;
    for (int k = 0; k < listed.CompleteFrames(); ++k)
        frames.insert(frames.end(), soundtrack.begin() + listed.FrameStart(k),
                      soundtrack.begin() + listed.FrameEnd(k));

    for (const auto container : {lv::TContainer::Mp4, lv::TContainer::Matroska})
        for (const bool sound : {true, false}) {
            const std::string out =
                dir.file((sound ? "sound" : "silent") + lv::ContainerExtension(container));
            SCOPED_TRACE(out);
            lv::TMuxThd mux;
            mux.VideoFile = track;
            mux.AudioFile = sound ? mp3 : std::string();
            mux.OutputFile = out;
            mux.Container = container;
            ASSERT_TRUE(lvtest::runToEnd(mux));
            ASSERT_FALSE(mux.Failed()) << mux.ErrorMessage();
            EXPECT_FALSE(lv::FileExists(out + ".part"));
            EXPECT_TRUE(lvtest::readAll(track) == trackBefore);

            const auto warnings = lvtest::runProcess("ffprobe", {"-v", "warning", out});
            EXPECT_EQ(warnings.err.find("] "), std::string::npos) << warnings.err;
            auto streams = lvtest::probeStreams(out);
            ASSERT_EQ(streams.size(), sound ? 2u : 1u);
            EXPECT_EQ(streams[0].value("codec_name").toString(), "h264");
            EXPECT_EQ(streams[0].value("nb_read_packets").toString().toInt(), 150);
            EXPECT_NEAR(formatDuration(out), sound ? std::max(6.0, 4.0) : 6.0, 0.05);
            EXPECT_EQ(
                lvtest::runProcess("ffmpeg", {"-v", "error", "-i", out, "-f", "null", "-"}).err,
                "");
            EXPECT_LT(interleavingLag(out), 0.5);
            if (container == lv::TContainer::Mp4) {
                const std::string boxes = topBoxes(lvtest::readAll(out));
                EXPECT_LT(boxes.find("moov"), boxes.find("mdat")) << boxes;
            }
            if (!sound)
                continue;
            EXPECT_EQ(streams[1].value("codec_name").toString(), "mp3");
            EXPECT_EQ(mux.AudioFrames(), listed.CompleteFrames());
            EXPECT_EQ(streams[1].value("nb_read_packets").toString().toInt(),
                      listed.CompleteFrames());
            // The soundtrack's frames byte for byte, as the program itself listed them.
            EXPECT_TRUE(lvtest::ffmpegCopyStream(
                            out, "0:a", {"-f", "mp3", "-id3v2_version", "0", "-write_xing", "0"}) ==
                        frames);
        }
}

// A cut-short join leaves nothing of the output; a compressor MP4 cannot hold is refused.
TEST(Container, ACancelledJoinLeavesNoOutput) {
    lvtest::TempDir dir;
    const std::string track = dir.file("temp.avi");
    makeTrack(track, "XVID", 400);
    lv::TMuxThd mux;
    mux.VideoFile = track;
    mux.OutputFile = dir.file("show.mkv");
    mux.Container = lv::TContainer::Matroska;
    mux.OnProgress = [&](int position, int max, const std::string&) {
        if (max > 0 && position * 2 > max)
            mux.requestInterruption();
    };
    ASSERT_TRUE(lvtest::runToEnd(mux));
    EXPECT_TRUE(mux.Aborted());
    EXPECT_FALSE(mux.Failed());
    EXPECT_FALSE(lv::FileExists(mux.OutputFile) || lv::FileExists(mux.OutputFile + ".part"));
    EXPECT_TRUE(lv::FileExists(track));
}
