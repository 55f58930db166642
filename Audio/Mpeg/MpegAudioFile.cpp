#include "Audio/Mpeg/MpegAudioFile.h"

#include "platform/Files.h"

namespace lv {

TMpegAudioFile::TMpegAudioFile(const std::string& fileName)
    : TAbstractAudioFile(fileName), m_loader(std::make_unique<TFrameLoader>(fileName)) {}

TMpegAudioFile::~TMpegAudioFile() = default;

std::int32_t TMpegAudioFile::Bitrate() {
    return m_loader->FirstHeader().Bitrate();
}

std::int32_t TMpegAudioFile::Channels() {
    return m_loader->FirstHeader().Channels();
}

std::int64_t TMpegAudioFile::FileSize() {
    return std::int64_t(lv::FileSize(FileName()));
}

std::int64_t TMpegAudioFile::DataSize() {
    m_loader->ScanAll();
    return m_loader->GetTotalSamples() * 2;
}

std::int32_t TMpegAudioFile::SampleRate() {
    return m_loader->FirstHeader().SampleRate();
}

bool TMpegAudioFile::ReadData(void*, std::int32_t& count) {
    count = 0;
    return false;
}

} // namespace lv
