#include "Audio/Mpeg/MpegHeader.h"

#include "AudioFixtures.h"

#include <gtest/gtest.h>

namespace {

using lvtest::mpegWord;

struct HeaderCase {
    const char* name;
    std::uint32_t word;
    int frameLength; // 0: refused
    int sampleRate;
    int bitrate;
    int channels;
    float durationMs;
};

// Lengths and durations worked out by hand from the MPEG audio tables: 144000 x kbit / Hz
// (MPEG-1 Layer III, and Layer II at any rate), 72000 x kbit / Hz below 32 kHz for Layer III,
// (12 x bit/s / Hz + padding) x 4 for Layer I; duration = samples per frame / Hz.
const HeaderCase kHeaders[] = {
    {"Mpeg1Layer3_128k_44100", mpegWord(3, 3, 9, 0), 417, 44100, 128000, 2, 26.12245f},
    {"Mpeg1Layer3_128k_44100_Padded", mpegWord(3, 3, 9, 0, 1), 418, 44100, 128000, 2, 26.12245f},
    {"Mpeg1Layer3_320k_48000", mpegWord(3, 3, 14, 1), 960, 48000, 320000, 2, 24.0f},
    {"Mpeg1Layer3_32k_32000_Mono", mpegWord(3, 3, 1, 2, 0, 3), 144, 32000, 32000, 1, 36.0f},
    {"Mpeg2Layer3_64k_22050", mpegWord(2, 3, 8, 0), 208, 22050, 64000, 2, 26.12245f},
    {"Mpeg2Layer3_8k_24000", mpegWord(2, 3, 1, 1), 24, 24000, 8000, 2, 24.0f},
    {"Mpeg2Layer3_160k_16000_Padded", mpegWord(2, 3, 14, 2, 1), 721, 16000, 160000, 2, 36.0f},
    {"Mpeg25Layer3_32k_11025", mpegWord(0, 3, 4, 0), 208, 11025, 32000, 2, 52.2449f},
    {"Mpeg25Layer3_32k_12000", mpegWord(0, 3, 4, 1), 192, 12000, 32000, 2, 48.0f},
    {"Mpeg25Layer3_32k_8000_Mono", mpegWord(0, 3, 4, 2, 0, 3), 288, 8000, 32000, 1, 72.0f},
    {"Mpeg1Layer2_192k_48000", mpegWord(3, 2, 10, 1), 576, 48000, 192000, 2, 24.0f},
    {"Mpeg2Layer2_64k_22050", mpegWord(2, 2, 8, 0), 417, 22050, 64000, 2, 52.2449f},
    {"Mpeg1Layer1_384k_44100_Padded", mpegWord(3, 1, 12, 0, 1), 420, 44100, 384000, 2, 8.707483f},
    {"Mpeg2Layer1_32k_16000", mpegWord(2, 1, 1, 2), 96, 16000, 32000, 2, 24.0f},
    {"RateIndex3Layer3", mpegWord(3, 3, 9, 3), 0, 0, 0, 0, 0},
    {"RateIndex3Layer2", mpegWord(3, 2, 9, 3), 0, 0, 0, 0, 0},
    {"RateIndex3Layer1", mpegWord(2, 1, 1, 3), 0, 0, 0, 0, 0},
    {"FreeFormat", mpegWord(3, 3, 0, 0), 0, 0, 0, 0, 0},
    {"BitrateIndex15", mpegWord(3, 3, 15, 0), 0, 0, 0, 0, 0},
    {"ReservedLayer", mpegWord(3, 0, 9, 0), 0, 0, 0, 0, 0},
    {"ReservedVersion", mpegWord(1, 3, 9, 0), 0, 0, 0, 0, 0},
    {"BrokenSync", mpegWord(3, 3, 9, 0) & ~(1u << 21), 0, 0, 0, 0, 0},
};

class MpegHeaderWord : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(MpegHeaderWord, LengthRateAndDurationFollowTheTables) {
    const HeaderCase& c = GetParam();
    lv::TMpegHeader h;
    h.SetHeaderWord(c.word);
    EXPECT_EQ(h.FrameLength(), c.frameLength);
    if (c.frameLength == 0) {
        EXPECT_EQ(h.HeaderWord(), 0u);
        EXPECT_FALSE(h.IsValid());
        return;
    }
    EXPECT_TRUE(h.IsValid());
    EXPECT_EQ(h.HeaderWord(), c.word);
    EXPECT_EQ(h.SampleRate(), c.sampleRate);
    EXPECT_EQ(h.Bitrate(), c.bitrate);
    EXPECT_EQ(h.Channels(), c.channels);
    EXPECT_FLOAT_EQ(h.FrameDurationMs(), c.durationMs);
}

INSTANTIATE_TEST_SUITE_P(Headers, MpegHeaderWord, ::testing::ValuesIn(kHeaders),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MpegHeader, FieldsAreReadFromTheirBits) {
    lv::TMpegHeader h;
    h.SetHeaderWord(mpegWord(0, 3, 4, 2, 1, 3));
    EXPECT_EQ(h.IsMpeg25(), 1);
    EXPECT_EQ(h.VersionId(), 0);
    EXPECT_EQ(h.LayerIndex(), 2);
    EXPECT_EQ(h.BitrateIndex(), 4);
    EXPECT_EQ(h.SampleRateIndex(), 2);
    EXPECT_EQ(h.Padding(), 1);
    EXPECT_EQ(h.Mode(), 3);
    h.SetHeaderWord(mpegWord(3, 1, 7, 1, 0, 1));
    EXPECT_EQ(h.IsMpeg25(), 0);
    EXPECT_EQ(h.VersionId(), 1);
    EXPECT_EQ(h.LayerIndex(), 0);
    EXPECT_EQ(h.BitrateIndex(), 7);
    EXPECT_EQ(h.SampleRateIndex(), 1);
    EXPECT_EQ(h.Padding(), 0);
    EXPECT_EQ(h.Mode(), 1);
    EXPECT_EQ(h.Channels(), 2);
    // A refused word clears what an earlier valid one left.
    h.SetHeaderWord(mpegWord(3, 3, 15, 0));
    EXPECT_EQ(h.HeaderWord(), 0u);
    EXPECT_EQ(h.FrameLength(), 0);
}

} // namespace
