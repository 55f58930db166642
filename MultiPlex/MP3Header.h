#pragma once

#include <cstdint>

namespace lv {

// One MPEG audio frame header, as the muxer accepts it: Layer II and III only, no free
// format, frame lengths of 1 to 10000 bytes. Separate from the reader in Audio/Mpeg, whose
// acceptance rules differ.
class TMP3Header {
public:
    // raw: the 4 header bytes as read from the file, loaded as a little-endian value.
    explicit TMP3Header(std::uint32_t raw);
    // The 4 bytes at p, in file order.
    static TMP3Header FromBytes(const std::uint8_t* p);

    // First file byte most significant; 0 when the frame length was out of bounds.
    std::uint32_t Header() const { return m_header; }
    // Bytes of the whole frame, header included; 0 when invalid.
    int FrameLength() const { return m_frameLength; }
    bool IsValid() const;

    // 0 = Layer I, 1 = Layer II, 2 = Layer III, 3 = reserved.
    int LayerIndex() const { return static_cast<int>((m_header >> 17) & 3) ^ 3; }
    bool IsMpeg1() const { return (m_header >> 19) & 1; }
    bool IsMpeg25() const { return !((m_header >> 20) & 1); }
    bool Padding() const { return (m_header >> 9) & 1; }
    int BitrateIndex() const { return static_cast<int>((m_header >> 12) & 15); }
    int SampleRateIndex() const { return static_cast<int>((m_header >> 10) & 3); }

    // Bit/s; 0 for free format, index 15 or the reserved layer.
    int Bitrate() const;
    // Hz; 1 for the reserved index 3, 0 for the reserved layer or version.
    int SampleRate() const;
    int Channels() const { return ((m_header >> 6) & 3) == 3 ? 1 : 2; }

private:
    int ComputeFrameLength() const;

    std::uint32_t m_header;
    int m_frameLength = 0;
};

} // namespace lv
