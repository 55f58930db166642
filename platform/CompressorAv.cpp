#include "platform/CompressorAv.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cstdarg>
#include <cstring>
#include <iterator>
#include <string_view>

namespace lv::detail {

namespace {

// Which settings an encoder offers and how they are applied.
enum class Tuning {
    None,           // lossless or without useful knobs
    Quantizer,      // fixed quantiser and key-frame interval
    IntraQuantizer, // fixed quantiser; every frame is a key frame
    X264,           // constant rate factor, speed preset, key-frame interval
};

struct TEncoderEntry {
    const char* fourCC;
    const char* encoder;
    AVPixelFormat pixFmt; // AV_PIX_FMT_NONE: the encoder's best format for bgr24 input
    Tuning tuning;
};

// The offered set: video encoders that make sense in AVI, with the FourCC their streams
// carry. libxvid must be found by name: FourCC XVID alone maps to the native mpeg4.
// mpeg1video is left out: without a low-delay mode it holds every frame back by one.
constexpr TEncoderEntry kEncoders[] = {
    {"XVID", "libxvid", AV_PIX_FMT_YUV420P, Tuning::Quantizer},
    {"FMP4", "mpeg4", AV_PIX_FMT_YUV420P, Tuning::Quantizer},
    {"H264", "libx264", AV_PIX_FMT_YUV420P, Tuning::X264}, // else it picks 4:4:4
    {"MJPG", "mjpeg", AV_PIX_FMT_YUVJ420P, Tuning::IntraQuantizer},
    {"MP42", "msmpeg4v2", AV_PIX_FMT_YUV420P, Tuning::Quantizer},
    {"MP43", "msmpeg4", AV_PIX_FMT_YUV420P, Tuning::Quantizer},
    {"WMV1", "wmv1", AV_PIX_FMT_YUV420P, Tuning::Quantizer},
    {"WMV2", "wmv2", AV_PIX_FMT_YUV420P, Tuning::Quantizer},
    {"H263", "h263p", AV_PIX_FMT_YUV420P, Tuning::Quantizer},
    {"U263", "h263", AV_PIX_FMT_YUV420P, Tuning::Quantizer}, // fixed sizes only
    {"FLV1", "flv", AV_PIX_FMT_YUV420P, Tuning::Quantizer},
    {"mpg2", "mpeg2video", AV_PIX_FMT_YUV420P, Tuning::Quantizer},
    {"HFYU", "huffyuv", AV_PIX_FMT_NONE, Tuning::None},
    {"FFVH", "ffvhuff", AV_PIX_FMT_NONE, Tuning::None},
    {"FFV1", "ffv1", AV_PIX_FMT_NONE, Tuning::None},
    {"ULRG", "utvideo", AV_PIX_FMT_GBRP, Tuning::None}, // the FourCC names the RGB layout
    {"MPNG", "png", AV_PIX_FMT_RGB24, Tuning::None},
    {"ZMBV", "zmbv", AV_PIX_FMT_BGR0, Tuning::None},
    {"cvid", "cinepak", AV_PIX_FMT_RGB24, Tuning::None},
    {"MSVC", "msvideo1", AV_PIX_FMT_RGB555, Tuning::None},
    {"dvsd", "dvvideo", AV_PIX_FMT_YUV420P, Tuning::None}, // PAL DV only: 720x576
};

constexpr const char* kX264Presets[] = {"ultrafast", "superfast", "veryfast", "faster",  "fast",
                                        "medium",    "slow",      "slower",   "veryslow"};

const TEncoderEntry* EntryOf(const TCompressorInfo& info) {
    for (const auto& e : kEncoders)
        if (info.encoder == e.encoder)
            return &e;
    return nullptr;
}

std::uint32_t FourCCValue(const char* s) {
    return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 |
           std::uint32_t(std::uint8_t(s[2])) << 16 | std::uint32_t(std::uint8_t(s[3])) << 24;
}

// While a query opens encoders to see whether they take a size, their refusals are
// expected and must not reach the terminal.
thread_local bool tQuerying = false;

void LogCallback(void* avcl, int level, const char* fmt, va_list args) {
    if (!tQuerying)
        av_log_default_callback(avcl, level, fmt, args);
}

// Encoders chatter at info level (x264 announces its CPU on every open); only errors
// should reach the terminal. A level someone chose on purpose is left alone.
void QuietLibav() {
    static const bool done = [] {
        if (av_log_get_level() == AV_LOG_INFO) {
            av_log_set_level(AV_LOG_ERROR);
            av_log_set_callback(LogCallback);
        }
        return true;
    }();
    (void)done;
}

// Silences libav messages of this thread for its lifetime.
class TQuietScope {
public:
    TQuietScope() : m_was(tQuerying) { tQuerying = true; }
    ~TQuietScope() { tQuerying = m_was; }
    TQuietScope(const TQuietScope&) = delete;
    TQuietScope& operator=(const TQuietScope&) = delete;

private:
    bool m_was;
};

struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsDeleter {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

int SettingValue(const std::vector<TCodecSetting>& settings, std::string_view name) {
    for (const auto& s : settings)
        if (s.name == name)
            return s.value;
    return 0;
}

class TAvCompressor final : public TCompressor {
public:
    TAvCompressor(const TCompressorInfo& info, ICMode mode, const TEncoderEntry& entry,
                  const AVCodec* codec)
        : TCompressor(info, mode), m_entry(entry), m_codec(codec) {}
    ~TAvCompressor() override { CompressEnd(); }

    bool CompressQuery(const BITMAPINFOHEADER& in) override {
        if (!IsRgb24Input(in))
            return false;
        // Opening at the size is the only reliable answer: several encoders accept only
        // some sizes, multiples or aspect ratios.
        TQuietScope quiet;
        return OpenEncoder(in, false) != nullptr;
    }

    bool CompressGetFormat(const BITMAPINFOHEADER& in, std::vector<std::uint8_t>& out) override {
        if (!PrepareEncoder(in))
            return false;
        const AVCodecContext* c = m_ctx.get();
        const std::size_t extra = c->extradata ? std::size_t(c->extradata_size) : 0;
        BITMAPINFOHEADER h;
        h.biSize = std::uint32_t(sizeof h + extra);
        h.biWidth = in.biWidth;
        h.biHeight = in.biHeight;
        // Some decoders (huffyuv) take their bit depth from here.
        h.biBitCount = std::uint16_t(c->bits_per_coded_sample > 0 ? c->bits_per_coded_sample : 24);
        h.biCompression = Info().fccHandler;
        h.biSizeImage = std::uint32_t(std::size_t(in.biWidth) * in.biHeight * h.biBitCount / 8);
        out.resize(sizeof h + extra);
        std::memcpy(out.data(), &h, sizeof h);
        if (extra)
            std::memcpy(out.data() + sizeof h, c->extradata, extra);
        return true;
    }

    std::size_t CompressGetSize(const BITMAPINFOHEADER& in) override {
        if (!IsRgb24Input(in))
            return 0;
        // Lossless coders can exceed the raw size on noise; this bound covers the worst
        // the offered encoders allocate for themselves.
        return std::size_t(in.biWidth) * std::size_t(in.biHeight) * 12 + (1u << 20);
    }

    bool CompressBegin(const BITMAPINFOHEADER& in) override {
        if (Mode() != ICMode::Compress || !PrepareEncoder(in))
            return false;
        const AVPixelFormat fmt = m_ctx->pix_fmt;
        m_sws.reset(sws_getContext(in.biWidth, in.biHeight, AV_PIX_FMT_BGR24, in.biWidth,
                                   in.biHeight, fmt, SWS_BICUBIC, nullptr, nullptr, nullptr));
        m_frame.reset(av_frame_alloc());
        m_packet.reset(av_packet_alloc());
        if (!m_sws || !m_frame || !m_packet) {
            CompressEnd();
            return false;
        }
        m_frame->format = fmt;
        m_frame->width = in.biWidth;
        m_frame->height = in.biHeight;
        if (av_frame_get_buffer(m_frame.get(), 0) < 0) {
            CompressEnd();
            return false;
        }
        m_begun = true;
        m_pts = 0;
        return true;
    }

    bool Compress(const BITMAPINFOHEADER& in, const std::uint8_t* bits, std::span<std::uint8_t> out,
                  std::size_t& size, bool& keyFrame) override {
        if (!m_begun || !IsFrameOfFormat(in, bits, m_format))
            return false;
        AVFrame* f = m_frame.get();
        // The encoder may still hold the previous picture as a reference.
        if (av_frame_make_writable(f) < 0)
            return false;
        const int stride = int(DibRowBytes(in.biWidth));
        // Bottom-up rows: start at the last row and walk backwards.
        const std::uint8_t* src[1] = {bits + std::size_t(in.biHeight - 1) * std::size_t(stride)};
        const int srcStride[1] = {-stride};
        if (sws_scale(m_sws.get(), src, srcStride, 0, in.biHeight, f->data, f->linesize) !=
            in.biHeight)
            return false;
        f->pts = m_pts++;
        f->quality = m_ctx->global_quality;
        f->pict_type = AV_PICTURE_TYPE_NONE;

        AVPacket* p = m_packet.get();
        if (avcodec_send_frame(m_ctx.get(), f) < 0 || avcodec_receive_packet(m_ctx.get(), p) < 0)
            return false; // includes a frame held back: that would shift every later one
        const bool fits = std::size_t(p->size) <= out.size();
        if (fits) {
            std::memcpy(out.data(), p->data, std::size_t(p->size));
            size = std::size_t(p->size);
            keyFrame = (p->flags & AV_PKT_FLAG_KEY) != 0;
        }
        av_packet_unref(p);
        // A second packet for one frame would break the one-in, one-out rule as well.
        if (avcodec_receive_packet(m_ctx.get(), p) != AVERROR(EAGAIN)) {
            av_packet_unref(p);
            return false;
        }
        return fits;
    }

    void CompressEnd() override {
        m_begun = false;
        m_sws.reset();
        m_frame.reset();
        m_packet.reset();
        m_ctx.reset();
    }

    std::string AboutText() const override {
        const unsigned v = avcodec_version();
        return Info().description + "\n" + "Encoder: " + m_codec->name + " (" +
               (m_codec->long_name ? m_codec->long_name : m_codec->name) + ")\n" + "libavcodec " +
               std::to_string(v >> 16) + "." + std::to_string((v >> 8) & 0xFF) + "." +
               std::to_string(v & 0xFF) + "\n" + "Licence: " + avcodec_license();
    }

protected:
    std::vector<TCodecSetting> DefaultSettings() const override {
        const TCodecSetting quant{
            "quality", "Quantizer (2 = best quality, 31 = smallest file)", 3, 2, 31, 3, {}};
        const TCodecSetting gop{"gop", "Key-frame interval (frames)", 250, 1, 1000, 250, {}};
        switch (m_entry.tuning) {
        case Tuning::Quantizer:
            return {quant, gop};
        case Tuning::IntraQuantizer:
            return {quant};
        case Tuning::X264: {
            TCodecSetting crf{
                "crf", "Constant rate factor (0 = lossless, 51 = smallest file)", 23, 0, 51, 23,
                {}};
            TCodecSetting preset{
                "preset", "Speed preset", 2, 0, int(std::size(kX264Presets)) - 1, 2, {}};
            preset.choices.assign(std::begin(kX264Presets), std::end(kX264Presets));
            return {crf, preset, gop};
        }
        case Tuning::None:
            break;
        }
        return {};
    }

private:
    AVPixelFormat PixelFormat() const {
        const AVPixelFormat* list = m_codec->pix_fmts;
        if (!list)
            return AV_PIX_FMT_NONE;
        if (m_entry.pixFmt == AV_PIX_FMT_NONE)
            return avcodec_find_best_pix_fmt_of_list(list, AV_PIX_FMT_BGR24, 0, nullptr);
        for (; *list != AV_PIX_FMT_NONE; ++list)
            if (*list == m_entry.pixFmt)
                return m_entry.pixFmt;
        return AV_PIX_FMT_NONE;
    }

    // An encoder opened for the input; with settings, the stored ones and threads.
    CodecContextPtr OpenEncoder(const BITMAPINFOHEADER& in, bool forCompression) const {
        QuietLibav();
        const AVPixelFormat fmt = PixelFormat();
        if (fmt == AV_PIX_FMT_NONE)
            return nullptr;
        CodecContextPtr c(avcodec_alloc_context3(m_codec));
        if (!c)
            return nullptr;
        c->width = in.biWidth;
        c->height = in.biHeight;
        c->pix_fmt = fmt;
        c->time_base = AVRational{m_scale, m_rate};
        c->framerate = AVRational{m_rate, m_scale};
        c->sample_aspect_ratio = AVRational{1, 1};
        c->max_b_frames = 0;
        // Frame threads would hold frames back; slice threads do not.
        c->thread_type = FF_THREAD_SLICE;
        c->thread_count = forCompression ? 0 : 1;
        if (fmt == AV_PIX_FMT_YUVJ420P)
            c->color_range = AVCOL_RANGE_JPEG;
        if (m_codec->id == AV_CODEC_ID_MPEG2VIDEO) {
            // Rates like 1000/66 are not among MPEG-2's own; the encoder then records the
            // nearest one, which does no harm since the AVI header sets the timing.
            c->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
            c->flags |= AV_CODEC_FLAG_LOW_DELAY;
        }

        const auto settings = forCompression ? Settings() : DefaultSettings();
        switch (m_entry.tuning) {
        case Tuning::Quantizer:
            c->gop_size = SettingValue(settings, "gop");
            [[fallthrough]];
        case Tuning::IntraQuantizer:
            c->flags |= AV_CODEC_FLAG_QSCALE;
            c->global_quality = SettingValue(settings, "quality") * FF_QP2LAMBDA;
            break;
        case Tuning::X264:
            c->gop_size = SettingValue(settings, "gop");
            av_opt_set(c->priv_data, "preset", kX264Presets[SettingValue(settings, "preset")], 0);
            av_opt_set(c->priv_data, "tune", "zerolatency", 0);
            av_opt_set_double(c->priv_data, "crf", SettingValue(settings, "crf"), 0);
            break;
        case Tuning::None:
            break;
        }
        if (avcodec_open2(c.get(), m_codec, nullptr) < 0)
            return nullptr;
        if (c->has_b_frames > 0) // reordering means delay
            return nullptr;
        return c;
    }

    // Keeps one encoder open for the input format between GetFormat and Begin, so the
    // extradata announced is the one the frames are coded with.
    bool PrepareEncoder(const BITMAPINFOHEADER& in) {
        if (!IsRgb24Input(in))
            return false;
        if (m_ctx && !m_begun && in.biWidth == m_format.biWidth && in.biHeight == m_format.biHeight)
            return true;
        CompressEnd();
        m_ctx = OpenEncoder(in, Mode() == ICMode::Compress);
        m_format = in;
        return m_ctx != nullptr;
    }

    const TEncoderEntry& m_entry;
    const AVCodec* m_codec;
    CodecContextPtr m_ctx;
    std::unique_ptr<SwsContext, SwsDeleter> m_sws;
    std::unique_ptr<AVFrame, FrameDeleter> m_frame;
    std::unique_ptr<AVPacket, PacketDeleter> m_packet;
    BITMAPINFOHEADER m_format;
    bool m_begun = false;
    std::int64_t m_pts = 0;
};

} // namespace

std::vector<TCompressorInfo> AvInstalled() {
    std::vector<TCompressorInfo> list;
    for (const auto& e : kEncoders) {
        const AVCodec* codec = avcodec_find_encoder_by_name(e.encoder);
        if (!codec || codec->type != AVMEDIA_TYPE_VIDEO)
            continue;
        TCompressorInfo info;
        info.fccHandler = FourCCValue(e.fourCC);
        info.fourCC = e.fourCC;
        info.description = codec->long_name ? codec->long_name : codec->name;
        info.encoder = e.encoder;
        list.push_back(std::move(info));
    }
    return list;
}

std::unique_ptr<TCompressor> AvOpen(const TCompressorInfo& info, ICMode mode) {
    const TEncoderEntry* entry = EntryOf(info);
    const AVCodec* codec = entry ? avcodec_find_encoder_by_name(entry->encoder) : nullptr;
    if (!codec)
        return nullptr;
    return std::make_unique<TAvCompressor>(info, mode, *entry, codec);
}

} // namespace lv::detail
