#include "Audio/Ogg/OggFile.h"

#include "Audio/DecoderLibraries.h"
#include "platform/Errors.h"

#include <algorithm>
#include <climits>

namespace lv {

namespace {

const char* const kLibraryMissing =
    "File VORBISFILE.DLL not found in the path. This file is needed to activate "
    "the ogg vorbis support";

} // namespace

TOggFile::TOggFile(const std::string& fileName)
    : TAbstractAudioFile(fileName), m_lib(DecoderLibraries()->VorbisFile),
      m_source(TCallbackSource::OpenFile(m_lib != nullptr, kLibraryMissing, fileName)) {
    m_fileSize = std::max<std::int64_t>(m_source.Size(), 0);
    const ov_callbacks callbacks = {&ReadCallback, &SeekCallback, &CloseCallback, &TellCallback};
    if (m_lib->ov_open_callbacks(this, &m_file.File, nullptr, 0, callbacks) >= 0)
        m_file.Lib = m_lib.get();
    m_source.RethrowFailure();
    if (!m_file.Lib)
        throw Error("\"" + fileName + "\" is not a Ogg bitstream");
    const vorbis_info* info = m_lib->ov_info(&m_file.File, -1);
    if (!info || info->channels <= 0 || info->rate <= 0)
        throw Error("\"" + fileName + "\" is not a Ogg bitstream");
    m_channels = info->channels;
    m_rate = std::int32_t(std::min<long>(info->rate, INT32_MAX));
    m_nominalBitrate = std::int32_t(std::clamp<long>(info->bitrate_nominal, 0, INT32_MAX));
    // Only an unseekable or broken stream has no total; its length is unknown, not negative.
    m_totalSamples = std::max<ogg_int64_t>(m_lib->ov_pcm_total(&m_file.File, -1), 0);
}

TOggFile::TDecoderFile::~TDecoderFile() {
    if (Lib)
        Lib->ov_clear(&File);
}

bool TOggFile::ReadData(void* buffer, std::int32_t& count) {
    (void)buffer;
    count = 0;
    return false;
}

// The data source handed to libvorbisfile is the reader; these reach its file stream.

std::size_t TOggFile::ReadCallback(void* ptr, std::size_t size, std::size_t count, void* reader) {
    return static_cast<TOggFile*>(reader)->m_source.Read(ptr, size, count);
}

int TOggFile::SeekCallback(void* reader, ogg_int64_t offset, int origin) {
    std::int64_t position = static_cast<TOggFile*>(reader)->m_source.Seek(offset, origin);
    // The library takes -1 as failure and anything else as success.
    return position < 0 ? -1 : int(std::min<std::int64_t>(position, INT_MAX));
}

int TOggFile::CloseCallback(void* reader) {
    return static_cast<TOggFile*>(reader)->m_source.Close();
}

long TOggFile::TellCallback(void* reader) {
    return long(static_cast<TOggFile*>(reader)->m_source.Tell());
}

} // namespace lv
