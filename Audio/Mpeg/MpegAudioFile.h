#pragma once

#include "Audio/AbstractAudioFile.h"
#include "Audio/Mpeg/FrameLoader.h"

#include <memory>

namespace lv {

// Reader of MPEG audio files (names matching "*.mp[123]"): format from the first frame,
// length from a full frame scan on the first DataSize request. It does not decode: CanRead
// is false and ReadData delivers nothing. The file stays open for the reader's life.
class TMpegAudioFile : public TAbstractAudioFile {
public:
    // Throws Error "Invalid MPEG file <name>" when the file cannot be opened or holds no
    // valid frame.
    explicit TMpegAudioFile(const std::string& fileName);
    ~TMpegAudioFile() override;

    std::int32_t Bitrate() override;
    std::int32_t Channels() override;
    std::int64_t FileSize() override;
    // 16-bit PCM bytes of the whole file: 2 x the loader's total samples. The first call
    // scans the file.
    std::int64_t DataSize() override;
    std::int32_t SampleRate() override;
    std::int32_t BitsPerSample() override { return 16; }
    TAudioKind Kind() override { return akMpeg; }
    bool ReadData(void* buffer, std::int32_t& count) override;

    const TFrameLoader& Loader() const { return *m_loader; }

private:
    std::unique_ptr<TFrameLoader> m_loader;
};

} // namespace lv
