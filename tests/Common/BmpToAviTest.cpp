#include "Common/BmpToAvi.h"
#include "platform/AviFile.h"
#include "platform/Errors.h"
#include "platform/Files.h"

#include "support/Ffprobe.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/VideoPattern.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct TSample {
    std::uint32_t size = 0;
    bool key = false;
};

// Each test gets its own settings store, so stored encoder settings do not leak in.
class BmpToAviTest : public testing::Test {
protected:
    void SetUp() override { setenv("LUMIVANE_SETTINGS_DIR", m_settings.path().c_str(), 1); }
    void TearDown() override { unsetenv("LUMIVANE_SETTINGS_DIR"); }

    lvtest::TempDir dir;

private:
    lvtest::TempDir m_settings;
};

// Adds frames first..first+count-1 of the moving pattern; returns what the writer wrote.
std::vector<TSample> AddPattern(lv::TBmpToAvi& w, std::int32_t width, std::int32_t height,
                                int count, int first = 0) {
    std::vector<TSample> written;
    lv::TDib dib;
    for (int t = first; t < first + count; ++t) {
        lvtest::DrawPatternFrame(dib, width, height, t);
        w.AddFrame(dib);
        written.push_back({w.OutputFormat().biSizeImage, w.LastKeyFrame()});
    }
    return written;
}

// Sets a writer up as the main window does before a run (without opening it).
void Configure(lv::TBmpToAvi& w, const std::string& codec, const std::string& path,
               std::int32_t width, std::int32_t height, int frameTime) {
    w.Width = width;
    w.Height = height;
    w.FrameTime = frameTime;
    w.FileName = path;
    w.SetCodec(codec);
}

std::vector<TSample> WriteRun(const std::string& codec, const std::string& path, std::int32_t width,
                              std::int32_t height, int frameTime, int frames) {
    lv::TBmpToAvi w;
    Configure(w, codec, path, width, height, frameTime);
    w.Open();
    auto written = AddPattern(w, width, height, frames);
    w.Close();
    return written;
}

struct TProbe {
    bool ok = false;
    std::string codecName, tag, rate, timeBase;
    int packets = -1, width = 0, height = 0, streams = 0;
};

TProbe Probe(const std::string& path) {
    TProbe p;
    const auto r = lvtest::runProcess(
        "ffprobe", {"-v", "error", "-count_packets", "-show_entries",
                    "stream=codec_name,codec_tag_string,avg_frame_rate,time_base,nb_read_packets,"
                    "width,height",
                    "-of", "json", path});
    const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out));
    const QJsonArray streams = doc.object().value("streams").toArray();
    if (r.exitCode != 0 || streams.isEmpty())
        return p;
    const QJsonObject s = streams.at(0).toObject();
    p.ok = r.err.empty();
    p.streams = int(streams.size());
    p.codecName = s.value("codec_name").toString().toStdString();
    p.tag = s.value("codec_tag_string").toString().toStdString();
    // The rate the AVI header records. (r_frame_rate is ffprobe's guess from timing inside
    // some bitstreams: 91/6 for MPEG-4 at 500/33, in ffmpeg's own AVI files as well.)
    p.rate = s.value("avg_frame_rate").toString().toStdString();
    p.timeBase = s.value("time_base").toString().toStdString();
    p.packets = s.value("nb_read_packets").toString().toInt();
    p.width = s.value("width").toInt();
    p.height = s.value("height").toInt();
    return p;
}

// Our own reader: the video stream's header, format and every sample's size and key flag.
struct TReadBack {
    lv::AVISTREAMINFO info;
    std::vector<std::uint8_t> format;
    std::int32_t start = -1;
    std::vector<TSample> samples;
};

TReadBack ReadBack(const std::string& path) {
    TReadBack rb;
    lv::PAVIFILE file;
    EXPECT_EQ(lv::AVIFileOpen(file, path, lv::OF_READ), lv::AVIERR_OK);
    lv::PAVISTREAM s;
    EXPECT_EQ(lv::AVIFileGetStream(file, s, lv::streamtypeVIDEO, 0), lv::AVIERR_OK);
    if (!s)
        return rb;
    lv::AVIStreamInfo(s, rb.info);
    std::int32_t size = 0;
    lv::AVIStreamReadFormat(s, 0, nullptr, &size);
    rb.format.resize(std::size_t(size));
    lv::AVIStreamReadFormat(s, 0, rb.format.data(), &size);
    rb.start = lv::AVIStreamStart(s);
    for (std::int32_t i = rb.start; i < rb.start + lv::AVIStreamLength(s); ++i) {
        std::int32_t bytes = 0, n = 0;
        EXPECT_EQ(lv::AVIStreamRead(s, i, 1, nullptr, 0, &bytes, &n), lv::AVIERR_OK);
        rb.samples.push_back({std::uint32_t(bytes), lv::AVIStreamIsKeyFrame(s, i)});
    }
    lv::AVIStreamRelease(s);
    lv::AVIFileRelease(file);
    return rb;
}

bool SameSamples(const std::vector<TSample>& a, const std::vector<TSample>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].size != b[i].size || a[i].key != b[i].key)
            return false;
    return true;
}

bool Installed(const std::string& fourCC) {
    return lv::TCompressor::Open(fourCC, lv::ICMode::Query) != nullptr;
}

template <class E, class F> std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "(nothing raised)";
}

// A failed check as the window shows it: the message and where the check is.
template <class F> std::string LocatedFailureOf(F&& f) {
    try {
        f();
    } catch (const lv::EAssertionFailed& e) {
        return lv::ErrorWithLocation(e);
    }
    return "(nothing raised)";
}

} // namespace

struct TCodecCase {
    const char* codec;     // as the user picks it; case as typed
    const char* tag;       // ffprobe's codec_tag_string: the strf FourCC
    const char* codecName; // ffprobe's decoder
    int frames;
};

void PrintTo(const TCodecCase& c, std::ostream* os) {
    *os << c.codec;
}

class BmpToAviCodec : public BmpToAviTest,
                      public testing::WithParamInterface<std::tuple<TCodecCase, int>> {};

TEST_P(BmpToAviCodec, WritesAFileFfmpegAndOurReaderReadBackFrameForFrame) {
    const auto& [c, sizeIndex] = GetParam();
    constexpr std::int32_t kSizes[][2] = {{640, 480}, {720, 576}, {704, 576}};
    const std::int32_t width = kSizes[sizeIndex][0], height = kSizes[sizeIndex][1];
    auto query = lv::TCompressor::Open(c.codec, lv::ICMode::Query);
    if (!query)
        GTEST_SKIP() << c.codec << " is not in this libavcodec build";
    if (!query->CompressQuery(lv::RgbFormat(width, height)))
        GTEST_SKIP() << c.codec << " does not take " << width << "x" << height;
    ASSERT_TRUE(lvtest::haveProgram("ffprobe") && lvtest::haveProgram("ffmpeg"));

    const std::string path = dir.file("out.avi");
    const auto written = WriteRun(c.codec, path, width, height, 66, c.frames);
    ASSERT_EQ(written.size(), std::size_t(c.frames));
    EXPECT_TRUE(written[0].key);

    const TProbe p = Probe(path);
    ASSERT_TRUE(p.ok) << "ffprobe could not read " << c.codec;
    EXPECT_EQ(p.streams, 1);
    EXPECT_EQ(p.tag, c.tag);
    EXPECT_EQ(p.codecName, c.codecName);
    EXPECT_EQ(p.packets, c.frames);
    EXPECT_EQ(p.rate, "500/33"); // 15 fps: 1000 / (1000 div 15)
    EXPECT_EQ(p.timeBase, "33/500");
    EXPECT_EQ(p.width, width);
    EXPECT_EQ(p.height, height);
    EXPECT_EQ(lvtest::decodeErrors(path), "");

    const TReadBack rb = ReadBack(path);
    EXPECT_EQ(rb.start, 0);
    EXPECT_TRUE(SameSamples(rb.samples, written)) << "sizes or key flags differ";
    EXPECT_EQ(rb.info.fccType, lv::streamtypeVIDEO);
    EXPECT_EQ(rb.info.fccHandler, lv::FourCCFromText(c.codec)) << "the text as given";
    EXPECT_EQ(rb.info.dwFlags, 0xCu);
    EXPECT_EQ(rb.info.dwScale, 66u);
    EXPECT_EQ(rb.info.dwRate, 1000u);
    EXPECT_EQ(rb.info.dwQuality, 10000u);
    EXPECT_EQ(rb.info.rcFrame.right, width);
    EXPECT_EQ(rb.info.rcFrame.bottom, height);
    EXPECT_EQ(rb.info.szName, "Main Video Stream");
    ASSERT_GE(rb.format.size(), sizeof(lv::BITMAPINFOHEADER));
    lv::BITMAPINFOHEADER h;
    std::memcpy(&h, rb.format.data(), sizeof h);
    EXPECT_EQ(h.biSize, rb.format.size());
    EXPECT_EQ(h.biWidth, width);
    EXPECT_EQ(h.biHeight, height);
}

const TCodecCase kCodecCases[] = {
    {"xvid", "XVID", "mpeg4", 20},     {"FMP4", "FMP4", "mpeg4", 20},
    {"H264", "H264", "h264", 20},      {"MJPG", "MJPG", "mjpeg", 20},
    {"MP42", "MP42", "msmpeg4v2", 20}, {"MP43", "MP43", "msmpeg4v3", 20},
    {"WMV1", "WMV1", "wmv1", 20},      {"WMV2", "WMV2", "wmv2", 20},
    {"H263", "H263", "h263", 20},      {"U263", "U263", "h263", 20},
    {"FLV1", "FLV1", "flv1", 20},      {"mpg2", "mpg2", "mpeg2video", 20},
    {"HFYU", "HFYU", "huffyuv", 20},   {"FFVH", "FFVH", "ffvhuff", 20},
    {"FFV1", "FFV1", "ffv1", 20},      {"ULRG", "ULRG", "utvideo", 20},
    {"MPNG", "MPNG", "png", 20},       {"ZMBV", "ZMBV", "zmbv", 20},
    {"cvid", "cvid", "cinepak", 3},    {"MSVC", "MSVC", "msvideo1", 20},
    {"dvsd", "dvsd", "dvvideo", 20},   {"DIB ", "[0][0][0][0]", "rawvideo", 20},
};

INSTANTIATE_TEST_SUITE_P(Offered, BmpToAviCodec,
                         testing::Combine(testing::ValuesIn(kCodecCases), testing::Values(0, 1)),
                         [](const auto& i) {
                             std::string n = std::get<0>(i.param).codec;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return n + (std::get<1>(i.param) == 0 ? "_640x480" : "_720x576");
                         });
// H.263 takes only its own sizes, none of the program's.
INSTANTIATE_TEST_SUITE_P(FixedSize, BmpToAviCodec,
                         testing::Combine(testing::Values(TCodecCase{"U263", "U263", "h263", 20}),
                                          testing::Values(2)));

TEST(BmpToAviCodecTable, CoversEveryOfferedCompressor) {
    for (const auto& info : lv::ICInstalled()) {
        bool found = false;
        for (const auto& c : kCodecCases)
            found = found || lv::FourCCFromText(c.codec) == info.fccHandler ||
                    std::string(c.tag) == info.fourCC;
        EXPECT_TRUE(found) << info.fourCC << " has no AVI test case";
    }
}

TEST_F(BmpToAviTest, OpenReplacesAnExistingFileAndASecondOpenFinishesTheFirst) {
    const std::string a = dir.file("a.avi"), b = dir.file("b.avi");
    {
        std::ofstream junk(a, std::ios::binary);
        junk << std::string(3 << 20, 'x');
    }
    lv::TBmpToAvi w;
    Configure(w, "FMP4", a, 320, 240, 40);
    w.Open();
    EXPECT_TRUE(w.IsOpen());
    EXPECT_FALSE(w.IsClosed());
    const auto first = AddPattern(w, 320, 240, 3);
    // No Close: the next Open must release and finish the first file.
    w.FileName = b;
    w.Open();
    const auto second = AddPattern(w, 320, 240, 1);
    w.Close();
    EXPECT_FALSE(w.IsOpen());
    EXPECT_TRUE(w.IsClosed());

    const TProbe pa = Probe(a), pb = Probe(b);
    ASSERT_TRUE(pa.ok);
    EXPECT_EQ(pa.packets, 3);
    EXPECT_EQ(pa.rate, "25/1");
    EXPECT_EQ(lvtest::decodeErrors(a), "");
    EXPECT_LT(std::filesystem::file_size(a), std::uintmax_t(3 << 20)) << "old bytes left behind";
    EXPECT_TRUE(SameSamples(ReadBack(a).samples, first));
    // A run of one frame: the frame sits at position 0 and Close finishes the file.
    ASSERT_TRUE(pb.ok);
    EXPECT_EQ(pb.packets, 1);
    EXPECT_EQ(lvtest::decodeErrors(b), "");
    const TReadBack rb = ReadBack(b);
    EXPECT_EQ(rb.start, 0);
    EXPECT_TRUE(SameSamples(rb.samples, second));
}

TEST_F(BmpToAviTest, SetCodecChecksTheCompressorAndKeepsCodecOnFailure) {
    lv::TBmpToAvi w;
    EXPECT_EQ(w.Width, -1);
    EXPECT_EQ(w.Height, -1);
    EXPECT_EQ(w.FrameTime, -1);
    EXPECT_TRUE(w.Codec.empty());
    EXPECT_FALSE(w.IsOpen());
    EXPECT_FALSE(w.IsClosed());

    // Before any run the size is -1: the compressor only has to exist.
    w.SetCodec("xvid");
    EXPECT_EQ(w.Codec, "xvid");
    try {
        w.SetCodec("QQQQ");
        ADD_FAILURE() << "unknown FourCC accepted";
    } catch (const lv::EAssertionFailed&) {
        ADD_FAILURE() << "must be a plain error";
    } catch (const lv::Error& e) {
        EXPECT_STREQ(e.what(), "No compressor for QQQQ available");
    }
    EXPECT_EQ(w.Codec, "xvid");

    // With a size, a compressor that cannot take it is refused like an unknown one.
    w.Width = 640;
    w.Height = 480;
    if (Installed("U263")) {
        EXPECT_EQ(MessageOf<lv::Error>([&] { w.SetCodec("u263"); }),
                  "No compressor for u263 available");
        EXPECT_EQ(w.Codec, "xvid");
        w.Width = 704;
        w.Height = 576;
        w.SetCodec("u263");
        EXPECT_EQ(w.Codec, "u263");
    }
    w.SetCodec("");
    EXPECT_TRUE(w.Codec.empty());
}

TEST_F(BmpToAviTest, OpenFailuresNameTheStepAndTheWriterStaysUsable) {
    lv::TBmpToAvi w;
    Configure(w, "DIB ", "", 320, 240, 66);

    {
        std::ofstream notAFolder(dir.file("plain.txt"));
        notAFolder << "x";
    }
    const std::pair<std::string, std::string> failures[] = {
        {dir.file("missing/out.avi"), "No such file or directory"},
        {dir.file("plain.txt/out.avi"), "Not a directory"}};
    for (const auto& [bad, reason] : failures) {
        w.FileName = bad;
        try {
            w.Open();
            ADD_FAILURE() << "opened " << bad;
        } catch (const lv::EAssertionFailed& e) {
            EXPECT_EQ(std::string(e.what()).rfind("FileOpen failed. Err: $8004406F. ", 0), 0u)
                << e.what();
            EXPECT_EQ(e.unit(), "U_BmpToAvi");
            EXPECT_EQ(e.line(), 304);
            // The system's reason and the path follow the program's own message.
            EXPECT_EQ(lv::ErrorWithLocation(e), "FileOpen failed. Err: $8004406F. " + reason +
                                                    ": \"" + bad + "\" (U_BmpToAvi, line 304)");
        }
        EXPECT_FALSE(w.IsOpen());
    }

    // No codec, or a FourCC put straight into Codec that no compressor has.
    w.FileName = dir.file("nocodec.avi");
    for (const std::string& codec : {std::string(), std::string("QQQQ")}) {
        w.Codec = codec;
        EXPECT_EQ(LocatedFailureOf([&] { w.Open(); }), "ICOpen failed. (U_BmpToAvi, line 334)");
    }

    w.SetCodec("dib ");
    w.FileName = dir.file("good.avi");
    w.Open();
    const auto written = AddPattern(w, 320, 240, 2);
    w.Close();
    const TProbe p = Probe(w.FileName);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.packets, 2);
    EXPECT_EQ(lvtest::decodeErrors(w.FileName), "");
    EXPECT_TRUE(SameSamples(ReadBack(w.FileName).samples, written));
}

TEST_F(BmpToAviTest, AddFrameFailuresNameTheStep) {
    lv::TBmpToAvi w;
    Configure(w, "FMP4", dir.file("frames.avi"), 320, 240, 40);
    lv::TDib dib;
    lvtest::DrawPatternFrame(dib, 320, 240, 0);

    // Never opened: no compressor to ask.
    EXPECT_EQ(LocatedFailureOf([&] { w.AddFrame(dib); }),
              "ICCompressGetFormat failed. (U_BmpToAvi, line 120)");
    w.Open();
    EXPECT_EQ(LocatedFailureOf([&] { w.AddFrame(lv::TDib()); }),
              "GetObject failed : The bitmap has no pixels. (U_BmpToAvi, line 106)");
    // A size no encoder takes.
    EXPECT_EQ(LocatedFailureOf([&] { w.AddFrame(lv::TDib(20000, 2)); }),
              "ICCompressGetFormat failed. (U_BmpToAvi, line 120)");
    w.AddFrame(dib);
    // The first frame fixed the size; another size cannot be compressed into this stream.
    EXPECT_EQ(LocatedFailureOf([&] { w.AddFrame(lv::TDib(160, 120)); }),
              "ICCompress failed. (U_BmpToAvi, line 155)");
    w.AddFrame(dib);
    w.Close();
    const TProbe p = Probe(w.FileName);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.packets, 2);
    EXPECT_EQ(lvtest::decodeErrors(w.FileName), "");
}

TEST_F(BmpToAviTest, ListCodecsOffersWhatTakes640x480WithItsFourCCFirst) {
    std::vector<std::string> list{"stale line"};
    lv::TBmpToAvi::ListCodecs(list);
    ASSERT_FALSE(list.empty());
    std::size_t next = 0; // lines keep the order of the installed set
    for (const auto& line : list) {
        ASSERT_GE(line.size(), 5u) << line;
        EXPECT_EQ(line[4], ' ') << line;
        const std::string fcc = line.substr(0, 4);
        const auto& all = lv::ICInstalled();
        while (next < all.size() && all[next].fourCC != fcc)
            ++next;
        ASSERT_LT(next, all.size()) << line << " out of order or unknown";
        EXPECT_EQ(line, all[next].fourCC + " " + all[next].description);
        EXPECT_NE(fcc, "U263");
        EXPECT_NE(fcc, "dvsd");
    }
    EXPECT_NE(std::find(list.begin(), list.end(), "XVID libxvidcore MPEG-4 part 2"), list.end());
    EXPECT_EQ(list.back(), "DIB  Uncompressed RGB 24-bit");
    // Every line names a compressor SetCodec accepts at 640x480.
    lv::TBmpToAvi w;
    w.Width = 640;
    w.Height = 480;
    for (const auto& line : list)
        EXPECT_NO_THROW(w.SetCodec(line.substr(0, 4))) << line;
}

TEST_F(BmpToAviTest, ConfigureAndAboutServeTheCodecsSettingsAndText) {
    lv::TBmpToAvi w;
    EXPECT_TRUE(w.Configure().empty());
    EXPECT_EQ(w.About(), "");
    w.SetCodec("xvid");
    auto settings = w.Configure();
    ASSERT_FALSE(settings.empty());
    EXPECT_EQ(settings[0].name, "quality");
    settings[0].value = 7;
    w.StoreConfiguration(settings);
    EXPECT_EQ(w.Configure()[0].value, 7);
    w.SetCodec("FMP4");
    EXPECT_EQ(w.Configure()[0].value, w.Configure()[0].defaultValue) << "kept per FourCC";
    EXPECT_NE(w.About().find("Encoder: mpeg4"), std::string::npos) << w.About();
    w.SetCodec("DIB ");
    EXPECT_TRUE(w.Configure().empty());
    EXPECT_NE(w.About().find("Uncompressed"), std::string::npos);
}

TEST_F(BmpToAviTest, CloseReportsAFileThatCouldNotBeFinished) {
    lv::TBmpToAvi w;
    Configure(w, "DIB ", dir.file("full.avi"), 320, 240, 40);
    w.Open();
    AddPattern(w, 320, 240, 2);

    // From here on the file may not grow: the index and headers cannot be written, as on
    // a full disk.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit capped = old;
    capped.rlim_cur = rlim_t(std::filesystem::file_size(w.FileName + ".part"));
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &capped), 0);
    std::string message;
    try {
        w.Close();
    } catch (const lv::EAssertionFailed& e) {
        message = e.what();
        EXPECT_EQ(e.unit(), "U_BmpToAvi");
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(message,
              "FileRelease failed. Err: $8004406E. File too large: \"" + w.FileName + "\"");
    // Nothing half-written is left, under either name.
    EXPECT_FALSE(lv::FileExists(w.FileName) || lv::FileExists(w.FileName + ".part"));
    EXPECT_TRUE(w.IsClosed());
    EXPECT_FALSE(w.IsOpen());
    w.Open();
    AddPattern(w, 320, 240, 1);
    w.Close();
    EXPECT_EQ(Probe(w.FileName).packets, 1);
}
