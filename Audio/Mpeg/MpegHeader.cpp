#include "Audio/Mpeg/MpegHeader.h"

#include "Audio/WFileStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace lv {

namespace {

// Kilobits per second by [VersionId][LayerIndex][BitrateIndex].
constexpr std::int16_t kBitrateKbit[2][3][16] = {
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    },
    {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    },
};

constexpr std::int32_t kSampleRate[2][4] = {{22050, 24000, 16000, 1}, {44100, 48000, 32000, 1}};

// Layer III sampling rate in units of 50 Hz; -999 makes index 3 fail the length bound.
constexpr std::int32_t kRate50[2][4] = {{441, 480, 320, -999}, {882, 960, 640, -999}};

// MPEG-1 frame durations by layer and rate index. Lower sampling frequencies double them
// for Layers I and II (same samples per frame at half the rate; Layer III halves both),
// and MPEG-2.5 doubles them again.
constexpr float kFrameDurationMs[3][4] = {
    {8.707483f, 8.0f, 12.0f, 0.0f},
    {26.12245f, 24.0f, 36.0f, 0.0f},
    {26.12245f, 24.0f, 36.0f, 0.0f},
};

constexpr std::int32_t kMaxFrameLength = 10000;
// The index keeps 32-bit offsets.
constexpr std::int64_t kMaxScanned = std::numeric_limits<std::int32_t>::max();

std::uint32_t bigEndian(const unsigned char* b) {
    return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | b[3];
}

// Reads exactly n bytes; a short read zero-fills the rest (the callers' bounds then end the
// search).
void readWindow(TWFileStream& stream, unsigned char* window, int n) {
    std::int64_t got = stream.Read(window, n);
    if (got < n)
        std::memset(window + got, 0, std::size_t(n - got));
}

// Total size of an ID3v2 tag at the stream's position (header and footer included), 0 when
// there is none. The stream is left where it was.
std::int64_t id3v2TagSize(TWFileStream& stream) {
    std::int64_t start = stream.Position();
    unsigned char h[10];
    std::int64_t got = stream.Read(h, sizeof h);
    stream.Seek(start, TWFileStream::soBeginning);
    if (got < 10 || std::memcmp(h, "ID3", 3) != 0)
        return 0;
    std::int64_t size = std::int64_t(h[6] & 0x7F) << 21 | std::int64_t(h[7] & 0x7F) << 14 |
                        std::int64_t(h[8] & 0x7F) << 7 | std::int64_t(h[9] & 0x7F);
    return size + 10 + ((h[5] & 0x10) ? 10 : 0);
}

// Headers of one stream share version, layer and sampling rate.
bool sameStream(std::uint32_t a, std::uint32_t b) {
    constexpr std::uint32_t kStreamBits = 0xFFFE0C00u;
    return (a & kStreamBits) == (b & kStreamBits);
}

// A sync found by searching is a frame only when the frames it announces follow it back to
// back: three in a row, or fewer that run to the end of the file or to a "TAG" block. Noise
// and other formats give lone valid-looking words, never such chains.
bool confirmedByChain(TWFileStream& stream, const TMpegHeader& first, std::int64_t size) {
    constexpr int kChain = 3;
    std::int64_t next = std::int64_t(first.Position()) + first.FrameLength();
    for (int count = 1; count < kChain; ++count) {
        if (next == size)
            return true;
        if (next + 4 > size)
            return count >= 2;
        unsigned char w[4];
        stream.Seek(next, TWFileStream::soBeginning);
        readWindow(stream, w, 4);
        if (w[0] == 'T' && w[1] == 'A' && w[2] == 'G')
            return true;
        TMpegHeader h;
        h.SetHeaderWord(bigEndian(w));
        if (h.FrameLength() == 0 || !sameStream(h.HeaderWord(), first.HeaderWord()))
            return false;
        next += h.FrameLength();
    }
    return true;
}

} // namespace

std::int32_t TMpegHeader::Bitrate() const {
    if (LayerIndex() == 3)
        return 0;
    return std::int32_t(kBitrateKbit[VersionId()][LayerIndex()][BitrateIndex()]) * 1000;
}

std::int32_t TMpegHeader::SampleRate() const {
    std::int32_t rate = kSampleRate[VersionId()][SampleRateIndex()];
    return IsMpeg25() && SampleRateIndex() != 3 ? rate / 2 : rate;
}

float TMpegHeader::FrameDurationMs() const {
    if (LayerIndex() == 3)
        return 0.0f;
    float ms = kFrameDurationMs[LayerIndex()][SampleRateIndex()];
    if (VersionId() == 0 && LayerIndex() != 2)
        ms *= 2;
    if (IsMpeg25())
        ms *= 2;
    return ms;
}

bool TMpegHeader::IsValid() const {
    // Bit 20 clear with bit 19 set is the reserved version: no frame carries it.
    return (m_headerWord & 0xFFE00000u) == 0xFFE00000u && LayerIndex() != 3 &&
           !(IsMpeg25() && VersionId() == 1) && SampleRate() != 0 && Bitrate() != 0;
}

void TMpegHeader::SetHeaderWord(std::uint32_t word) {
    m_headerWord = word;
    m_frameLength = 0;
    if (!IsValid()) {
        m_headerWord = 0;
        return;
    }
    std::int32_t length = 0;
    switch (LayerIndex()) {
    case 0:
        length = (12 * Bitrate() / SampleRate() + Padding()) * 4;
        break;
    case 1:
        length = 144 * Bitrate() / SampleRate() + Padding();
        break;
    default: {
        std::int32_t kbit = kBitrateKbit[VersionId()][2][BitrateIndex()];
        std::int32_t rate50 = kRate50[VersionId()][SampleRateIndex()];
        // 144000 x kbit / Hz for MPEG-1, 72000 x kbit / Hz below; MPEG-2.5 halves the rate
        // of the table it shares with MPEG-2.
        std::int32_t factor = VersionId() == 1 || IsMpeg25() ? 2880 : 1440;
        length = kbit * factor / rate50 + Padding();
        break;
    }
    }
    if (length <= 0 || length > kMaxFrameLength) {
        m_headerWord = 0;
        return;
    }
    m_frameLength = length;
}

bool TMpegHeader::FindNext(TWFileStream& stream, bool afterCurrent) {
    m_headerWord = 0;
    std::int64_t pos;
    if (afterCurrent)
        pos = stream.Seek(std::int64_t(m_position) + m_frameLength, TWFileStream::soBeginning);
    else
        pos = stream.Position();
    m_frameLength = 0;
    const std::int64_t size = std::min(stream.Size(), kMaxScanned);
    // Only a frame right where the previous one ends is taken without its chain.
    const std::int64_t expected = afterCurrent ? pos : -1;

    if (pos == 0) {
        if (std::int64_t tag = id3v2TagSize(stream)) {
            // A size that runs past the file cannot be true; the frames may still follow the
            // tag's header, and the search finds them.
            if (tag > stream.Size())
                tag = 10;
            stream.Seek(tag, TWFileStream::soBeginning);
            unsigned char b = 0;
            do {
                if (stream.Read(&b, 1) != 1)
                    return false;
            } while (b == 0);
            pos = stream.Position() - 1;
            stream.Seek(pos, TWFileStream::soBeginning);
        }
    }
    if (pos == 0) {
        unsigned char head[4] = {1, 1, 1, 1};
        readWindow(stream, head, 4);
        if (head[0] | head[1] | head[2] | head[3]) {
            stream.Seek(0, TWFileStream::soBeginning);
        } else {
            pos = 4;
            unsigned char b = 0;
            do {
                if (stream.Read(&b, 1) != 1)
                    return false;
                ++pos;
            } while (b == 0 && pos < 8192);
            --pos;
            stream.Seek(pos, TWFileStream::soBeginning);
        }
    }

    unsigned char w[4];
    readWindow(stream, w, 4);
    while (pos < size - 4) {
        if (w[0] == 0xFF && w[1] >= 0xE0) {
            SetHeaderWord(bigEndian(w));
            if (m_frameLength == 0) {
                // A false sync costs two bytes; a frame starting one byte later is passed.
                pos += 2;
                stream.Seek(pos, TWFileStream::soBeginning);
                readWindow(stream, w, 4);
                continue;
            }
            if (pos + m_frameLength > size)
                return false;
            m_position = std::int32_t(pos);
            if (pos == expected || confirmedByChain(stream, *this, size))
                return true;
            m_headerWord = 0;
            m_frameLength = 0;
            ++pos;
            stream.Seek(pos, TWFileStream::soBeginning);
            readWindow(stream, w, 4);
            continue;
        }
        if (w[0] == 'T' && w[1] == 'A' && w[2] == 'G') {
            if (pos + 124 >= size)
                return false;
            pos += 128;
            stream.Seek(pos, TWFileStream::soBeginning);
            readWindow(stream, w, 4);
            continue;
        }
        ++pos;
        w[0] = w[1];
        w[1] = w[2];
        w[2] = w[3];
        readWindow(stream, w + 3, 1);
    }
    return false;
}

} // namespace lv
