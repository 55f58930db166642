#pragma once

#include "Audio/AbstractAudioFile.h"
#include "Audio/Ac3Lib.h"
#include "Audio/WFileStream.h"

#include <memory>

namespace lv {

// Reader of AC-3 files: channels from the decoder, rate and frame size from the first frame
// (found at an even offset), length from the frame count. It does not decode: CanRead is
// false and ReadData delivers nothing. The decoder takes one stream at a time, so only one
// TAc3File may exist in the process; a second is refused ("AZID.DLL allow only one AC3
// stream to be decoded at a time"). The decoder's error and warning texts go to Messages.
class TAc3File : public TAbstractAudioFile {
public:
    explicit TAc3File(const std::string& fileName);
    ~TAc3File() override;

    std::int32_t Bitrate() override;
    std::int32_t Channels() override { return m_channels; }
    std::int64_t FileSize() override { return m_fileSize; }
    // Frames x 1536 samples x 2 bytes x channels.
    std::int64_t DataSize() override { return m_frames * 1536 * 2 * m_channels; }
    // 48000, 44100 or 32000.
    std::int32_t SampleRate() override;
    std::int32_t BitsPerSample() override { return 16; }
    TAudioKind Kind() override { return akAc3; }
    bool ReadData(void* buffer, std::int32_t& count) override;

    // Bytes of a frame for a frame-size code (0..37) and sample-rate code (0..2); 0 for
    // codes outside the table.
    static std::int32_t FrameBytes(int frameSizeCode, int sampleRateCode);

    std::int64_t FirstFrameOffset() const { return m_frameStart; }
    std::int32_t FrameSize() const { return m_frameSize; }

private:
    // Holds the process-wide mark from registration until the reader goes.
    class TActiveMark {
    public:
        // False when another reader holds the mark.
        bool Take(TAc3File* reader);
        ~TActiveMark();

    private:
        TAc3File* m_owner = nullptr;
    };

    // False when no sync word lies at an even offset.
    bool findFirstFrame();
    static std::int32_t readCallback(void* reader, void* buffer, std::int32_t count);
    static void errorCallback(int code);
    static void warningCallback(int code);

    std::shared_ptr<const TAc3Lib> m_lib; // outlives m_decoder
    std::unique_ptr<TWFileStream> m_stream;
    std::unique_ptr<TAc3Decoder> m_decoder;
    TActiveMark m_mark; // released before m_decoder goes
    std::int32_t m_channels = 0;
    int m_sampleRateCode = 0;
    int m_frameSizeCode = 0;
    std::int64_t m_frameStart = 0;
    std::int32_t m_frameSize = 0;
    std::int64_t m_fileSize = 0;
    std::int64_t m_frames = 0;
};

} // namespace lv
