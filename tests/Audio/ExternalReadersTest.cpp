// Readers behind run-time loaded decoder libraries, on files made by real encoders: the
// facade's duration agrees with ffprobe (Musepack: with the encoder's input), formats are
// right, and each reader's refusals carry their messages.
#include "Audio/Ac3File.h"
#include "Audio/AudioFile.h"
#include "Audio/CallbackSource.h"
#include "Audio/DecoderLibraries.h"
#include "Audio/MPC/MpcFile.h"
#include "Audio/Monkey/ApeFile.h"
#include "Audio/Ogg/OggFile.h"
#include "Audio/Wma/WMAAudioFile.h"
#include "platform/Errors.h"

#include "AudioFixtures.h"
#include "ExternalFixtures.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <thread>

namespace {

using namespace lvtest;

bool haveTools() {
    return haveProgram("ffmpeg") && haveProgram("ffprobe") && haveProgram("mpcenc");
}

// The message of the Error that opening `path` through the facade raises; "" when it opens.
std::string refusalOf(const std::string& path) {
    lv::TAudioFile audio;
    audio.SetFileName(path);
    try {
        audio.Open();
    } catch (const lv::Error& e) {
        EXPECT_FALSE(audio.IsOpen()) << path;
        return e.what();
    }
    return {};
}

double facadeSeconds(const std::string& path) {
    lv::TAudioFile audio;
    audio.SetFileName(path);
    return double(audio.Duration() * 86400);
}

std::vector<std::string> sine(double seconds, int rate, int channels) {
    return {"-f",  "lavfi",
            "-i",  "sine=frequency=440:duration=" + std::to_string(seconds),
            "-ar", std::to_string(rate),
            "-ac", std::to_string(channels)};
}

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct RealCase {
    const char* name;
    const char* extension;
    std::vector<std::string> ffmpeg; // empty: a WAV encoded by mpcenc
    double seconds;
    int rate;
    int channels;
    lv::TAudioKind kind;
};

void PrintTo(const RealCase& c, std::ostream* os) {
    *os << c.name;
}

// Makes the case's file in dir; its path, or "" when the encoder failed.
std::string makeReal(const TempDir& dir, const RealCase& c) {
    std::string out = dir.file(std::string(c.name) + c.extension);
    if (!c.ffmpeg.empty())
        return ffmpegMake(with(sine(c.seconds, c.rate, c.channels), c.ffmpeg), out) ? out : "";
    std::string wav = dir.file(std::string(c.name) + ".wav");
    writeToneWav(wav, c.rate, c.channels, c.seconds);
    return mpcencMake(wav, out) ? out : "";
}

const RealCase kRealCases[] = {
    {"OggMono44k", ".ogg", {"-c:a", "libvorbis"}, 3, 44100, 1, lv::akOgg},
    {"OggStereo48k", ".ogg", {"-c:a", "libvorbis"}, 2.5, 48000, 2, lv::akOgg},
    {"WmaV2Stereo44k", ".wma", {"-c:a", "wmav2"}, 3, 44100, 2, lv::akWma},
    {"WmaV1Mono22k", ".asf", {"-c:a", "wmav1"}, 4, 22050, 1, lv::akWma},
    {"Ac3Stereo48k", ".ac3", {"-c:a", "ac3"}, 3, 48000, 2, lv::akAc3},
    {"Ac3Surround48k", ".ac3", {"-c:a", "ac3"}, 3, 48000, 6, lv::akAc3},
    {"Ac3Stereo44k", ".ac3", {"-c:a", "ac3", "-b:a", "192k"}, 2, 44100, 2, lv::akAc3},
    {"Ac3Mono32k", ".ac3", {"-c:a", "ac3", "-b:a", "96k"}, 3.5, 32000, 1, lv::akAc3},
    {"MpcStereo44k", ".mpc", {}, 3, 44100, 2, lv::akMpc},
    {"MpcMono48k", ".mpc", {}, 2.2, 48000, 1, lv::akMpc},
};

class RealFile : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealFile, DurationAndFormatAgreeWithTheEncoder) {
    if (!haveTools())
        GTEST_SKIP() << "ffmpeg, ffprobe and mpcenc are needed";
    const RealCase& c = GetParam();
    TempDir dir;
    std::string path = makeReal(dir, c);
    ASSERT_FALSE(path.empty()) << "encoding failed";
    // ffprobe misreads Musepack SV8 lengths: the encoder's input is the reference there.
    double expected = c.kind == lv::akMpc ? c.seconds : ffprobeDuration(path);
    ASSERT_GT(expected, 0);

    lv::TAudioFile audio;
    audio.SetFileName(path);
    EXPECT_EQ(audio.Kind(), c.kind);
    ASSERT_TRUE(audio.Open());
    lv::TAbstractAudioFile& reader = *audio.Reader();
    EXPECT_EQ(reader.Kind(), c.kind);
    EXPECT_EQ(reader.Channels(), c.channels);
    EXPECT_EQ(reader.SampleRate(), c.rate);
    EXPECT_EQ(reader.BitsPerSample(), 16);
    // Windows Media sizes come from a time, not a sample count.
    if (c.kind != lv::akWma) {
        EXPECT_EQ(reader.DataSize() % (2 * c.channels), 0) << "whole sample frames";
    }
    EXPECT_NEAR(double(audio.Duration() * 86400), expected, 0.1);
    EXPECT_NEAR(reader.Duration() * 86400, expected, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Encoded, RealFile, ::testing::ValuesIn(kRealCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MpcFile, InformationRecordHoldsTheStreamHeader) {
    if (!haveTools())
        GTEST_SKIP() << "mpcenc is needed";
    TempDir dir;
    std::string wav = dir.file("in.wav"), mpc = dir.file("out.mpc");
    const int rate = 44100;
    writeToneWav(wav, rate, 2, 1.5);
    ASSERT_TRUE(mpcencMake(wav, mpc));
    lv::TMpcFile reader(mpc);
    // The record is packed: copies, not references, of its fields.
    const lv::TMpcInfo info = reader.Info;
    EXPECT_EQ(double(info.SampleRate), 44100.0);
    EXPECT_EQ(std::int32_t(info.Channels), 2);
    // Every input sample, the encoder's delay taken off.
    EXPECT_EQ(std::int64_t(info.TotalSamples), std::int64_t(rate * 1.5));
    EXPECT_EQ(std::int64_t(info.FileSize), std::int64_t(std::filesystem::file_size(mpc)));
    EXPECT_GT(double(info.AverageBitrate), 8000);
    EXPECT_EQ(reader.DataSize(), std::int64_t(rate * 1.5) * 2 * 2);
}

// Frame sizes derived from the bit rates: a frame holds 1536 samples, 44.1 kHz frames
// alternate between the shorter and the longer whole number of words.
TEST(Ac3File, FrameTableFollowsTheBitRates) {
    const int kbps[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                          192, 224, 256, 320, 384, 448, 512, 576, 640};
    for (int code = 0; code < 38; ++code) {
        const int rate = kbps[code / 2];
        EXPECT_EQ(lv::TAc3File::FrameBytes(code, 0), rate * 4) << code;
        EXPECT_EQ(lv::TAc3File::FrameBytes(code, 2), rate * 6) << code;
        const int shortWords = rate * 1000 * 1536 / 44100 / 16;
        EXPECT_EQ(lv::TAc3File::FrameBytes(code, 1), 2 * (shortWords + code % 2)) << code;
    }
    EXPECT_EQ(lv::TAc3File::FrameBytes(38, 0), 0);
    EXPECT_EQ(lv::TAc3File::FrameBytes(63, 1), 0);
    EXPECT_EQ(lv::TAc3File::FrameBytes(10, 3), 0);
}

// The first frames of a real stereo AC-3 file at 48 kHz, 192 kbit/s (768-byte frames).
Bytes ac3Frames(const TempDir& dir, int frames) {
    std::string path = dir.file("frames.ac3");
    EXPECT_TRUE(ffmpegMake(with(sine(1, 48000, 2), {"-c:a", "ac3", "-b:a", "192k"}), path));
    Bytes all = readFile(path);
    EXPECT_GE(all.size(), std::size_t(frames) * 768);
    all.resize(std::min(all.size(), std::size_t(frames) * 768));
    return all;
}

bool syncAtEvenOffset(const Bytes& b) {
    for (std::size_t i = 0; i + 1 < b.size(); i += 2)
        if (b[i] == 0x0B && b[i + 1] == 0x77)
            return true;
    return false;
}

TEST(Ac3File, FirstFrameOnlyAtEvenOffsets) {
    if (!haveTools())
        GTEST_SKIP() << "ffmpeg is needed";
    TempDir dir;
    const Bytes frames = ac3Frames(dir, 6);

    // Two bytes ahead: found, counted from there, and the decoder says it skipped them.
    std::string even = dir.file("even.ac3");
    writeFile(even, concat({Bytes{0, 0}, frames}));
    {
        lv::TAc3File reader(even);
        EXPECT_EQ(reader.FirstFrameOffset(), 2);
        EXPECT_EQ(reader.FrameSize(), 768);
        EXPECT_EQ(reader.SampleRate(), 48000);
        EXPECT_EQ(reader.Channels(), 2);
        EXPECT_EQ(reader.DataSize(), 6 * 1536 * 2 * 2);
        EXPECT_EQ(reader.Bitrate(), 192000);
        ASSERT_EQ(reader.Messages.size(), 1u);
        EXPECT_EQ(reader.Messages[0], lv::TAc3Lib::ac3_warningmsg(lv::ac3WarnSkippedBytes));
    }
    // A trailing partial frame is not counted.
    std::string partial = dir.file("partial.ac3");
    writeFile(partial, concat({frames, Bytes(700, 0)}));
    EXPECT_EQ(lv::TAc3File(partial).DataSize(), 6 * 1536 * 2 * 2);

    // One byte ahead puts every sync word at an odd offset.
    const Bytes odd = concat({Bytes{0}, frames});
    ASSERT_FALSE(syncAtEvenOffset(odd)) << "pick other frames: a payload word looks like sync";
    std::string oddPath = dir.file("odd.ac3");
    writeFile(oddPath, odd);
    EXPECT_EQ(refusalOf(oddPath), "Invalid AC3 file");

    // A first frame whose sample-rate code (3) has no table entry.
    Bytes badRate = frames;
    badRate[4] = std::uint8_t(0xC0 | (badRate[4] & 0x3F));
    std::string badRatePath = dir.file("rate3.ac3");
    writeFile(badRatePath, badRate);
    EXPECT_EQ(refusalOf(badRatePath), "Invalid AC3 file");
}

TEST(Ac3File, OneReaderAtATime) {
    if (!haveTools())
        GTEST_SKIP() << "ffmpeg is needed";
    TempDir dir;
    std::string a = dir.file("a.ac3"), b = dir.file("b.ac3");
    ASSERT_TRUE(ffmpegMake(with(sine(1, 48000, 2), {"-c:a", "ac3"}), a));
    ASSERT_TRUE(ffmpegMake(with(sine(1, 44100, 1), {"-c:a", "ac3"}), b));
    const std::string single = "AZID.DLL allow only one AC3 stream to be decoded at a time";
    {
        lv::TAudioFile first;
        first.SetFileName(a);
        ASSERT_TRUE(first.Open());
        EXPECT_EQ(refusalOf(b), single);
        EXPECT_THROW(lv::TAc3File{a}, lv::Error);
        // The first is untouched by the refusals.
        EXPECT_EQ(first.Reader()->SampleRate(), 48000);
        // Other formats are not held back.
        std::string wav = dir.file("c.wav");
        writeToneWav(wav, 8000, 1, 0.5);
        EXPECT_NEAR(facadeSeconds(wav), 0.5, 1e-9);
    }
    // Closed: the next one opens, and a refused one leaves no mark behind.
    std::string junk = dir.file("junk.ac3");
    writeFile(junk, Bytes(5000, 0x11));
    EXPECT_EQ(refusalOf(junk), "Invalid AC3 file");
    lv::TAc3File second(b);
    EXPECT_EQ(second.SampleRate(), 44100);
    EXPECT_EQ(second.Channels(), 1);
}

std::vector<int> g_errors;

TEST(Ac3Lib, ChannelsFromTheFirstFrameErrorsThroughTheCallback) {
    auto lib = lv::DecoderLibraries()->Ac3;
    ASSERT_TRUE(lib);
    EXPECT_EQ(lv::TAc3Lib::ChannelsOfFlags(A52_MONO), 1);
    EXPECT_EQ(lv::TAc3Lib::ChannelsOfFlags(A52_CHANNEL), 2);
    EXPECT_EQ(lv::TAc3Lib::ChannelsOfFlags(A52_STEREO | A52_LFE), 3);
    EXPECT_EQ(lv::TAc3Lib::ChannelsOfFlags(A52_2F1R), 3);
    EXPECT_EQ(lv::TAc3Lib::ChannelsOfFlags(A52_3F2R | A52_LFE), 6);

    // A sync word the decoder does not take for a frame: no channels, one error.
    struct Source {
        Bytes bytes;
        std::size_t at = 0;
    } source{Bytes(3000, 0x11)};
    source.bytes[100] = 0x0B;
    source.bytes[101] = 0x77;
    source.bytes[104] = 0x14; // 48 kHz, 192 kbit/s: fine for the frame table
    source.bytes[105] = 0xF8; // a stream version no decoder knows
    auto read = [](void* user, void* buffer, std::int32_t count) -> std::int32_t {
        auto& s = *static_cast<Source*>(user);
        std::size_t n = std::min(std::size_t(count), s.bytes.size() - s.at);
        std::memcpy(buffer, s.bytes.data() + s.at, n);
        s.at += n;
        return std::int32_t(n);
    };
    std::unique_ptr<lv::TAc3Decoder> decoder;
    ASSERT_EQ(lib->ac3_init(decoder, read, &source), 0);
    lv::TAc3Settings stale;
    stale.Size = 8;
    EXPECT_NE(lib->ac3_regsettings(*decoder, stale), 0);
    lv::TAc3Settings settings;
    settings.OnError = [](int code) { g_errors.push_back(code); };
    EXPECT_EQ(lib->ac3_regsettings(*decoder, settings), 0);
    g_errors.clear();
    EXPECT_EQ(lib->ac3_getchannels(*decoder), 0);
    EXPECT_EQ(g_errors, std::vector<int>{lv::ac3ErrNoFrame});
    EXPECT_EQ(lv::TAc3Lib::ac3_errormsg(lv::ac3ErrNoFrame), "No AC3 frame found");
    lib->ac3_free(decoder);
    EXPECT_EQ(decoder, nullptr);

    // The same bytes as a file: the reader finds the sync word, the decoder no frame.
    TempDir dir;
    std::string path = dir.file("fake.ac3");
    writeFile(path, source.bytes);
    EXPECT_EQ(refusalOf(path), "Invalid AC3 file");
}

TEST(WMAAudioFile, RefusesWhatIsNotOneAudioOutput) {
    if (!haveTools())
        GTEST_SKIP() << "ffmpeg is needed";
    TempDir dir;
    std::string both = dir.file("x.wmv");
    ASSERT_TRUE(ffmpegMake({"-f", "lavfi", "-i", "testsrc", "-f", "lavfi", "-i", "sine", "-c:v",
                            "wmv2", "-c:a", "wmav2", "-t", "1"},
                           both));
    // The facade takes .asf and .wma names only; the reader itself takes any.
    EXPECT_THROW(
        {
            try {
                lv::TWMAAudioFile reader(both);
            } catch (const lv::Error& e) {
                EXPECT_STREQ(e.what(), "This Windows Media file contains too many outputs (2)");
                throw;
            }
        },
        lv::Error);
    std::string bothAsf = dir.file("both.asf");
    std::filesystem::copy_file(both, bothAsf);
    EXPECT_EQ(refusalOf(bothAsf), "This Windows Media file contains too many outputs (2)");

    std::string video = dir.file("video.asf");
    ASSERT_TRUE(ffmpegMake({"-f", "lavfi", "-i", "testsrc", "-c:v", "wmv2", "-t", "1"}, video));
    EXPECT_EQ(refusalOf(video), "WMA doesn't contains Audio data");

    // Not ASF at all: the runtime's failure code, 8 lower-case hex digits.
    std::string wavNamedWma = dir.file("song.wma");
    writeToneWav(wavNamedWma, 8000, 1, 0.5);
    EXPECT_TRUE(std::regex_match(refusalOf(wavNamedWma),
                                 std::regex("Failed to open the wm file - 0x[0-9a-f]{8}")))
        << refusalOf(wavNamedWma);
}

TEST(WMAAudioFile, LengthComesFromTheDurationAttribute) {
    if (!haveTools())
        GTEST_SKIP() << "ffmpeg is needed";
    TempDir dir;
    std::string path = dir.file("a.wma");
    ASSERT_TRUE(ffmpegMake(with(sine(5, 32000, 2), {"-c:a", "wmav2"}), path));
    lv::TWMAAudioFile reader(path);
    EXPECT_EQ(reader.OutputCount, 1u);
    EXPECT_EQ(reader.OutputFormat.FormatTag, 1);
    EXPECT_EQ(reader.OutputFormat.AvgBytesPerSec, 32000u * 4);
    EXPECT_NEAR(double(reader.DurationHns) / 1e7, ffprobeDuration(path), 0.001);
    EXPECT_EQ(reader.DataSize(), std::int64_t(reader.DurationHns * 128000 / 10000000));
    EXPECT_EQ(reader.FileSize(), std::int64_t(std::filesystem::file_size(path)));
}

TEST(ApeFile, HeaderGivesFormatAndLength) {
    TempDir dir;
    struct {
        int channels, rate, bits, blocks;
    } cases[] = {{2, 44100, 16, 441000}, {1, 48000, 24, 96000}, {2, 22050, 8, 11025}};
    for (const auto& c : cases) {
        std::string path = dir.file("x" + std::to_string(c.bits) + ".ape");
        writeFile(path, apeFile(c.channels, c.rate, c.bits, c.blocks));
        lv::TAudioFile audio;
        audio.SetFileName(path);
        ASSERT_TRUE(audio.Open()) << path;
        lv::TAbstractAudioFile& reader = *audio.Reader();
        EXPECT_EQ(reader.Kind(), lv::akApe);
        EXPECT_EQ(reader.Channels(), c.channels);
        EXPECT_EQ(reader.SampleRate(), c.rate);
        EXPECT_EQ(reader.BitsPerSample(), c.bits);
        EXPECT_EQ(reader.DataSize(), std::int64_t(c.channels) * (c.bits / 8) * c.blocks);
        const double seconds = double(c.blocks) / c.rate;
        EXPECT_NEAR(double(audio.Duration() * 86400), seconds, 1e-9);
        if (haveProgram("ffprobe")) {
            EXPECT_NEAR(ffprobeDuration(path), seconds, 0.01) << "the file is well formed";
        }
    }
    // Beyond 2 GiB of PCM: 4 hours of stereo 16-bit.
    std::string longPath = dir.file("long.ape");
    writeFile(longPath, apeFile(2, 44100, 16, 44100 * 3600 * 4));
    EXPECT_NEAR(facadeSeconds(longPath), 4 * 3600.0, 1e-6);
}

TEST(ExternalReaders, RefusalsNameTheFile) {
    TempDir dir;
    std::string junkOgg = dir.file("a b.ogg"), junkMpc = dir.file("c.mpc"),
                junkApe = dir.file("d.ape");
    for (const std::string& p : {junkOgg, junkMpc, junkApe})
        writeToneWav(p, 8000, 1, 0.2);
    EXPECT_EQ(refusalOf(junkOgg), "\"" + junkOgg + "\" is not a Ogg bitstream");
    EXPECT_EQ(refusalOf(junkMpc), "\"" + junkMpc + "\" is not a MPC bitstream");
    EXPECT_EQ(refusalOf(junkApe), "\"" + junkApe + "\" is not a Monkey's Audio file");
    // A name that is no file at all is refused too, by the file layer or the library.
    for (const char* ext : {".ogg", ".wma", ".ape", ".ac3", ".mpc"})
        EXPECT_NE(refusalOf(dir.file(std::string("missing") + ext)), "") << ext;
}

struct AbsentCase {
    const char* disabled;
    std::vector<const char*> refused; // extensions whose reader must refuse
    const char* message;              // of the first refused one
};

const AbsentCase kAbsentCases[] = {
    {"vorbisfile",
     {".ogg"},
     "File VORBISFILE.DLL not found in the path. This file is needed to activate the ogg "
     "vorbis support"},
    {"OGG",
     {".ogg"},
     "File VORBISFILE.DLL not found in the path. This file is needed to activate the ogg "
     "vorbis support"},
    {"avformat",
     {".wma", ".ape"},
     "Windows Media Audio support DLL (wmvcore.dll) not found or outdated. Download the "
     "latest Microsoft Windows Media player."},
    {"mpcdec a52", {".ac3", ".mpc"}, "AZID.DLL not found. AC3 support is not enabled"},
};

TEST(ExternalReaders, AbsentLibraryTurnsOffOnlyItsFormats) {
    if (!haveTools())
        GTEST_SKIP() << "ffmpeg and mpcenc are needed";
    TempDir dir;
    std::map<std::string, std::string> files = {
        {".ogg", dir.file("x.ogg")}, {".wma", dir.file("x.wma")}, {".ac3", dir.file("x.ac3")},
        {".mpc", dir.file("x.mpc")}, {".ape", dir.file("x.ape")}, {".wav", dir.file("x.wav")}};
    ASSERT_TRUE(ffmpegMake(with(sine(1, 44100, 2), {"-c:a", "libvorbis"}), files[".ogg"]));
    ASSERT_TRUE(ffmpegMake(with(sine(1, 44100, 2), {"-c:a", "wmav2"}), files[".wma"]));
    ASSERT_TRUE(ffmpegMake(with(sine(1, 48000, 2), {"-c:a", "ac3"}), files[".ac3"]));
    writeToneWav(files[".wav"], 44100, 2, 1);
    ASSERT_TRUE(mpcencMake(files[".wav"], files[".mpc"]));
    writeFile(files[".ape"], apeFile(2, 44100, 16, 44100));

    const std::map<std::string, std::string> messages = {
        {".ogg", kAbsentCases[0].message},
        {".wma", kAbsentCases[2].message},
        {".ape", "APE format support library (MACDLL.DLL) not found."},
        {".ac3", "AZID.DLL not found. AC3 support is not enabled"},
        {".mpc", "File zoq_mpc.DLL not found in the path. This file is needed to activate the "
                 "MusePack support"}};
    for (const AbsentCase& c : kAbsentCases) {
        SCOPED_TRACE(c.disabled);
        DisabledLibraries off(c.disabled);
        EXPECT_EQ(refusalOf(files[c.refused.front()]), c.message);
        for (const auto& [ext, path] : files) {
            bool refused = std::find_if(c.refused.begin(), c.refused.end(),
                                        [&](const char* r) { return ext == r; }) != c.refused.end();
            if (refused)
                EXPECT_EQ(refusalOf(path), messages.at(ext)) << ext;
            else
                EXPECT_NEAR(facadeSeconds(path), 1.0, 0.1) << ext << " still works";
        }
        bool reported = false;
        for (const lv::TLibraryStatus& s : lv::DecoderLibraries()->Statuses)
            reported |= !s.Available && s.Problem == "disabled";
        EXPECT_TRUE(reported);
    }
    // Back on once the switch is gone.
    for (const auto& [ext, path] : files)
        EXPECT_NEAR(facadeSeconds(path), 1.0, 0.1) << ext;
}

TEST(ExternalReaders, OpenReaderKeepsItsLibraryAcrossAReload) {
    if (!haveTools())
        GTEST_SKIP() << "ffmpeg is needed";
    TempDir dir;
    std::string path = dir.file("x.ogg");
    ASSERT_TRUE(ffmpegMake(with(sine(2, 44100, 1), {"-c:a", "libvorbis"}), path));
    lv::TAudioFile audio;
    audio.SetFileName(path);
    ASSERT_TRUE(audio.Open());
    {
        DisabledLibraries off("vorbisfile,vorbis,ogg");
        EXPECT_NE(refusalOf(path), "");
        EXPECT_NEAR(double(audio.Duration() * 86400), 2.0, 0.1);
    }
    EXPECT_TRUE(audio.Close());
}

TEST(DecoderLibraries, LoadOnceFromAnyThreadInOrder) {
    std::vector<std::shared_ptr<const lv::TDecoderLibraries>> seen(4);
    std::vector<std::thread> threads;
    for (auto& s : seen)
        threads.emplace_back([&s] {
            lv::LoadDecoderLibraries();
            s = lv::DecoderLibraries();
        });
    for (auto& t : threads)
        t.join();
    for (const auto& s : seen)
        EXPECT_EQ(s, seen[0]);
    std::vector<std::string> files;
    for (const lv::TLibraryStatus& s : seen[0]->Statuses) {
        files.push_back(s.FileName);
        EXPECT_TRUE(s.Available) << s.FileName << ": " << s.Problem;
    }
    const std::vector<std::string> expected = {
        "libogg.so.0",      "libvorbis.so.0",    "libvorbisfile.so.3", "libavutil.so.57",
        "libavcodec.so.59", "libavformat.so.59", "liba52-0.7.4.so",    "libmpcdec.so.6"};
    EXPECT_EQ(files, expected);
    EXPECT_TRUE(seen[0]->VorbisFile && seen[0]->Wm && seen[0]->Mac && seen[0]->Ac3 && seen[0]->Mpc);
}

TEST(CallbackSource, CallbacksFollowTheFileConventions) {
    TempDir dir;
    std::string path = dir.file("ten.bin");
    writeFile(path, Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    lv::TCallbackSource source(std::make_unique<lv::TWFileStream>(
        path, lv::TWFileStream::fmOpenRead | lv::TWFileStream::fmShareDenyNone));
    unsigned char buf[16] = {};
    // Whole items only are counted.
    EXPECT_EQ(source.Read(buf, 3, 4), 3u);
    EXPECT_EQ(buf[8], 8);
    EXPECT_EQ(source.Tell(), 10);
    EXPECT_EQ(source.Seek(-4, 2), 6);
    EXPECT_EQ(source.Seek(1, 1), 7);
    EXPECT_EQ(source.Read(buf, 1, 16), 3u);
    EXPECT_EQ(buf[0], 7);
    EXPECT_EQ(source.Seek(2, 0), 2);
    EXPECT_EQ(source.Seek(-1, 0), -1);
    EXPECT_FALSE(source.Failed()) << "a seek before the start is a plain failure";
    EXPECT_EQ(source.Seek(0, 7), -1);
    EXPECT_TRUE(source.Failed());
    try {
        source.RethrowFailure();
        ADD_FAILURE() << "the bad origin must be rethrown";
    } catch (const lv::Error& e) {
        EXPECT_STREQ(e.what(), "Bad file origin");
    }
    EXPECT_NO_THROW(source.RethrowFailure()) << "rethrown once";
    EXPECT_EQ(source.Size(), 10);
    EXPECT_EQ(source.Close(), 0);
    EXPECT_EQ(source.Tell(), -1);
    EXPECT_EQ(source.Read(buf, 1, 1), 0u);
    EXPECT_EQ(source.Seek(0, 0), -1);
}

} // namespace
