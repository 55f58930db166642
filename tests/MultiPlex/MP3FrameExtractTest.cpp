#include "MultiPlex/MP3FrameExtract.h"
#include "MultiPlex/MP3Header.h"

#include "platform/Errors.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Header fields as they sit in the 4 bytes; defaults: MPEG-1 Layer III, no CRC, stereo.
struct Hdr {
    int version = 3;   // bits 20-19: 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG 2.5, 1 = reserved
    int layerBits = 1; // 3 = Layer I, 2 = Layer II, 1 = Layer III, 0 = reserved
    int bitrateIndex = 9;
    int rateIndex = 0;
    int padding = 0;
    int mode = 0; // 3 = single channel

    Bytes bytes() const {
        std::uint32_t h = 0xFFEu << 20 | std::uint32_t(version) << 19 |
                          std::uint32_t(layerBits) << 17 | 1u << 16 |
                          std::uint32_t(bitrateIndex) << 12 | std::uint32_t(rateIndex) << 10 |
                          std::uint32_t(padding) << 9 | std::uint32_t(mode) << 6;
        return {std::uint8_t(h >> 24), std::uint8_t(h >> 16), std::uint8_t(h >> 8),
                std::uint8_t(h)};
    }
    lv::TMP3Header header() const { return lv::TMP3Header::FromBytes(bytes().data()); }
};

// A frame of the given length: the header, then payload bytes that hold no sync pattern.
void appendFrame(Bytes& out, const Hdr& h, int length) {
    Bytes b = h.bytes();
    out.insert(out.end(), b.begin(), b.end());
    out.insert(out.end(), length - 4, 0x55);
}

std::string writeFile(const lvtest::TempDir& dir, const std::string& name, const Bytes& data) {
    std::string path = dir.file(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return path;
}

lv::TMP3FrameExtract scanned(const std::string& path) {
    lv::TMP3FrameExtract x(path);
    x.Scan();
    return x;
}

} // namespace

TEST(MP3Header, LengthsRatesAndAcceptance) {
    struct Case {
        const char* what;
        Hdr h;
        int length;
        bool valid;
        int bitrate;
        int rate;
    };
    const Case cases[] = {
        {"MPEG-1 L3 128k 44.1k", {}, 417, true, 128000, 44100},
        {"padded", {.padding = 1}, 418, true, 128000, 44100},
        {"MPEG-1 L3 192k 48k", {.bitrateIndex = 11, .rateIndex = 1}, 576, true, 192000, 48000},
        {"MPEG-1 L3 32k 32k", {.bitrateIndex = 1, .rateIndex = 2}, 144, true, 32000, 32000},
        {"MPEG-2 L3 64k 22.05k", {.version = 2, .bitrateIndex = 8}, 208, true, 64000, 22050},
        {"MPEG-2 L3 8k 16k",
         {.version = 2, .bitrateIndex = 1, .rateIndex = 2},
         36,
         true,
         8000,
         16000},
        {"MPEG 2.5 L3 32k 11.025k", {.version = 0, .bitrateIndex = 4}, 208, true, 32000, 11025},
        {"MPEG 2.5 L3 8k 8k",
         {.version = 0, .bitrateIndex = 1, .rateIndex = 2},
         72,
         true,
         8000,
         8000},
        {"MPEG-1 L2 192k 48k",
         {.layerBits = 2, .bitrateIndex = 10, .rateIndex = 1},
         576,
         true,
         192000,
         48000},
        {"MPEG-2 L2 64k 24k",
         {.version = 2, .layerBits = 2, .bitrateIndex = 8, .rateIndex = 1},
         384,
         true,
         64000,
         24000},
        {"Layer I refused", {.layerBits = 3, .bitrateIndex = 4}, 136, false, 128000, 44100},
        {"free format refused", {.bitrateIndex = 0}, 38, false, 0, 44100},
        {"free format padded", {.bitrateIndex = 0, .padding = 1}, 39, false, 0, 44100},
        {"bitrate index 15", {.bitrateIndex = 15, .padding = 1}, 1, false, 0, 44100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        lv::TMP3Header h = c.h.header();
        EXPECT_EQ(h.FrameLength(), c.length);
        EXPECT_EQ(h.IsValid(), c.valid);
        EXPECT_EQ(h.Bitrate(), c.bitrate);
        EXPECT_EQ(h.SampleRate(), c.rate);
    }

    // Lengths out of 1..10000 zero the header, which then fails the sync test.
    const Hdr zeroed[] = {{.rateIndex = 3},
                          {.bitrateIndex = 15},
                          {.layerBits = 2, .rateIndex = 3},
                          {.layerBits = 0},
                          {.version = 1}};
    for (std::size_t i = 0; i < std::size(zeroed); ++i) {
        lv::TMP3Header h = zeroed[i].header();
        EXPECT_FALSE(h.IsValid()) << i;
        EXPECT_EQ(h.FrameLength(), 0) << i;
        EXPECT_EQ(h.Header(), 0u) << i;
    }

    lv::TMP3Header first = Hdr{.mode = 3}.header();
    EXPECT_EQ(first.Header(), 0xFFFB90C0u); // first file byte most significant
    EXPECT_EQ(first.Channels(), 1);
    EXPECT_EQ(Hdr{.mode = 1}.header().Channels(), 2);
    // The constructor takes the bytes loaded little-endian.
    EXPECT_FALSE(lv::TMP3Header(0x00C090FBu).IsValid()); // FB 90 C0 00: no sync
    EXPECT_EQ(lv::TMP3Header(0xC090FBFFu).Header(), 0xFFFB90C0u);
}

TEST(MP3FrameExtract, BackToBackFramesListTheirEnds) {
    lvtest::TempDir dir;
    const int n = 6;
    Bytes data;
    for (int i = 0; i < n; ++i)
        appendFrame(data, Hdr{}, 417);
    auto x = scanned(writeFile(dir, "cbr.mp3", data));

    ASSERT_EQ(x.Offsets().size(), std::size_t(n));
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(x.Offsets()[i], 417 * (i + 1));
        EXPECT_EQ(x.FrameStart(i), 417 * i);
        EXPECT_EQ(x.FrameEnd(i), 417 * (i + 1));
    }
    EXPECT_EQ(x.FrameCount(), n - 1);
    EXPECT_EQ(x.FrameSize(0), 417);
    EXPECT_EQ(x.FrameOffset(0), 417);
    EXPECT_EQ(x.FrameOffset(n - 2), 417 * (n - 1));
    EXPECT_EQ(x.FrameOffset(n - 1), -1);
    EXPECT_EQ(x.FrameOffset(-1), -1);
    EXPECT_EQ(x.FrameSize(n - 3), 417);
    EXPECT_EQ(x.FrameSize(n - 2), -1);
    EXPECT_EQ(x.CompleteFrames(), n);
    EXPECT_EQ(x.Bitrate(), 128000);
    EXPECT_EQ(x.SampleRate(), 44100);
    EXPECT_EQ(x.Channels(), 2);
}

TEST(MP3FrameExtract, RefusedHeadersAndTinyFilesGiveNoFrames) {
    lvtest::TempDir dir;
    const Hdr refused[] = {{.layerBits = 3, .bitrateIndex = 4},
                           {.rateIndex = 3},
                           {.bitrateIndex = 0},
                           {.bitrateIndex = 15}};
    int k = 0;
    for (const Hdr& h : refused) {
        Bytes data;
        for (int i = 0; i < 8; ++i)
            appendFrame(data, h, 136);
        auto x = scanned(writeFile(dir, "refused" + std::to_string(k++) + ".mp3", data));
        EXPECT_TRUE(x.Offsets().empty()) << k;
        EXPECT_EQ(x.FrameCount(), -1);
        EXPECT_EQ(x.Bitrate(), 0);
        EXPECT_EQ(x.SampleRate(), 0);
        EXPECT_EQ(x.Channels(), 0);
        EXPECT_FALSE(x.Reference().has_value());
    }

    // A valid header in 4 bytes or fewer is never read; with one byte more it is.
    Bytes header = Hdr{}.bytes();
    for (std::size_t size = 0; size <= 4; ++size) {
        Bytes data(header.begin(), header.begin() + size);
        auto x = scanned(writeFile(dir, "tiny.mp3", data));
        EXPECT_TRUE(x.Offsets().empty()) << size;
    }
    header.push_back(0);
    // A lone header is no frame, however the file ends; after a frame it is read with one
    // byte more, and listed though cut short.
    EXPECT_TRUE(scanned(writeFile(dir, "five.mp3", header)).Offsets().empty());
    Bytes two;
    appendFrame(two, Hdr{}, 417);
    two.insert(two.end(), header.begin(), header.end());
    auto cut = scanned(writeFile(dir, "two.mp3", two));
    EXPECT_EQ(cut.Offsets(), (std::vector<std::int64_t>{417, 834}));
    EXPECT_EQ(cut.CompleteFrames(), 1);
    two.pop_back();
    EXPECT_EQ(scanned(writeFile(dir, "short.mp3", two)).Offsets(),
              (std::vector<std::int64_t>{417}));

    // Noise holds valid-looking headers but never frames that follow each other. Without
    // that rule noise would be copied into videos as audio.
    Bytes noise(1 << 20);
    std::uint32_t seed = 12345;
    for (std::uint8_t& b : noise)
        b = std::uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
    EXPECT_TRUE(scanned(writeFile(dir, "noise.mp3", noise)).Offsets().empty());
}

TEST(MP3FrameExtract, SearchesPastJunkAndListsATruncatedLastFrame) {
    lvtest::TempDir dir;
    Bytes data = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 100};
    data.insert(data.end(), 100, 0); // tag body and padding
    appendFrame(data, Hdr{}, 417);
    appendFrame(data, Hdr{.padding = 1}, 418);
    appendFrame(data, Hdr{}, 417);
    // Junk with a false sync: a reserved-layer candidate is stepped over as 4 bytes.
    data.insert(data.end(), {0xFF, 0x00, 0xFF, 0xE0, 0x00, 0x00, 0x12});
    appendFrame(data, Hdr{.bitrateIndex = 5}, 208); // 64 kbit/s: 208 bytes
    appendFrame(data, Hdr{}, 417);
    data.resize(data.size() - 200); // the last frame is cut short
    auto x = scanned(writeFile(dir, "tagged.mp3", data));

    const std::vector<std::int64_t> starts = {110, 527, 945, 1369, 1577};
    const std::vector<std::int64_t> ends = {527, 945, 1362, 1577, 1994};
    ASSERT_EQ(x.Offsets(), ends);
    for (std::size_t k = 0; k < starts.size(); ++k)
        EXPECT_EQ(x.FrameStart(int(k)), starts[k]);
    EXPECT_EQ(x.FileSize(), 1794);
    EXPECT_EQ(x.CompleteFrames(), 4);
    EXPECT_EQ(x.FrameCount(), 4);
    // Sizes still come from the frame ends, whatever lies between frames.
    EXPECT_EQ(x.FrameSize(0), 418);
    EXPECT_EQ(x.FrameSize(2), 215);
}

TEST(MP3FrameExtract, ProgressEveryTenthSearchAndCancelKeepsWhatWasListed) {
    lvtest::TempDir dir;
    Bytes data;
    for (int i = 0; i < 25; ++i)
        appendFrame(data, Hdr{}, 417);
    std::string path = writeFile(dir, "25.mp3", data);

    lv::TMP3FrameExtract x(path);
    std::vector<int> reports;
    int asked = 0;
    x.OnScanProgress = [&](std::uint8_t percent) { reports.push_back(percent); };
    x.OnCheckCancel = [&] { return ++asked == 1000; };
    x.Scan();
    EXPECT_EQ(x.Offsets().size(), 25u);
    // 26 searches (the last finds nothing): reports after the 10th and the 20th.
    EXPECT_EQ(reports, (std::vector<int>{40, 80}));
    EXPECT_EQ(asked, 25);

    lv::TMP3FrameExtract y(path);
    asked = 0;
    y.OnCheckCancel = [&] { return ++asked == 3; };
    y.Scan();
    EXPECT_EQ(y.Offsets().size(), 3u);

    lv::TMP3FrameExtract missing(dir.file("missing.mp3"));
    try {
        missing.Scan();
        ADD_FAILURE() << "no error for a missing file";
    } catch (const lv::Error& e) {
        EXPECT_NE(std::string(e.what()).find("missing.mp3"), std::string::npos) << e.what();
    }
    lv::TMP3FrameExtract folder(dir.path().string());
    EXPECT_THROW(folder.Scan(), lv::Error);
}
