#include "Audio/WavAudioFile.h"
#include "platform/Errors.h"

#include "AudioFixtures.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using namespace lvtest;

const Bytes kSamples = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

std::string refusal(const std::string& path) {
    try {
        lv::TWavAudioFile wav(path);
    } catch (const lv::Error& e) {
        return e.what();
    }
    return "opened";
}

TEST(WavAudioFile, FormatChunksOfEveryLengthAndChunksBeforeTheData) {
    TempDir dir;
    std::string path = dir.file("a.wav");

    // 16-byte "fmt " (no ExtraSize).
    writeFile(path, riffWave({chunk("fmt ", pcmFormat(2, 44100, 16)), chunk("data", kSamples)}));
    {
        lv::TWavAudioFile wav(path);
        EXPECT_EQ(wav.Format.FormatTag, 1);
        EXPECT_EQ(wav.Channels(), 2);
        EXPECT_EQ(wav.SampleRate(), 44100);
        EXPECT_EQ(wav.BitsPerSample(), 16);
        EXPECT_EQ(wav.Format.BlockAlign, 4);
        EXPECT_EQ(wav.Format.AvgBytesPerSec, 176400u);
        EXPECT_EQ(wav.Format.ExtraSize, 0);
        EXPECT_EQ(wav.DataSize(), 12);
        EXPECT_EQ(wav.Bitrate(), 2 * 44100 * 16);
        EXPECT_EQ(wav.Kind(), lv::akWav);
        EXPECT_EQ(wav.FileSize(), 12 + 24 + 8 + 12);
        EXPECT_EQ(wav.Stream->Position(), 44);
    }

    // "LIST" and an unknown chunk between "fmt " and "data": the stream stands at the data.
    Bytes info = concat({Bytes{'I', 'N', 'F', 'O'}, chunk("ISFT", Bytes(6, 'x'))});
    writeFile(path, riffWave({chunk("fmt ", pcmFormat(1, 8000, 8, true)), chunk("LIST", info),
                              chunk("junk", Bytes(10, 0xEE)), chunk("data", kSamples)}));
    {
        lv::TWavAudioFile wav(path);
        EXPECT_EQ(wav.Channels(), 1);
        EXPECT_EQ(wav.BitsPerSample(), 8);
        EXPECT_EQ(wav.Chunk->KindIndex, lv::TWaveChunk::kiData);
        EXPECT_EQ(wav.DataPosition(), 0);
        std::uint8_t first = 0;
        EXPECT_EQ(wav.Stream->Read(&first, 1), 1);
        EXPECT_EQ(first, 1);
        wav.SeekData(0);
        Bytes all(20, 0);
        std::int32_t count = 20;
        EXPECT_TRUE(wav.ReadData(all.data(), count));
        EXPECT_EQ(count, 12) << "reads stop at the end of the data chunk";
        all.resize(12);
        EXPECT_EQ(all, kSamples);
        EXPECT_EQ(wav.DataPosition(), 12);
        count = 20;
        EXPECT_FALSE(wav.ReadData(all.data(), count));
        EXPECT_EQ(count, 0);
    }

    // A "fmt " longer than 18 bytes: 18 are read, the rest passed over.
    Bytes longFormat = pcmFormat(2, 22050, 16, true);
    longFormat.resize(30, 0x77);
    writeFile(path, riffWave({chunk("fmt ", longFormat), chunk("data", kSamples)}));
    {
        lv::TWavAudioFile wav(path);
        EXPECT_EQ(wav.SampleRate(), 22050);
        EXPECT_EQ(wav.DataSize(), 12);
    }

    // An odd-sized chunk is followed by its pad byte, as RIFF requires.
    Bytes odd = chunk("LIST", concat({Bytes{'I', 'N', 'F', 'O'}, Bytes(5, 'y')}));
    odd.push_back(0);
    writeFile(path, riffWave({chunk("fmt ", pcmFormat(2, 44100, 16)), odd,
                              chunk("data", tonePcm(44100, 2, 1.0))}));
    {
        lv::TWavAudioFile wav(path);
        EXPECT_EQ(wav.DataSize(), 176400);
    }
    if (haveProgram("ffprobe")) {
        EXPECT_NEAR(ffprobeDuration(path), 1.0, 1e-6) << "the padded file is a valid WAV";
    }
}

TEST(WavAudioFile, RefusalsCarryTheirMessages) {
    TempDir dir;
    std::string path = dir.file("bad.wav");
    Bytes fmt = chunk("fmt ", pcmFormat(2, 44100, 16));
    Bytes data = chunk("data", kSamples);

    Bytes extensible = pcmFormat(2, 44100, 16, true);
    extensible[0] = 0xFE;
    extensible[1] = 0xFF;
    extensible.resize(40, 0);
    writeFile(path, riffWave({chunk("fmt ", extensible), data}));
    EXPECT_EQ(refusal(path), "Bad .wav format. Only PCM data is supported");

    Bytes bigEndian = riffWave({fmt, data});
    bigEndian[3] = 'X'; // "RIFX"
    writeFile(path, bigEndian);
    EXPECT_EQ(refusal(path), "Bad .wav format. RIFF chunk not found");

    writeFile(path, concat({chunk("LIST", Bytes{'I', 'N', 'F', 'O'}), riffWave({fmt, data})}));
    EXPECT_EQ(refusal(path), "Bad .wav format. 1st chunk is not an RIFF chunk");

    writeFile(path, riffWave({fmt, chunk("fact", Bytes(4, 0))}));
    EXPECT_EQ(refusal(path), "Bad .wav format. Can't find audio data");

    writeFile(path, riffWave({data}));
    EXPECT_EQ(refusal(path), "Bad .wav format. Can't find FMT chunk");

    // The form type is not checked; the chunks are.
    Bytes avi = riffWave({fmt, data});
    std::copy_n("AVI ", 4, avi.begin() + 8);
    writeFile(path, avi);
    EXPECT_EQ(refusal(path), "opened");

    EXPECT_EQ(refusal(dir.file("missing.wav")),
              "Impossible d'ouvrir le fichier " + dir.file("missing.wav"));
}

TEST(WavAudioFile, LeadingId3v2TagMovesTheChunkSearch) {
    TempDir dir;
    std::string path = dir.file("tagged.wav");
    Bytes wave = riffWave({chunk("fmt ", pcmFormat(2, 44100, 16)), chunk("data", kSamples)});

    // Size bytes 00 00 02 01: 257 bytes of body, the search starts at 267.
    writeFile(path, concat({id3v2Tag({0, 0, 2, 1}, 257), wave}));
    {
        lv::TWavAudioFile wav(path);
        EXPECT_EQ(wav.Chunk->DataStart, 267 + 44);
        EXPECT_EQ(wav.Stream->Position(), 267 + 44);
    }
    // With the footer flag, 10 more.
    writeFile(path, concat({id3v2Tag({0, 0, 2, 1}, 257, {}, true), wave}));
    EXPECT_EQ(lv::TWavAudioFile(path).Chunk->DataStart, 277 + 44);

    // An MP3 with a .wav name: the search starts after its tag and finds no RIFF.
    Bytes frame = mpegFrame(mpegWord(3, 3, 9, 0), 417);
    writeFile(path, concat({id3v2Tag({0, 0, 1, 0}, 128), repeat(frame, 4)}));
    EXPECT_EQ(refusal(path), "Bad .wav format. RIFF chunk not found");
}

TEST(WavAudioFile, DeclaredSizesBeyondTheFileAreBounded) {
    TempDir dir;
    std::string path = dir.file("sizes.wav");
    Bytes fmt = chunk("fmt ", pcmFormat(2, 44100, 16));

    // A data chunk declaring more than the file holds counts what is there; a size of 2 GiB
    // or more is not negative.
    for (std::int64_t declared : {1000ll, 0x80000010ll, 0xFFFFFFFFll}) {
        writeFile(path, riffWave({fmt, chunk("data", kSamples, declared)}));
        lv::TWavAudioFile wav(path);
        EXPECT_EQ(wav.DataSize(), 12) << declared;
    }
    // A chunk whose size would point backwards as a signed number is skipped forwards, past
    // the end: there is no data after it.
    writeFile(path,
              riffWave({fmt, chunk("junk", Bytes(8, 0), 0xFFFFFFF8ll), chunk("data", kSamples)}));
    EXPECT_EQ(refusal(path), "Bad .wav format. Can't find audio data");
    // A "fmt " of huge size runs past the end.
    writeFile(path, riffWave({chunk("fmt ", pcmFormat(2, 44100, 16), 0xFFFFFF00ll)}));
    EXPECT_EQ(refusal(path), "Bad .wav format. Can't find audio data");
    // A LIST shorter than its form type does not move backwards.
    writeFile(path, riffWave({fmt, chunk("LIST", Bytes{'I', 'N', 'F', 'O'}, 2),
                              chunk("data", kSamples)}));
    EXPECT_EQ(refusal(path), "opened");
}

TEST(WavAudioFile, LargestFormatFieldsGiveTheLargestBitrate) {
    // 65535 channels x 0xFFFFFFFF Hz x 65535 bits overflowed 64 bits (UBSan, wav_audio_fuzz).
    TempDir dir;
    std::string path = dir.file("largest.wav");
    const Bytes fmt = {1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    writeFile(path, riffWave({chunk("fmt ", fmt), chunk("data", kSamples)}));
    EXPECT_EQ(lv::TWavAudioFile(path).Bitrate(), 0x7FFFFFFF);
}

TEST(WavAudioFile, FfmpegFilesHaveFfprobesDuration) {
    if (!haveProgram("ffmpeg") || !haveProgram("ffprobe"))
        GTEST_SKIP() << "ffmpeg and ffprobe are needed";
    TempDir dir;
    struct Variant {
        const char* codec;
        const char* rate;
        const char* channels;
        int bits;
    };
    for (Variant v : {Variant{"pcm_s16le", "44100", "2", 16}, Variant{"pcm_u8", "8000", "1", 8},
                      Variant{"pcm_s16le", "22050", "1", 16}}) {
        std::string path = dir.file(std::string(v.codec) + v.rate + ".wav");
        ProcessResult r =
            runProcess("ffmpeg", {"-v", "error", "-f", "lavfi", "-i",
                                  "sine=frequency=300:duration=3.25", "-metadata", "title=Lumivane",
                                  "-ar", v.rate, "-ac", v.channels, "-c:a", v.codec, "-y", path});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        lv::TWavAudioFile wav(path);
        EXPECT_EQ(wav.BitsPerSample(), v.bits);
        EXPECT_EQ(wav.SampleRate(), std::stoi(v.rate));
        EXPECT_NEAR(wav.Duration() * 86400, ffprobeDuration(path), 1e-3) << path;
    }
}

} // namespace
