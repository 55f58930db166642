#pragma once

#include <cstdint>

namespace lv {

class TWFileStream;

// One MPEG audio frame header (MPEG-1, MPEG-2 lower sampling frequencies and the MPEG-2.5
// extension; Layers I, II and III), and the search for the next frame in a file. A plain
// value; not thread-safe.
class TMpegHeader {
public:
    // Stores the four header bytes (first file byte in bits 31..24), validates them and
    // computes FrameLength. An invalid word leaves HeaderWord and FrameLength at 0.
    void SetHeaderWord(std::uint32_t word);
    bool IsValid() const;

    // Finds the next valid frame. With afterCurrent false the search starts at the stream's
    // position, else at Position + FrameLength. At offset 0 it first skips an ID3v2 tag
    // and its zero padding, or a run of zeros (the search then starts at 8191 at most).
    // False when the stream ends first: a frame cut short by the end of the file, or an
    // ID3v1 tag within 124 bytes of the end, ends it. On success Position, HeaderWord and
    // FrameLength describe the frame. Only the first 2 GiB of a file are searched, as
    // offsets are 32-bit.
    bool FindNext(TWFileStream& stream, bool afterCurrent);

    std::uint32_t HeaderWord() const { return m_headerWord; }
    std::int32_t FrameLength() const { return m_frameLength; }
    std::int32_t Position() const { return m_position; }
    void SetPosition(std::int32_t position) { m_position = position; }
    void SetFrameLength(std::int32_t length) { m_frameLength = length; }

    // 1 when bit 20 is clear (the MPEG-2.5 mark).
    int IsMpeg25() const { return (m_headerWord >> 20 & 1) ^ 1; }
    // 1 = MPEG-1, 0 = lower sampling frequencies.
    int VersionId() const { return m_headerWord >> 19 & 1; }
    // 0 = Layer I, 1 = Layer II, 2 = Layer III, 3 = reserved.
    int LayerIndex() const { return (m_headerWord >> 17 & 3) ^ 3; }
    int BitrateIndex() const { return m_headerWord >> 12 & 15; }
    int SampleRateIndex() const { return m_headerWord >> 10 & 3; }
    int Padding() const { return m_headerWord >> 9 & 1; }
    // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel.
    int Mode() const { return m_headerWord >> 6 & 3; }

    // Bits per second; 0 for free format, index 15 and the reserved layer.
    std::int32_t Bitrate() const;
    // Hz; 1 for the reserved index 3, which the frame-length bound then refuses.
    std::int32_t SampleRate() const;
    std::int32_t Channels() const { return Mode() == 3 ? 1 : 2; }
    // Time covered by the frame, in milliseconds.
    float FrameDurationMs() const;

private:
    std::uint32_t m_headerWord = 0;
    std::int32_t m_frameLength = 0;
    std::int32_t m_position = 0;
};

} // namespace lv
