#pragma once

#include "Audio/AbstractAudioFile.h"
#include "Audio/Wma/WmLib.h"

#include <memory>

namespace lv {

// Reader of Windows Media audio files (.wma, .asf) through the Windows Media runtime's
// synchronous reader: format from the single output, length from the file's "Duration"
// attribute. It does not decode: CanRead is false and ReadData delivers nothing. Refuses
// files with other than one output, or whose output is not audio, with the runtime's result
// code in the message; the reader is closed before a refusal raised after Open.
class TWMAAudioFile : public TAbstractAudioFile {
public:
    explicit TWMAAudioFile(const std::string& fileName);
    ~TWMAAudioFile() override;

    std::int32_t Bitrate() override { return std::int32_t(OutputFormat.AvgBytesPerSec * 8); }
    std::int32_t Channels() override { return OutputFormat.Channels; }
    std::int64_t FileSize() override { return m_fileSize; }
    // Duration x average bytes per second div 10,000,000.
    std::int64_t DataSize() override { return m_dataSize; }
    std::int32_t SampleRate() override { return std::int32_t(OutputFormat.SamplesPerSec); }
    std::int32_t BitsPerSample() override { return OutputFormat.BitsPerSample; }
    TAudioKind Kind() override { return akWma; }
    bool ReadData(void* buffer, std::int32_t& count) override;

    std::uint32_t OutputCount = 0;
    TWavFormat OutputFormat;       // of output 0
    std::uint64_t DurationHns = 0; // 100-ns units

private:
    // Closes the reader when a step after Open fails.
    [[noreturn]] void refuse(const std::string& message);

    std::shared_ptr<const TWmLib> m_lib; // outlives m_reader
    std::unique_ptr<TWmSyncReader> m_reader;
    TWmHeaderInfo* m_headerInfo = nullptr; // belongs to m_reader
    std::int64_t m_fileSize = 0;
    std::int64_t m_dataSize = 0;
};

} // namespace lv
