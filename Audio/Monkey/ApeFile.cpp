#include "Audio/Monkey/ApeFile.h"

#include "Audio/DecoderLibraries.h"
#include "platform/Errors.h"

namespace lv {

TApeFile::TApeFile(const std::string& fileName)
    : TAbstractAudioFile(fileName), m_lib(DecoderLibraries()->Mac) {
    if (!m_lib)
        throw Error("APE format support library (MACDLL.DLL) not found.");
    int error = 0;
    m_handle = m_lib->c_APEDecompress_Create(fileName.c_str(), &error);
    // The error code only restates the null handle.
    if (!m_handle)
        throw Error("\"" + fileName + "\" is not a Monkey's Audio file");
}

TApeFile::~TApeFile() {
    m_lib->c_APEDecompress_Destroy(m_handle);
}

std::int64_t TApeFile::info(int field) const {
    return m_lib->c_APEDecompress_GetInfo(m_handle.get(), field);
}

std::int32_t TApeFile::Channels() {
    return std::int32_t(info(APE_INFO_CHANNELS));
}

std::int32_t TApeFile::SampleRate() {
    return std::int32_t(info(APE_INFO_SAMPLE_RATE));
}

std::int32_t TApeFile::BitsPerSample() {
    return std::int32_t(info(APE_INFO_BITS_PER_SAMPLE));
}

std::int64_t TApeFile::DataSize() {
    // 64 bits: in 32 a stereo 16-bit file passes 2 GiB of PCM after 3.4 hours.
    return std::int64_t(Channels()) * (BitsPerSample() / 8) * info(APE_INFO_TOTAL_BLOCKS);
}

bool TApeFile::ReadData(void* buffer, std::int32_t& count) {
    (void)buffer;
    count = 0;
    return false;
}

} // namespace lv
