#pragma once

#include "Audio/AbstractAudioFile.h"
#include "Audio/Monkey/MacLib.h"

#include <memory>

namespace lv {

// Reader of Monkey's Audio files: every format query asks the library. It does not decode:
// CanRead is false and ReadData delivers nothing. Refuses when the library is absent
// ("APE format support library (MACDLL.DLL) not found.") or cannot open the file
// ("\"<name>\" is not a Monkey's Audio file").
class TApeFile : public TAbstractAudioFile {
public:
    explicit TApeFile(const std::string& fileName);
    ~TApeFile() override;

    std::int32_t Channels() override;
    std::int32_t SampleRate() override;
    std::int32_t BitsPerSample() override;
    // Bytes per block x total blocks.
    std::int64_t DataSize() override;
    TAudioKind Kind() override { return akApe; }
    bool ReadData(void* buffer, std::int32_t& count) override;

private:
    std::int64_t info(int field) const;

    std::shared_ptr<const TMacLib> m_lib; // outlives m_handle
    std::unique_ptr<TApeDecompress> m_handle;
};

} // namespace lv
