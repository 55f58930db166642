#include "platform/Compressor.h"
#include "platform/Registry.h"

#include "support/TempDir.h"
#include "support/VideoPattern.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

struct TPacket {
    std::vector<std::uint8_t> data;
    bool key = false;
};

// Compresses frames 0..count-1 of the test pattern; every frame must give one packet.
std::vector<TPacket> CompressPattern(lv::TCompressor& c, std::int32_t w, std::int32_t h, int count,
                                     std::vector<std::uint8_t>* format = nullptr) {
    std::vector<TPacket> packets;
    lv::TDib dib(w, h);
    const lv::BITMAPINFOHEADER in = lv::RgbFormat(w, h);
    std::vector<std::uint8_t> fmt;
    EXPECT_TRUE(c.CompressGetFormat(in, fmt));
    const std::size_t maxSize = c.CompressGetSize(in);
    EXPECT_GT(maxSize, 0u);
    if (!c.CompressBegin(in)) {
        ADD_FAILURE() << "CompressBegin refused " << c.Info().fourCC;
        return packets;
    }
    std::vector<std::uint8_t> out(maxSize);
    for (int t = 0; t < count; ++t) {
        lvtest::DrawPatternFrame(dib, w, h, t);
        std::size_t size = 0;
        bool key = false;
        if (!c.Compress(dib.Header(), dib.Bits(), out, size, key)) {
            ADD_FAILURE() << c.Info().fourCC << ": frame " << t << " did not come out";
            break;
        }
        packets.push_back({std::vector<std::uint8_t>(out.begin(), out.begin() + long(size)), key});
    }
    c.CompressEnd();
    if (format)
        *format = fmt;
    return packets;
}

// Decodes packets with libavcodec's own decoder, set up only from the stream format as an
// AVI reader would be, and returns the pictures as top-down BGR rows of width * 3 bytes.
std::vector<std::vector<std::uint8_t>> Decode(const lv::TCompressorInfo& info,
                                              const std::vector<std::uint8_t>& format,
                                              const std::vector<TPacket>& packets) {
    std::vector<std::vector<std::uint8_t>> pictures;
    lv::BITMAPINFOHEADER h;
    std::memcpy(&h, format.data(), sizeof h);
    const AVCodec* enc = avcodec_find_encoder_by_name(info.encoder.c_str());
    const AVCodec* dec = enc ? avcodec_find_decoder(enc->id) : nullptr;
    if (!dec) {
        ADD_FAILURE() << "no decoder for " << info.encoder;
        return pictures;
    }
    AVCodecContext* ctx = avcodec_alloc_context3(dec);
    ctx->codec_tag = h.biCompression;
    ctx->width = h.biWidth;
    ctx->height = h.biHeight;
    ctx->bits_per_coded_sample = h.biBitCount;
    ctx->thread_count = 1;
    const std::size_t extra = format.size() - sizeof h;
    if (extra) {
        ctx->extradata =
            static_cast<std::uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
        std::memcpy(ctx->extradata, format.data() + sizeof h, extra);
        ctx->extradata_size = int(extra);
    }
    EXPECT_EQ(avcodec_open2(ctx, dec, nullptr), 0);
    AVFrame* frame = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    auto drain = [&] {
        while (avcodec_receive_frame(ctx, frame) == 0) {
            // swscale may write past the end of a row with SIMD: convert into padded rows.
            const int w = frame->width, h = frame->height, padded = (w * 3 + 63) / 64 * 64;
            std::vector<std::uint8_t> tmp(std::size_t(padded) * (h + 1));
            SwsContext* sws =
                sws_getContext(w, h, AVPixelFormat(frame->format), w, h, AV_PIX_FMT_BGR24,
                               SWS_POINT, nullptr, nullptr, nullptr);
            std::uint8_t* dst[1] = {tmp.data()};
            const int stride[1] = {padded};
            sws_scale(sws, frame->data, frame->linesize, 0, h, dst, stride);
            sws_freeContext(sws);
            std::vector<std::uint8_t> bgr(std::size_t(w) * h * 3);
            for (int y = 0; y < h; ++y)
                std::memcpy(bgr.data() + std::size_t(y) * w * 3,
                            tmp.data() + std::size_t(y) * padded, std::size_t(w) * 3);
            pictures.push_back(std::move(bgr));
        }
    };
    for (const auto& p : packets) {
        av_new_packet(pkt, int(p.data.size()));
        std::memcpy(pkt->data, p.data.data(), p.data.size());
        if (p.key)
            pkt->flags |= AV_PKT_FLAG_KEY;
        EXPECT_EQ(avcodec_send_packet(ctx, pkt), 0);
        av_packet_unref(pkt);
        drain();
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return pictures;
}

// Mean absolute difference between a decoded picture and pattern frame t, optionally
// against the pattern turned upside down.
double MeanError(const std::vector<std::uint8_t>& bgr, std::int32_t w, std::int32_t h, int t,
                 bool flipped = false) {
    lv::TDib dib;
    lvtest::DrawPatternFrame(dib, w, h, t);
    double sum = 0;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* a = bgr.data() + std::size_t(y) * w * 3;
        const std::uint8_t* b = dib.ScanLine(flipped ? h - 1 - y : y);
        for (int i = 0; i < w * 3; ++i)
            sum += std::abs(int(a[i]) - int(b[i]));
    }
    return sum / (double(w) * h * 3);
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool Installed(const std::string& fourCC) {
    return lv::TCompressor::Open(fourCC, lv::ICMode::Query) != nullptr;
}

// Each test that touches settings gets its own store.
class SettingsStore {
public:
    SettingsStore() { setenv("LUMIVANE_SETTINGS_DIR", m_dir.path().c_str(), 1); }
    ~SettingsStore() { unsetenv("LUMIVANE_SETTINGS_DIR"); }

private:
    lvtest::TempDir m_dir;
};

} // namespace

TEST(Compressor, OfferedSetOpensByFourCCInAnyCase) {
    const auto& all = lv::ICInstalled();
    std::set<std::string> seen;
    bool xvid = false;
    for (const auto& info : all) {
        ASSERT_EQ(info.fourCC.size(), 4u);
        EXPECT_TRUE(seen.insert(Lower(info.fourCC)).second) << "FourCC twice: " << info.fourCC;
        EXPECT_FALSE(info.description.empty());
        std::uint32_t fcc;
        std::memcpy(&fcc, info.fourCC.data(), 4);
        EXPECT_EQ(info.fccHandler, fcc);
        for (const std::string& name : {info.fourCC, Lower(info.fourCC)}) {
            auto c = lv::TCompressor::Open(name, lv::ICMode::Query);
            ASSERT_NE(c, nullptr) << name;
            EXPECT_EQ(c->Info().encoder, info.encoder);
            EXPECT_EQ(c->Info().fourCC, info.fourCC);
        }
        xvid = xvid || (info.fourCC == "XVID" && info.encoder == "libxvid");
    }
    EXPECT_TRUE(xvid) << "libxvid must be offered as XVID";
    EXPECT_EQ(all.back().fourCC, "DIB ");
    EXPECT_TRUE(all.back().encoder.empty());
    // Only the first four characters count; shorter texts are padded with spaces.
    EXPECT_NE(lv::TCompressor::Open("xvid and more", lv::ICMode::Query), nullptr);
    EXPECT_NE(lv::TCompressor::Open("dib", lv::ICMode::Query), nullptr);
    EXPECT_EQ(lv::TCompressor::Open("QQQQ", lv::ICMode::Query), nullptr);
    EXPECT_EQ(lv::TCompressor::Open("", lv::ICMode::Query), nullptr);
}

TEST(Compressor, QueryRefusesSizesAndInputsTheEncoderCannotTake) {
    std::set<std::string> refuse640;
    for (const auto& info : lv::ICInstalled()) {
        auto c = lv::TCompressor::Open(info.fourCC, lv::ICMode::Query);
        if (!c->CompressQuery(lv::RgbFormat(640, 480)))
            refuse640.insert(info.fourCC);
        EXPECT_FALSE(c->CompressQuery(lv::RgbFormat(-1, -1))) << info.fourCC;
        EXPECT_EQ(c->CompressGetSize(lv::RgbFormat(-1, -1)), 0u) << info.fourCC;
        EXPECT_FALSE(c->CompressQuery(lv::RgbFormat(320, -240))) << info.fourCC << " top-down";
        lv::BITMAPINFOHEADER in32 = lv::RgbFormat(320, 240);
        in32.biBitCount = 32;
        EXPECT_FALSE(c->CompressQuery(in32)) << info.fourCC;
        lv::BITMAPINFOHEADER packed = lv::RgbFormat(320, 240);
        packed.biCompression = info.fccHandler == 0 ? 1 : info.fccHandler;
        EXPECT_FALSE(c->CompressQuery(packed)) << info.fourCC;
        std::vector<std::uint8_t> fmt;
        EXPECT_FALSE(c->CompressGetFormat(lv::RgbFormat(0, 480), fmt)) << info.fourCC;
    }
    // The fixed-size coders are the only ones that cannot take 640x480.
    std::set<std::string> expected;
    for (const char* f : {"U263", "dvsd"})
        if (Installed(f))
            expected.insert(f);
    EXPECT_EQ(refuse640, expected);

    if (Installed("U263")) {
        auto h263 = lv::TCompressor::Open("u263", lv::ICMode::Query);
        EXPECT_FALSE(h263->CompressQuery(lv::RgbFormat(720, 576)));
        EXPECT_TRUE(h263->CompressQuery(lv::RgbFormat(704, 576)));
        EXPECT_TRUE(h263->CompressQuery(lv::RgbFormat(176, 144)));
    }
    if (Installed("dvsd")) {
        auto dv = lv::TCompressor::Open("dvsd", lv::ICMode::Query);
        EXPECT_TRUE(dv->CompressQuery(lv::RgbFormat(720, 576)));
        EXPECT_FALSE(dv->CompressQuery(lv::RgbFormat(704, 576)));
    }
    auto cvid = lv::TCompressor::Open("cvid", lv::ICMode::Query);
    if (cvid) {
        EXPECT_FALSE(cvid->CompressQuery(lv::RgbFormat(174, 144))) << "multiples of 4 only";
        EXPECT_TRUE(cvid->CompressQuery(lv::RgbFormat(176, 144)));
    }
}

struct TRoundTrip {
    const char* fourCC;
    std::int32_t width;
    std::int32_t height;
    double tolerance; // mean absolute error per byte; 0 for lossless coders
};

void PrintTo(const TRoundTrip& r, std::ostream* os) {
    *os << r.fourCC << " " << r.width << "x" << r.height;
}

class CompressorRoundTrip : public testing::TestWithParam<TRoundTrip> {};

TEST_P(CompressorRoundTrip, EveryFrameComesOutAtOnceAndDecodesToTheInput) {
    const TRoundTrip& p = GetParam();
    SettingsStore store;
    auto c = lv::TCompressor::Open(p.fourCC, lv::ICMode::Compress);
    if (!c)
        GTEST_SKIP() << p.fourCC << " is not in this libavcodec build";
    c->CompressFramesInfo(66, 1000);
    constexpr int kFrames = 12;
    std::vector<std::uint8_t> format;
    const auto packets = CompressPattern(*c, p.width, p.height, kFrames, &format);
    ASSERT_EQ(packets.size(), std::size_t(kFrames));
    EXPECT_TRUE(packets[0].key);
    for (const auto& pk : packets)
        EXPECT_GT(pk.data.size(), 0u);

    ASSERT_GE(format.size(), 40u);
    lv::BITMAPINFOHEADER h;
    std::memcpy(&h, format.data(), sizeof h);
    EXPECT_EQ(h.biSize, format.size());
    EXPECT_EQ(h.biWidth, p.width);
    EXPECT_EQ(h.biHeight, p.height);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biCompression, c->Info().encoder.empty() ? lv::BI_RGB : c->Info().fccHandler);

    if (c->Info().encoder.empty()) {
        // Uncompressed: each frame is the bitmap's bytes, padding included.
        lv::TDib dib;
        for (int t = 0; t < kFrames; ++t) {
            lvtest::DrawPatternFrame(dib, p.width, p.height, t);
            EXPECT_TRUE(packets[t].key);
            ASSERT_EQ(packets[t].data.size(), dib.ImageSize());
            EXPECT_EQ(std::memcmp(packets[t].data.data(), dib.Bits(), dib.ImageSize()), 0);
        }
        EXPECT_EQ(h.biSizeImage, dib.ImageSize());
        return;
    }
    const auto pictures = Decode(c->Info(), format, packets);
    ASSERT_EQ(pictures.size(), std::size_t(kFrames));
    for (int t = 0; t < kFrames; ++t) {
        const double err = MeanError(pictures[t], p.width, p.height, t);
        if (p.tolerance == 0)
            EXPECT_EQ(err, 0) << "frame " << t;
        else
            EXPECT_LE(err, p.tolerance) << "frame " << t;
        // The same comparison notices a picture upside down.
        EXPECT_GT(MeanError(pictures[t], p.width, p.height, t, true), 4 * p.tolerance + 10);
    }
}

const TRoundTrip kRoundTrips[] = {
    {"XVID", 176, 144, 4}, {"FMP4", 176, 144, 4}, {"FMP4", 170, 130, 4}, {"H264", 176, 144, 4},
    {"MJPG", 176, 144, 4}, {"MP42", 176, 144, 4}, {"MP43", 176, 144, 4}, {"WMV1", 176, 144, 4},
    {"WMV2", 176, 144, 4}, {"H263", 176, 144, 4}, {"U263", 176, 144, 4}, {"FLV1", 176, 144, 4},
    {"mpg2", 176, 144, 4}, {"HFYU", 176, 144, 0}, {"FFVH", 176, 144, 0}, {"FFV1", 176, 144, 0},
    {"FFV1", 170, 130, 0}, {"ULRG", 176, 144, 0}, {"MPNG", 176, 144, 0}, {"ZMBV", 176, 144, 0},
    {"cvid", 176, 144, 8}, {"MSVC", 176, 144, 8}, {"dvsd", 720, 576, 4}, {"DIB ", 176, 144, 0},
    {"DIB ", 170, 130, 0},
};

INSTANTIATE_TEST_SUITE_P(Offered, CompressorRoundTrip, testing::ValuesIn(kRoundTrips),
                         [](const testing::TestParamInfo<TRoundTrip>& i) {
                             std::string n =
                                 std::string(i.param.fourCC) + "_" + std::to_string(i.param.width);
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return n;
                         });

TEST(Compressor, EveryOfferedCompressorHasARoundTripCase) {
    for (const auto& info : lv::ICInstalled()) {
        bool found = false;
        for (const auto& r : kRoundTrips)
            found = found || info.fourCC == r.fourCC;
        EXPECT_TRUE(found) << info.fourCC << " is offered but never compressed by a test";
    }
}

TEST(Compressor, SettingsPersistPerFourCCAndApplyAtTheNextBegin) {
    SettingsStore store;
    auto c = lv::TCompressor::Open("fmp4", lv::ICMode::Compress);
    ASSERT_NE(c, nullptr);
    auto settings = c->Settings();
    ASSERT_EQ(settings.size(), 2u);
    EXPECT_EQ(settings[0].name, "quality");
    EXPECT_EQ(settings[0].value, settings[0].defaultValue);
    EXPECT_EQ(settings[1].name, "gop");
    EXPECT_EQ(settings[1].value, settings[1].defaultValue);

    const auto sizeAt = [&](int quality, int gop, std::vector<bool>* keys) {
        auto s = c->Settings();
        s[0].value = quality;
        s[1].value = gop;
        c->StoreSettings(s);
        std::size_t total = 0;
        for (const auto& p : CompressPattern(*c, 176, 144, 9)) {
            total += p.data.size();
            if (keys)
                keys->push_back(p.key);
        }
        return total;
    };
    std::vector<bool> keys;
    const std::size_t fine = sizeAt(2, 4, &keys);
    EXPECT_EQ(keys,
              (std::vector<bool>{true, false, false, false, true, false, false, false, true}));
    const std::size_t coarse = sizeAt(31, 4, nullptr);
    EXPECT_GT(fine, coarse * 2) << "the quantiser must reach the encoder";

    // Stored per FourCC, read back by a new instance; out-of-range values are clamped when
    // stored and replaced by the default when found in the store.
    auto again = lv::TCompressor::Open("FMP4", lv::ICMode::Query)->Settings();
    EXPECT_EQ(again[0].value, 31);
    EXPECT_EQ(again[1].value, 4);
    EXPECT_EQ(lv::ReadRegString(lv::CodecSettingsKey(c->Info()), "quality"), "31");
    EXPECT_EQ(lv::CodecSettingsKey(c->Info()), std::string(lv::kSettingsKey) + "\\Codecs\\FMP4");
    again[0].value = 99;
    again[1].value = -5;
    c->StoreSettings(again);
    EXPECT_EQ(c->Settings()[0].value, again[0].maximum);
    EXPECT_EQ(c->Settings()[1].value, again[1].minimum);
    lv::WriteRegString(lv::CodecSettingsKey(c->Info()), "quality", "12x");
    lv::WriteRegString(lv::CodecSettingsKey(c->Info()), "gop", "5000");
    EXPECT_EQ(c->Settings()[0].value, again[0].defaultValue);
    EXPECT_EQ(c->Settings()[1].value, again[1].defaultValue);
    if (Installed("XVID")) {
        EXPECT_EQ(lv::TCompressor::Open("XVID", lv::ICMode::Query)->Settings()[0].value,
                  again[0].defaultValue)
            << "another FourCC keeps its own values";
    }

    // Lossless and uncompressed coders have nothing to configure.
    EXPECT_TRUE(lv::TCompressor::Open("DIB ", lv::ICMode::Query)->Settings().empty());
    if (Installed("HFYU")) {
        EXPECT_TRUE(lv::TCompressor::Open("HFYU", lv::ICMode::Query)->Settings().empty());
    }
}

TEST(Compressor, H264KeyIntervalAndPresetReachTheEncoder) {
    SettingsStore store;
    auto c = lv::TCompressor::Open("H264", lv::ICMode::Compress);
    if (!c)
        GTEST_SKIP() << "no libx264 here";
    auto s = c->Settings();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[1].name, "preset");
    ASSERT_EQ(s[1].choices.size(), std::size_t(s[1].maximum + 1));
    EXPECT_EQ(s[1].choices[std::size_t(s[1].value)], "veryfast");
    s[2].value = 3;
    c->StoreSettings(s);
    std::vector<bool> keys;
    for (const auto& p : CompressPattern(*c, 176, 144, 7))
        keys.push_back(p.key);
    EXPECT_EQ(keys, (std::vector<bool>{true, false, false, true, false, false, true}));
}

TEST(Compressor, RefusesMisuseInsteadOfReadingOrWritingOutOfBounds) {
    lv::TDib dib(176, 144);
    std::vector<std::uint8_t> out(1 << 20);
    std::size_t size = 0;
    bool key = false;
    for (const char* fcc : {"FMP4", "DIB "}) {
        SCOPED_TRACE(fcc);
        auto query = lv::TCompressor::Open(fcc, lv::ICMode::Query);
        EXPECT_FALSE(query->CompressBegin(dib.Header())) << "query mode does not compress";
        EXPECT_FALSE(query->Compress(dib.Header(), dib.Bits(), out, size, key));

        auto c = lv::TCompressor::Open(fcc, lv::ICMode::Compress);
        EXPECT_FALSE(c->Compress(dib.Header(), dib.Bits(), out, size, key)) << "before begin";
        ASSERT_TRUE(c->CompressBegin(dib.Header()));
        lv::TDib other(320, 240);
        EXPECT_FALSE(c->Compress(other.Header(), other.Bits(), out, size, key));
        EXPECT_FALSE(c->Compress(dib.Header(), nullptr, out, size, key));
        std::vector<std::uint8_t> tiny(8);
        EXPECT_FALSE(c->Compress(dib.Header(), dib.Bits(), tiny, size, key));
        c->CompressEnd();
        c->CompressEnd();
        EXPECT_FALSE(c->Compress(dib.Header(), dib.Bits(), out, size, key)) << "after end";
        // Begin again after end works.
        ASSERT_TRUE(c->CompressBegin(dib.Header()));
        EXPECT_TRUE(c->Compress(dib.Header(), dib.Bits(), out, size, key));
        EXPECT_TRUE(key);
    }
}

TEST(Compressor, AboutNamesTheEncoderItsVersionAndLicence) {
    const unsigned v = avcodec_version();
    const std::string version = "libavcodec " + std::to_string(v >> 16) + ".";
    for (const auto& info : lv::ICInstalled()) {
        const std::string about =
            lv::TCompressor::Open(info.fourCC, lv::ICMode::Query)->AboutText();
        EXPECT_NE(about.find(info.description), std::string::npos) << info.fourCC;
        if (info.encoder.empty())
            continue;
        EXPECT_NE(about.find("Encoder: " + info.encoder + " ("), std::string::npos) << about;
        EXPECT_NE(about.find(version), std::string::npos) << about;
        EXPECT_NE(about.find(avcodec_license()), std::string::npos) << about;
    }
}
