#include "platform/Compressor.h"

#include "platform/CompressorAv.h"
#include "platform/Registry.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

namespace lv {

namespace {

using detail::IsFrameOfFormat;
using detail::IsRgb24Input;

constexpr const char* kRgbFourCC = "DIB ";

std::string FourCCKey(std::string text) {
    text.resize(4, ' ');
    for (char& ch : text)
        ch = char(std::toupper(static_cast<unsigned char>(ch)));
    return text;
}

// Uncompressed 24-bit RGB: the frame is the bitmap's own bytes, every frame a key frame.
class TRgbCompressor final : public TCompressor {
public:
    TRgbCompressor(const TCompressorInfo& info, ICMode mode) : TCompressor(info, mode) {}

    bool CompressQuery(const BITMAPINFOHEADER& in) override { return IsRgb24Input(in); }

    bool CompressGetFormat(const BITMAPINFOHEADER& in, std::vector<std::uint8_t>& out) override {
        if (!IsRgb24Input(in))
            return false;
        BITMAPINFOHEADER h = RgbFormat(in.biWidth, in.biHeight);
        h.biSizeImage = std::uint32_t(CompressGetSize(in));
        out.resize(sizeof h);
        std::memcpy(out.data(), &h, sizeof h);
        return true;
    }

    std::size_t CompressGetSize(const BITMAPINFOHEADER& in) override {
        return IsRgb24Input(in) ? DibRowBytes(in.biWidth) * std::size_t(in.biHeight) : 0;
    }

    bool CompressBegin(const BITMAPINFOHEADER& in) override {
        if (Mode() != ICMode::Compress || !IsRgb24Input(in))
            return false;
        m_format = in;
        m_begun = true;
        return true;
    }

    bool Compress(const BITMAPINFOHEADER& in, const std::uint8_t* bits, std::span<std::uint8_t> out,
                  std::size_t& size, bool& keyFrame) override {
        if (!m_begun || !IsFrameOfFormat(in, bits, m_format))
            return false;
        const std::size_t n = CompressGetSize(in);
        if (n > out.size())
            return false;
        std::memcpy(out.data(), bits, n);
        size = n;
        keyFrame = true;
        return true;
    }

    void CompressEnd() override { m_begun = false; }

    std::string AboutText() const override {
        return Info().description +
               "\nFrames are stored as they are: 24-bit RGB, rows bottom-up, no compression.";
    }

private:
    BITMAPINFOHEADER m_format;
    bool m_begun = false;
};

TCompressorInfo RgbInfo() {
    TCompressorInfo info;
    info.fourCC = kRgbFourCC;
    std::memcpy(&info.fccHandler, kRgbFourCC, 4);
    info.description = "Uncompressed RGB 24-bit";
    return info;
}

int ParseSetting(const std::string& text, const TCodecSetting& s) {
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < s.minimum || v > s.maximum)
        return s.defaultValue;
    return v;
}

} // namespace

bool detail::IsRgb24Input(const BITMAPINFOHEADER& in) {
    constexpr std::int32_t kMaxSide = 16384;
    return in.biBitCount == 24 && in.biCompression == BI_RGB && in.biPlanes == 1 &&
           in.biWidth > 0 && in.biHeight > 0 && in.biWidth <= kMaxSide && in.biHeight <= kMaxSide;
}

bool detail::IsFrameOfFormat(const BITMAPINFOHEADER& in, const std::uint8_t* bits,
                             const BITMAPINFOHEADER& begun) {
    return bits && IsRgb24Input(in) && in.biWidth == begun.biWidth && in.biHeight == begun.biHeight;
}

const std::vector<TCompressorInfo>& ICInstalled() {
    static const std::vector<TCompressorInfo> installed = [] {
        auto list = detail::AvInstalled();
        list.push_back(RgbInfo());
        return list;
    }();
    return installed;
}

std::string CodecSettingsKey(const TCompressorInfo& info) {
    std::string fcc = info.fourCC;
    while (!fcc.empty() && fcc.back() == ' ')
        fcc.pop_back();
    return std::string(kSettingsKey) + "\\Codecs\\" + fcc;
}

std::unique_ptr<TCompressor> TCompressor::Open(const std::string& fourCC, ICMode mode) {
    const std::string key = FourCCKey(fourCC);
    for (const auto& info : ICInstalled()) {
        if (FourCCKey(info.fourCC) != key)
            continue;
        if (info.encoder.empty())
            return std::make_unique<TRgbCompressor>(info, mode);
        return detail::AvOpen(info, mode);
    }
    return nullptr;
}

void TCompressor::CompressFramesInfo(std::int32_t scale, std::int32_t rate) {
    if (scale > 0 && rate > 0) {
        m_scale = scale;
        m_rate = rate;
    }
}

std::vector<TCodecSetting> TCompressor::Settings() const {
    auto settings = DefaultSettings();
    if (settings.empty())
        return settings;
    const std::string key = CodecSettingsKey(m_info);
    for (auto& s : settings)
        s.value = ParseSetting(ReadRegString(key, s.name), s);
    return settings;
}

void TCompressor::StoreSettings(const std::vector<TCodecSetting>& settings) const {
    const std::string key = CodecSettingsKey(m_info);
    for (const auto& known : DefaultSettings()) {
        const auto given =
            std::find_if(settings.begin(), settings.end(),
                         [&](const TCodecSetting& s) { return s.name == known.name; });
        if (given == settings.end())
            continue;
        const int v = std::clamp(given->value, known.minimum, known.maximum);
        WriteRegString(key, known.name, std::to_string(v));
    }
}

} // namespace lv
