#include "Audio/WavAudioFile.h"

#include "platform/Errors.h"
#include "platform/RiffIO.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace lv {

namespace {

// Total size of an ID3v2 tag at the start of the stream, 0 when there is none. The size
// bytes are taken whole, as the WAV reader always has.
std::int64_t leadingTagSize(TWFileStream& stream) {
    unsigned char h[10];
    if (stream.Read(h, sizeof h) < 10 || std::memcmp(h, "ID3", 3) != 0)
        return 0;
    std::int64_t size = std::int64_t(h[6]) * (1 << 21) + std::int64_t(h[7]) * (1 << 14) +
                        std::int64_t(h[8]) * (1 << 7) + h[9] + 10;
    return (h[5] & 0x10) ? size + 10 : size;
}

TWavFormat decodeFormat(const unsigned char* b) {
    TWavFormat f;
    f.FormatTag = getLE16(b);
    f.Channels = getLE16(b + 2);
    f.SamplesPerSec = getLE32(b + 4);
    f.AvgBytesPerSec = getLE32(b + 8);
    f.BlockAlign = getLE16(b + 12);
    f.BitsPerSample = getLE16(b + 14);
    f.ExtraSize = getLE16(b + 16);
    return f;
}

} // namespace

TWavAudioFile::TWavAudioFile(const std::string& fileName) : TAbstractAudioFile(fileName) {
    Stream = std::make_unique<TWFileStream>(fileName, TWFileStream::fmOpenRead |
                                                          TWFileStream::fmShareDenyNone);
    std::int64_t start = leadingTagSize(*Stream);
    Stream->Seek(start, TWFileStream::soBeginning);

    Chunk = std::make_unique<TWaveChunk>();
    if (!Chunk->ReadHeader(*Stream))
        throw Error("Bad .wav format. RIFF chunk not found");
    if (Chunk->KindIndex != TWaveChunk::kiRiff)
        throw Error("Bad .wav format. 1st chunk is not an RIFF chunk");

    unsigned char formatBytes[18] = {};
    const std::int64_t size = Stream->Size();
    while (Stream->Position() < size) {
        Chunk->ReadHeader(*Stream);
        if (Chunk->KindIndex == TWaveChunk::kiFmt) {
            std::uint32_t wanted = std::min<std::uint32_t>(Chunk->Size, sizeof formatBytes);
            Stream->Read(formatBytes, wanted);
            Chunk->Skip(*Stream);
        } else if (Chunk->KindIndex == TWaveChunk::kiData) {
            break;
        } else {
            Chunk->Skip(*Stream);
        }
    }
    Format = decodeFormat(formatBytes);

    if (Format.FormatTag == 0)
        throw Error("Bad .wav format. Can't find FMT chunk");
    if (Format.FormatTag != 1)
        throw Error("Bad .wav format. Only PCM data is supported");
    if (Chunk->KindIndex != TWaveChunk::kiData)
        throw Error("Bad .wav format. Can't find audio data");
    Stream->Seek(Chunk->DataStart, TWFileStream::soBeginning);
}

TWavAudioFile::~TWavAudioFile() = default;

std::int32_t TWavAudioFile::Bitrate() {
    // Every field at its largest makes a product beyond 64 bits: bound it before the last step.
    const std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    const std::int64_t perBit = std::int64_t(Format.Channels) * Format.SamplesPerSec;
    if (Format.BitsPerSample && perBit > limit / Format.BitsPerSample)
        return std::int32_t(limit);
    return std::int32_t(perBit * Format.BitsPerSample);
}

std::int64_t TWavAudioFile::DataSize() {
    // A recording cut short, or a streaming header that never got its size, declares more
    // than the file holds.
    std::int64_t present = std::max<std::int64_t>(Stream->Size() - Chunk->DataStart, 0);
    return std::min<std::int64_t>(Chunk->Size, present);
}

std::int64_t TWavAudioFile::DataPosition() {
    return std::clamp<std::int64_t>(Stream->Position() - Chunk->DataStart, 0, DataSize());
}

void TWavAudioFile::SeekData(std::int64_t bytePos) {
    Stream->Seek(Chunk->DataStart + std::clamp<std::int64_t>(bytePos, 0, DataSize()),
                 TWFileStream::soBeginning);
}

bool TWavAudioFile::ReadData(void* buffer, std::int32_t& count) {
    std::int64_t remaining = DataSize() - DataPosition();
    std::int64_t wanted = std::clamp<std::int64_t>(count, 0, remaining);
    count = std::int32_t(wanted > 0 ? Stream->Read(buffer, wanted) : 0);
    return count > 0;
}

} // namespace lv
