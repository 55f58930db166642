#pragma once

#include "Audio/AbstractAudioFile.h"
#include "Audio/CallbackSource.h"
#include "Audio/MPC/MpcLib.h"

#include <memory>

namespace lv {

// Reader of Musepack files through libmpcdec: format and length from the stream header.
// It does not decode: CanRead is false and ReadData delivers nothing. Refuses when the
// library is absent ("File zoq_mpc.DLL not found in the path. ...") or the file is not
// Musepack ("\"<name>\" is not a MPC bitstream").
class TMpcFile : public TAbstractAudioFile {
public:
    explicit TMpcFile(const std::string& fileName);
    ~TMpcFile() override;

    std::int32_t Bitrate() override { return std::int32_t(Info.AverageBitrate); }
    std::int32_t Channels() override { return Info.Channels; }
    std::int64_t FileSize() override { return Info.FileSize; }
    // Samples per channel x 2 bytes x channels.
    std::int64_t DataSize() override { return Info.TotalSamples * 2 * Info.Channels; }
    // The stream's rate to the nearest hertz.
    std::int32_t SampleRate() override;
    std::int32_t BitsPerSample() override { return 16; }
    TAudioKind Kind() override { return akMpc; }
    bool ReadData(void* buffer, std::int32_t& count) override;

    TMpcInfo Info;

private:
    // What the library hands back to the callbacks.
    struct TCallbackRecord {
        TMpcFile* Reader;
    };
    static std::int32_t readCallback(void* data, void* buffer, std::int32_t size);
    static std::int32_t seekCallback(void* data, std::int64_t offset, int origin);
    static std::int32_t closeCallback(void* data);
    static std::int64_t tellCallback(void* data);

    std::shared_ptr<const TMpcLib> m_lib; // outlives m_handle
    TCallbackSource m_source;
    TCallbackRecord m_record{this};
    std::unique_ptr<TMpcHandle> m_handle;
};

} // namespace lv
