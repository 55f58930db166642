#pragma once

#include "Audio/AbstractAudioFile.h"
#include "Audio/WFileStream.h"
#include "Audio/WaveChunk.h"

#include <memory>

namespace lv {

// The 18-byte format record of a "fmt " chunk.
struct TWavFormat {
    std::uint16_t FormatTag = 0;
    std::uint16_t Channels = 0;
    std::uint32_t SamplesPerSec = 0;
    std::uint32_t AvgBytesPerSec = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;
    std::uint16_t ExtraSize = 0;
};

// Reader of uncompressed PCM RIFF/WAVE files. A leading ID3v2 tag is skipped. After opening
// the stream stands at the first byte of the "data" chunk; ReadData delivers its bytes as
// stored. Refusals are Errors with the messages "Bad .wav format. ..."; a file that cannot
// be opened gives the file stream's message.
class TWavAudioFile : public TAbstractAudioFile {
public:
    explicit TWavAudioFile(const std::string& fileName);
    ~TWavAudioFile() override;

    std::int32_t Bitrate() override;
    std::int32_t Channels() override { return Format.Channels; }
    std::int64_t FileSize() override { return Stream->Size(); }
    std::int64_t DataPosition() override;
    // The data chunk's declared size, limited to the bytes the file holds after its header.
    std::int64_t DataSize() override;
    std::int32_t SampleRate() override { return std::int32_t(Format.SamplesPerSec); }
    std::int32_t BitsPerSample() override { return Format.BitsPerSample; }
    TAudioKind Kind() override { return akWav; }
    // Moves to a byte of the data, brought into 0 .. DataSize.
    void SeekData(std::int64_t bytePos) override;
    bool CanRead() override { return true; }
    bool ReadData(void* buffer, std::int32_t& count) override;

    std::unique_ptr<TWFileStream> Stream;
    std::unique_ptr<TWaveChunk> Chunk; // the "data" chunk's header
    TWavFormat Format;
};

} // namespace lv
