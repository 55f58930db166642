#include "MultiPlex/MP3Header.h"

namespace lv {

namespace {

// kbit/s by [table][bitrate index]: MPEG-1 Layers I, II, III, then the lower-sampling-rate
// table of MPEG-2 and 2.5 for Layer I and for Layers II/III.
constexpr int kBitrates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};

constexpr int kMinFrameLength = 1;
constexpr int kMaxFrameLength = 10000;

} // namespace

TMP3Header::TMP3Header(std::uint32_t raw)
    : m_header(((raw & 0xFFu) << 24) | ((raw & 0xFF00u) << 8) | ((raw >> 8) & 0xFF00u) |
               (raw >> 24)) {
    m_frameLength = ComputeFrameLength();
    if (m_frameLength < kMinFrameLength || m_frameLength > kMaxFrameLength) {
        m_header = 0;
        m_frameLength = 0;
    }
}

TMP3Header TMP3Header::FromBytes(const std::uint8_t* p) {
    return TMP3Header(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                      std::uint32_t(p[3]) << 24);
}

bool TMP3Header::IsValid() const {
    return (m_header >> 21) == 0x7FF && LayerIndex() != 0 && SampleRate() != 0 && Bitrate() != 0;
}

int TMP3Header::Bitrate() const {
    int layer = LayerIndex();
    if (layer == 3)
        return 0;
    int table = IsMpeg1() && !IsMpeg25() ? layer : (layer == 0 ? 3 : 4);
    return kBitrates[table][BitrateIndex()] * 1000;
}

int TMP3Header::SampleRate() const {
    if (LayerIndex() == 3)
        return 0;
    int index = SampleRateIndex();
    if (index == 3)
        return 1;
    // Version bits 01 are reserved: no rate, so the header is refused.
    if (IsMpeg1() && IsMpeg25())
        return 0;
    static constexpr int kRates[3][3] = {
        {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    return kRates[IsMpeg25() ? 2 : IsMpeg1() ? 0 : 1][index];
}

int TMP3Header::ComputeFrameLength() const {
    const int layer = LayerIndex();
    const std::int64_t rate = SampleRate();
    const std::int64_t bitrate = Bitrate();
    const int padding = Padding() ? 1 : 0;
    if (layer == 3 || rate == 0)
        return 0;
    std::int64_t length = 0;
    if (layer == 0)
        length = (12 * bitrate / rate + padding) * 4;
    else if (layer == 1)
        length = 144 * bitrate / rate + padding;
    else if (BitrateIndex() == 0)
        length = padding + 38;
    else
        // A Layer III frame of the lower sampling rates holds half as many samples.
        length = (IsMpeg1() ? 144 : 72) * bitrate / rate + padding;
    if (length > kMaxFrameLength)
        return kMaxFrameLength + 1;
    return static_cast<int>(length);
}

} // namespace lv
