#include "Audio/Mpeg/FrameLoader.h"
#include "Audio/Mpeg/MpegAudioFile.h"
#include "Audio/WFileStream.h"
#include "platform/Errors.h"

#include "AudioFixtures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using namespace lvtest;

const std::uint32_t kWord128 = mpegWord(3, 3, 9, 0); // 417 bytes, 44100 Hz stereo
const Bytes kFrame = mpegFrame(kWord128, 417);
const Bytes kFalseSyncBody = {0x55, 0xFF, 0xFB, 0x90, 0x64, 0x55}; // a valid header word

std::vector<std::uint32_t> offsetsOf(const lv::TFrameLoader& loader) {
    std::vector<std::uint32_t> offsets;
    for (std::int32_t i = 0; i < loader.FrameCount(); ++i)
        offsets.push_back(loader.FrameOffset(i));
    return offsets;
}

std::vector<std::uint32_t> scan(const std::string& path, const Bytes& bytes) {
    writeFile(path, bytes);
    lv::TFrameLoader loader(path);
    loader.ScanAll();
    EXPECT_TRUE(loader.ScanComplete());
    return offsetsOf(loader);
}

TEST(FrameLoader, LeadingId3v2TagAndZeroPaddingAreSkipped) {
    TempDir dir;
    std::string path = dir.file("tagged.mp3");
    // A valid-looking header inside the tag body proves the tag is skipped, not searched.
    Bytes body = {0xFF, 0xFB, 0x90, 0x00};
    Bytes zeros(60, 0);
    Bytes plain = concat({id3v2Tag({0, 0, 1, 0}, 128, body), zeros, repeat(kFrame, 3)});
    EXPECT_EQ(scan(path, plain), (std::vector<std::uint32_t>{198, 615, 1032}));

    // With the footer flag the tag is 10 bytes longer; its footer holds a sync too.
    Bytes footer = {0xFF, 0xFB, 0x90, 0x00, 0x55};
    Bytes withFooter =
        concat({id3v2Tag({0, 0, 1, 0}, 128, body, true, footer), zeros, repeat(kFrame, 3)});
    EXPECT_EQ(scan(path, withFooter), (std::vector<std::uint32_t>{208, 625, 1042}));

    // Tag sizes are 7 bits a byte: 00 00 02 01 is 257 bytes of body.
    Bytes wide = concat({id3v2Tag({0, 0, 2, 1}, 257, body), repeat(kFrame, 2)});
    EXPECT_EQ(scan(path, wide), (std::vector<std::uint32_t>{267, 684}));

    // A size past the end of the file cannot be true: the frames after the tag's header
    // are found by the search (here 0x0C 00 00 00, 200 MB, in front of 3 frames).
    Bytes liar = concat({id3v2Tag({0x60, 0, 0, 0}, 20, Bytes(20, 0x20)), repeat(kFrame, 3)});
    EXPECT_EQ(scan(path, liar), (std::vector<std::uint32_t>{30, 447, 864}));

    // A tag that ends in padding running to the end of the file leaves no frame.
    writeFile(path, concat({id3v2Tag({0, 0, 1, 0}, 128, body), Bytes(500, 0)}));
    EXPECT_THROW(lv::TFrameLoader{path}, lv::Error);
}

class LeadingZeros : public ::testing::TestWithParam<int> {};

TEST_P(LeadingZeros, FirstFrameFollowsTheZeroRun) {
    TempDir dir;
    std::string path = dir.file("zeros.mp3");
    int zeros = GetParam();
    auto offsets = scan(path, concat({Bytes(std::size_t(zeros), 0), repeat(kFrame, 3)}));
    auto z = std::uint32_t(zeros);
    EXPECT_EQ(offsets, (std::vector<std::uint32_t>{z, z + 417, z + 834}));
}

INSTANTIATE_TEST_SUITE_P(Runs, LeadingZeros, ::testing::Values(0, 3, 4, 100, 8191, 8192, 20000));

TEST(FrameLoader, JunkIsSearchedAndAFalseSyncCostsTwoBytes) {
    TempDir dir;
    std::string path = dir.file("junk.mp3");
    Bytes junk = {0x12, 0x34, 0x00, 0xFF, 0x10, 0x99, 'T', 'A', 0x07, 0x33};
    const Bytes three = repeat(kFrame, 3);

    // Control: one zero byte between two runs of frames does not hide the second run.
    auto control = scan(path, concat({three, Bytes{0x00}, three, junk, kFrame}));
    EXPECT_EQ(control, (std::vector<std::uint32_t>{0, 417, 834, 1252, 1669, 2086, 2513}));

    // An 0xFF right before a frame forms a sync whose bitrate nibble is 15: the search steps
    // two bytes and passes the frame that starts one byte later.
    auto stepped = scan(path, concat({three, Bytes{0xFF}, repeat(kFrame, 4), junk, kFrame}));
    EXPECT_EQ(stepped, (std::vector<std::uint32_t>{0, 417, 834, 1669, 2086, 2503, 2930}));
}

TEST(FrameLoader, OnlyFramesThatFollowEachOtherAreFound) {
    TempDir dir;
    std::string path = dir.file("chain.mp3");
    // Noise and a 16-bit tone hold valid-looking header words, but never three frames in a
    // row: neither is MPEG audio.
    Bytes noise(1 << 20);
    std::uint32_t seed = 12345;
    for (std::uint8_t& b : noise)
        b = std::uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
    for (const Bytes& other : {noise, riffWave({chunk("fmt ", pcmFormat(2, 44100, 16)),
                                                chunk("data", tonePcm(44100, 2, 20))})}) {
        writeFile(path, other);
        EXPECT_THROW(lv::TFrameLoader{path}, lv::Error);
    }

    // A lone frame, or two followed by junk, is not a frame; a whole run after noise is.
    Bytes some(noise.begin(), noise.begin() + 5000);
    Bytes junk(50, 0x11);
    EXPECT_EQ(scan(path, concat({kFrame, junk, repeat(kFrame, 2), junk, some, repeat(kFrame, 3)})),
              (std::vector<std::uint32_t>{6351, 6768, 7185}));
    // A chain of two that reaches the end of the file is enough, one is not.
    EXPECT_EQ(scan(path, concat({junk, kFrame, Bytes(kFrame.begin(), kFrame.begin() + 9)})),
              (std::vector<std::uint32_t>{50}));
    writeFile(path, concat({junk, kFrame, Bytes{0x00, 0x00}}));
    EXPECT_THROW(lv::TFrameLoader{path}, lv::Error);

    // The frames of a chain share version, layer and rate.
    Bytes at48k = mpegFrame(mpegWord(3, 3, 9, 1), 384);
    writeFile(path, concat({junk, kFrame, at48k, kFrame, Bytes(9, 0)}));
    EXPECT_THROW(lv::TFrameLoader{path}, lv::Error);
}

TEST(FrameLoader, TagBlocksAndTheEndOfTheFile) {
    TempDir dir;
    std::string path = dir.file("tags.mp3");
    Bytes tag = concat({Bytes{'T', 'A', 'G'}, kFalseSyncBody});
    tag.resize(128, 0x20);

    // A "TAG" block between frames is passed as 128 bytes, with the sync inside it.
    EXPECT_EQ(scan(path, concat({repeat(kFrame, 2), tag, repeat(kFrame, 2)})),
              (std::vector<std::uint32_t>{0, 417, 962, 1379}));
    // An ID3v1 tag at the end ends the stream.
    EXPECT_EQ(scan(path, concat({repeat(kFrame, 3), tag})),
              (std::vector<std::uint32_t>{0, 417, 834}));
    // A valid last frame that runs past the end of the file is not counted.
    Bytes cut(kFrame.begin(), kFrame.begin() + 300);
    EXPECT_EQ(scan(path, concat({repeat(kFrame, 3), cut})),
              (std::vector<std::uint32_t>{0, 417, 834}));
    // Exactly up to the end is a whole frame.
    EXPECT_EQ(scan(path, repeat(kFrame, 2)), (std::vector<std::uint32_t>{0, 417}));
    // A file that is only a truncated frame has none.
    writeFile(path, cut);
    EXPECT_THROW(lv::TFrameLoader{path}, lv::Error);
}

TEST(FrameLoader, OpeningIndexesTheFirstFrameAndPresetsTheCapacity) {
    TempDir dir;
    std::string path = dir.file("cbr.mp3");
    writeFile(path, concat({repeat(kFrame, 10), Bytes(300, 0x11)}));
    lv::TFrameLoader loader(path);
    EXPECT_TRUE(loader.Opened());
    EXPECT_FALSE(loader.ScanComplete());
    EXPECT_EQ(loader.FrameCount(), 1);
    EXPECT_EQ(loader.GetTotalSamples(), 0);
    EXPECT_EQ(loader.FirstHeader().HeaderWord(), kWord128);
    // 4470 bytes / 417 per frame.
    EXPECT_EQ(loader.IndexCapacity(), 10u);
    loader.ScanAll();
    EXPECT_EQ(loader.FrameCount(), 10);
    EXPECT_EQ(loader.IndexCapacity(), 10u) << "a constant-bitrate file must not reallocate";
    for (std::int32_t i = 0; i < 10; ++i)
        EXPECT_EQ(loader.FrameLength(i), 417u);
    // A second scan changes nothing.
    loader.ScanAll();
    EXPECT_EQ(loader.FrameCount(), 10);

    loader.Reset();
    EXPECT_FALSE(loader.Opened());
    EXPECT_EQ(loader.FrameCount(), 0);
    EXPECT_EQ(loader.TotalDurationMs(), 0);
    loader.ScanAll(); // not opened: returns at once
    EXPECT_EQ(loader.FrameCount(), 0);
    EXPECT_TRUE(loader.Open(path));
    EXPECT_EQ(loader.FrameCount(), 1);
}

TEST(FrameLoader, TotalSamplesCountsAllChannelsOfEveryFrame) {
    TempDir dir;
    std::string path = dir.file("n.mp3");
    Bytes mono = mpegFrame(mpegWord(3, 3, 9, 0, 0, 3), 417);
    for (int n : {1, 3, 1000}) {
        writeFile(path, repeat(kFrame, n));
        lv::TFrameLoader stereo(path);
        stereo.ScanAll();
        EXPECT_EQ(stereo.FrameCount(), n);
        EXPECT_EQ(stereo.GetTotalSamples(), std::int64_t(n) * 1152 * 2) << n << " frames";
        writeFile(path, repeat(mono, n));
        lv::TFrameLoader single(path);
        single.ScanAll();
        EXPECT_EQ(single.GetTotalSamples(), std::int64_t(n) * 1152) << n << " frames";
    }
}

TEST(MpegAudioFile, ThreeStereoFramesMake13824Bytes) {
    TempDir dir;
    std::string path = dir.file("three.mp3");
    writeFile(path, repeat(kFrame, 3));
    lv::TMpegAudioFile file(path);
    EXPECT_EQ(file.Kind(), lv::akMpeg);
    EXPECT_EQ(file.Channels(), 2);
    EXPECT_EQ(file.SampleRate(), 44100);
    EXPECT_EQ(file.BitsPerSample(), 16);
    EXPECT_EQ(file.Bitrate(), 128000);
    EXPECT_EQ(file.FileSize(), 1251);
    EXPECT_EQ(file.Loader().FrameCount(), 1) << "opening reads up to the first frame only";
    EXPECT_EQ(file.DataSize(), 13824);
    EXPECT_EQ(file.Loader().FrameCount(), 3);
    EXPECT_NEAR(file.Duration() * 86400, 3 * 1152 / 44100.0, 1e-9);
}

TEST(MpegAudioFile, UnreadableOrFramelessFilesAreInvalid) {
    TempDir dir;
    std::string path = dir.file("none.mp3");
    auto expectInvalid = [&](const std::string& p) {
        try {
            lv::TMpegAudioFile file(p);
            ADD_FAILURE() << p << " opened";
        } catch (const lv::Error& e) {
            EXPECT_EQ(std::string(e.what()), "Invalid MPEG file " + p);
        }
    };
    expectInvalid(dir.file("missing.mp3"));
    expectInvalid(dir.path().string()); // a folder
    writeFile(path, {});
    expectInvalid(path);
    writeFile(path, Bytes(5000, 0x55));
    expectInvalid(path);
    // Only refused headers: bitrate 15, rate index 3, free format.
    writeFile(path,
              concat({mpegFrame(mpegWord(3, 3, 15, 0), 417), mpegFrame(mpegWord(3, 3, 9, 3), 417),
                      mpegFrame(mpegWord(3, 3, 0, 0), 417)}));
    expectInvalid(path);
}

} // namespace
