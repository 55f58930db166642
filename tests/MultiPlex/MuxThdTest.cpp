#include "MultiPlex/MuxThd.h"
#include "MultiPlex/MP3FrameExtract.h"
#include "MultiPlex/TempVideo.h"

#include "MuxTestUtil.h"
#include "platform/AviFile.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

using lvtest::Bytes;

namespace {

bool haveTools() {
    return lvtest::haveProgram("ffmpeg") && lvtest::haveProgram("ffprobe") &&
           lvtest::haveProgram("lame");
}

// An MPEG-1 Layer III header in file order; mode 3 = single channel.
[[maybe_unused]] Bytes mp3Header(int bitrateIndex, int rateIndex, int mode = 0) {
    return {0xFF, 0xFB, std::uint8_t(bitrateIndex << 4 | rateIndex << 2), std::uint8_t(mode << 6)};
}

[[maybe_unused]] Bytes repeatFrame(const Bytes& header, int length, int count) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), length - 4, std::uint8_t(i));
    }
    return out;
}

// The samples of one stream of an AVI as our reader gives them.
std::vector<Bytes> readSamples(const std::string& path, std::uint32_t type,
                               std::vector<bool>* keys = nullptr) {
    std::vector<Bytes> samples;
    lv::PAVIFILE file;
    lv::PAVISTREAM stream;
    if (lv::AVIFileOpen(file, path, lv::OF_READ) != lv::AVIERR_OK ||
        lv::AVIFileGetStream(file, stream, type, 0) != lv::AVIERR_OK)
        return samples;
    const std::int32_t start = lv::AVIStreamStart(stream);
    for (std::int32_t i = start; i < start + lv::AVIStreamLength(stream); ++i) {
        std::int32_t bytes = 0;
        std::int32_t n = 0;
        EXPECT_EQ(lv::AVIStreamRead(stream, i, 1, nullptr, 0, &bytes, &n), lv::AVIERR_OK);
        Bytes sample(std::size_t(std::max(bytes, 1)));
        if (bytes > 0) {
            EXPECT_EQ(lv::AVIStreamRead(stream, i, 1, sample.data(), bytes, &bytes, &n),
                      lv::AVIERR_OK);
        }
        sample.resize(std::size_t(bytes));
        samples.push_back(std::move(sample));
        if (keys)
            keys->push_back(lv::AVIStreamFindSample(stream, i, lv::FIND_KEY) == i);
    }
    return samples;
}

} // namespace

TEST(MuxThd, RealSoundtracksAreCopiedFrameForFrame) {
    if (!haveTools())
        GTEST_SKIP() << "needs ffmpeg, ffprobe and lame";
    lvtest::TempDir dir;
    const std::string dibVideo = dir.file("dib.avi");
    lvtest::makeDibVideo(dibVideo, 40);
    // A compressed video with key and delta frames, written by another program.
    const std::string mpeg4Video = dir.file("mpeg4.avi");
    auto made = lvtest::runProcess(
        "ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-t", "2",
                   "-c:v", "mpeg4", "-g", "12", "-bf", "0", "-f", "avi", mpeg4Video});
    ASSERT_EQ(made.exitCode, 0) << made.err;

    struct Case {
        std::string name;
        std::vector<std::string> lameArgs;
        int rate;
        int channels;
        std::string video;
    };
    const std::vector<Case> cases = {
        {"cbr", {"--cbr", "-b", "128"}, 44100, 2, dibVideo},
        {"vbr", {"-V", "4"}, 44100, 2, mpeg4Video},
        {"mono22k", {"--cbr", "-b", "32", "-m", "m", "--resample", "22.05"}, 22050, 1, dibVideo},
        {"tagged",
         {"--cbr", "-b", "128", "--add-id3v2", "--pad-id3v2-size", "300", "--tt", "Title"},
         44100,
         2,
         mpeg4Video},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string mp3 =
            lvtest::makeMp3(dir.path().string(), c.name, c.lameArgs, c.rate, c.channels, 3.0);
        const Bytes soundtrack = lvtest::readAll(mp3);
        const Bytes frames = lvtest::withoutTags(soundtrack);
        if (c.name == "tagged") {
            // The fixture holds what it is meant to: tags at both ends.
            ASSERT_GT(soundtrack.size(), frames.size() + 300 + 128);
            ASSERT_EQ(std::memcmp(soundtrack.data(), "ID3", 3), 0);
        }
        const std::string out = dir.file(c.name + "-out.avi");
        const Bytes videoBefore = lvtest::readAll(c.video);

        lv::TMuxThd mux;
        mux.VideoFile = c.video;
        mux.AudioFile = mp3;
        mux.OutputFile = out;
        lvtest::MuxRecorder rec;
        rec.attach(mux);
        ASSERT_TRUE(lvtest::runToEnd(mux));
        ASSERT_FALSE(mux.Failed()) << mux.ErrorMessage();
        EXPECT_FALSE(mux.Aborted());
        EXPECT_FALSE(rec.calledOffMainThread);
        EXPECT_TRUE(rec.logged("Done"));
        EXPECT_EQ(lvtest::readAll(c.video), videoBefore);

        std::string errors;
        auto streams = lvtest::probeStreams(out, &errors);
        EXPECT_EQ(errors, "");
        ASSERT_EQ(streams.size(), 2u);
        auto source = lvtest::probeStreams(c.video);
        ASSERT_EQ(source.size(), 1u);
        EXPECT_EQ(streams[0].value("codec_type").toString(), "video");
        EXPECT_EQ(streams[0].value("codec_name"), source[0].value("codec_name"));
        EXPECT_EQ(streams[0].value("r_frame_rate"), source[0].value("r_frame_rate"));
        EXPECT_EQ(streams[0].value("nb_read_packets"), source[0].value("nb_read_packets"));
        EXPECT_EQ(streams[1].value("codec_type").toString(), "audio");
        EXPECT_EQ(streams[1].value("codec_name").toString(), "mp3");
        EXPECT_EQ(streams[1].value("codec_tag").toString(), "0x0055");
        EXPECT_EQ(streams[1].value("sample_rate").toString().toInt(), c.rate);
        EXPECT_EQ(streams[1].value("channels").toInt(), c.channels);

        auto decoded = lvtest::runProcess("ffmpeg", {"-v", "error", "-i", out, "-f", "null", "-"});
        EXPECT_EQ(decoded.exitCode, 0);
        EXPECT_EQ(decoded.err, "");

        // The audio stream is the soundtrack's frames, byte for byte, without the tags.
        const Bytes audio = lvtest::ffmpegCopyStream(
            out, "0:a", {"-f", "mp3", "-id3v2_version", "0", "-write_xing", "0"});
        EXPECT_EQ(audio.size(), frames.size());
        EXPECT_TRUE(audio == frames);
        // ... and one sample per frame the extractor lists.
        lv::TMP3FrameExtract listed(mp3);
        listed.Scan();
        auto samples = readSamples(out, lv::streamtypeAUDIO);
        ASSERT_EQ(int(samples.size()), listed.CompleteFrames());
        Bytes joined;
        for (std::size_t k = 0; k < samples.size(); ++k) {
            EXPECT_EQ(std::int64_t(samples[k].size()),
                      listed.FrameEnd(int(k)) - listed.FrameStart(int(k)));
            joined.insert(joined.end(), samples[k].begin(), samples[k].end());
        }
        EXPECT_TRUE(joined == frames);

        const double samplesPerFrame = c.rate < 32000 ? 576 : 1152;
        const double expected =
            lvtest::probeStreams(mp3).at(0).value("duration").toString().toDouble();
        const double got = streams[1].value("duration").toString().toDouble();
        EXPECT_LE(std::abs(got - expected), samplesPerFrame / c.rate + 1e-3)
            << got << " vs " << expected;

        // Every video packet, with its bytes and key flag, in its place.
        std::vector<bool> keysIn;
        std::vector<bool> keysOut;
        EXPECT_EQ(readSamples(out, lv::streamtypeVIDEO, &keysOut),
                  readSamples(c.video, lv::streamtypeVIDEO, &keysIn));
        EXPECT_EQ(keysOut, keysIn);
        EXPECT_EQ(lvtest::ffmpegCopyStream(out, "0:v", {"-f", "data"}),
                  lvtest::ffmpegCopyStream(c.video, "0:v", {"-f", "data"}));
    }
}
