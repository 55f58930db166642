// MPEG audio files made by real encoders (lame, ffmpeg's Layer II encoder): our duration
// must agree with ffprobe's.
#include "Audio/AudioFile.h"
#include "Audio/Mpeg/MpegAudioFile.h"

#include "AudioFixtures.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace lvtest;

struct EncodedCase {
    const char* name;
    double rateKhz;
    bool mono;
    std::vector<std::string> encoding; // lame options
    int expectedRate;
    int expectedVersion; // 1 MPEG-1, 2 MPEG-2, 25 MPEG-2.5
};

std::string khz(double rate) {
    char text[16];
    std::snprintf(text, sizeof text, "%g", rate);
    return text;
}

// Encodes 7.3 s of a sweeping tone with lame; empty string when lame fails.
std::string encodeWithLame(const TempDir& dir, const EncodedCase& c) {
    int rate = int(std::lround(c.rateKhz * 1000));
    std::string raw = dir.file("in.raw");
    writeFile(raw, tonePcm(rate, c.mono ? 1 : 2, 7.3));
    std::string out = dir.file(std::string(c.name) + ".mp3");
    std::vector<std::string> args = {"--quiet",    "-r",
                                     "-s",         khz(c.rateKhz),
                                     "--bitwidth", "16",
                                     "--signed",   "--little-endian",
                                     "-m",         c.mono ? "m" : "j"};
    args.insert(args.end(), c.encoding.begin(), c.encoding.end());
    args.push_back(raw);
    args.push_back(out);
    ProcessResult r = runProcess("lame", args);
    return r.exitCode == 0 ? out : std::string();
}

const std::vector<std::string> kId3v2 = {
    "--add-id3v2", "--pad-id3v2-size", "300", "--tt", "Lumivane test", "--ta", "Someone"};
const std::vector<std::string> kId3v1 = {"--id3v1-only", "--tt", "Lumivane test"};

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const EncodedCase kEncoded[] = {
    {"Cbr128_44k_Stereo", 44.1, false, {"--cbr", "-b", "128"}, 44100, 1},
    {"Cbr128_44k_Mono_Id3v2", 44.1, true, with({"--cbr", "-b", "128"}, kId3v2), 44100, 1},
    {"Cbr192_48k_Stereo_Id3v1", 48, false, with({"--cbr", "-b", "192"}, kId3v1), 48000, 1},
    {"Cbr96_32k_Mono", 32, true, {"--cbr", "-b", "96"}, 32000, 1},
    {"Vbr_44k_Stereo_Id3v2", 44.1, false, with({"-V", "2"}, kId3v2), 44100, 1},
    {"Vbr_48k_Mono_Id3v1", 48, true, with({"-V", "5"}, kId3v1), 48000, 1},
    {"Vbr_22k_Stereo", 22.05, false, {"-V", "4"}, 22050, 2},
    {"Cbr64_22k_Mono_Id3v2", 22.05, true, with({"--cbr", "-b", "64"}, kId3v2), 22050, 2},
    {"Cbr32_16k_Stereo_Id3v1", 16, false, with({"--cbr", "-b", "32"}, kId3v1), 16000, 2},
    {"Vbr_16k_Mono", 16, true, {"-V", "6"}, 16000, 2},
    {"Cbr32_11k_Stereo", 11.025, false, {"--cbr", "-b", "32"}, 11025, 25},
    {"Vbr_8k_Mono_Id3v2", 8, true, with({"-V", "5"}, kId3v2), 8000, 25},
};

class EncodedMp3 : public ::testing::TestWithParam<EncodedCase> {};

TEST_P(EncodedMp3, DurationAgreesWithFfprobe) {
    if (!haveProgram("lame") || !haveProgram("ffprobe"))
        GTEST_SKIP() << "lame and ffprobe are needed";
    const EncodedCase& c = GetParam();
    TempDir dir;
    std::string path = encodeWithLame(dir, c);
    ASSERT_FALSE(path.empty()) << "lame failed";
    double expected = ffprobeDuration(path);
    ASSERT_GT(expected, 7.0);

    lv::TAudioFile audio;
    audio.SetFileName(path);
    ASSERT_TRUE(audio.Open());
    auto* reader = dynamic_cast<lv::TMpegAudioFile*>(audio.Reader());
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->SampleRate(), c.expectedRate);
    EXPECT_EQ(reader->Channels(), c.mono ? 1 : 2);
    const lv::TMpegHeader& first = reader->Loader().FirstHeader();
    int version = first.IsMpeg25() ? 25 : first.VersionId() == 1 ? 1 : 2;
    EXPECT_EQ(version, c.expectedVersion);
    EXPECT_NEAR(double(audio.Duration()) * 86400, expected, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Lame, EncodedMp3, ::testing::ValuesIn(kEncoded),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EncodedMp3Pair, MonoAndStereoOfTheSameFramesHaveOneDuration) {
    if (!haveProgram("lame"))
        GTEST_SKIP() << "lame is needed";
    TempDir dir;
    for (double rate : {44.1, 22.05, 8.0}) {
        // Forced output rate: lame would otherwise resample stereo at this bitrate.
        std::vector<std::string> cbr = {"--cbr", "-b", "64", "--resample", khz(rate)};
        EncodedCase stereo{"Stereo", rate, false, cbr, 0, 0};
        EncodedCase mono{"Mono", rate, true, cbr, 0, 0};
        std::string stereoPath = encodeWithLame(dir, stereo);
        std::string monoPath = encodeWithLame(dir, mono);
        ASSERT_FALSE(stereoPath.empty() || monoPath.empty());
        lv::TMpegAudioFile s(stereoPath), m(monoPath);
        std::int64_t stereoSize = s.DataSize(), monoSize = m.DataSize();
        ASSERT_EQ(s.Loader().FrameCount(), m.Loader().FrameCount()) << rate << " kHz";
        EXPECT_GT(monoSize, 0);
        EXPECT_EQ(stereoSize, 2 * monoSize) << rate << " kHz";
        EXPECT_DOUBLE_EQ(s.Duration(), m.Duration()) << rate << " kHz";
    }
}

// Layer II at the lower sampling frequencies covers 1152 samples a frame, twice the time of
// an MPEG-1 frame at the matching rate.
TEST(EncodedMp2, LowerRateLayer2AgreesWithFfprobe) {
    if (!haveProgram("ffmpeg") || !haveProgram("ffprobe"))
        GTEST_SKIP() << "ffmpeg and ffprobe are needed";
    TempDir dir;
    for (const char* rate : {"22050", "24000", "16000", "48000"}) {
        std::string path = dir.file(std::string("tone") + rate + ".mp2");
        ProcessResult r = runProcess("ffmpeg", {"-v", "error", "-f", "lavfi", "-i",
                                                "sine=frequency=440:duration=6.5", "-ar", rate,
                                                "-c:a", "mp2", "-b:a", "64k", "-y", path});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        lv::TAudioFile audio;
        audio.SetFileName(path);
        ASSERT_TRUE(audio.Open());
        EXPECT_EQ(audio.Reader()->SampleRate(), std::stoi(rate));
        EXPECT_NEAR(double(audio.Duration()) * 86400, ffprobeDuration(path), 0.1) << rate;
    }
}

} // namespace
