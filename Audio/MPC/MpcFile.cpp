#include "Audio/MPC/MpcFile.h"

#include "Audio/DecoderLibraries.h"
#include "platform/Errors.h"

#include <climits>
#include <cmath>

namespace lv {

namespace {

const char* const kLibraryMissing =
    "File zoq_mpc.DLL not found in the path. This file is needed to activate the "
    "MusePack support";

} // namespace

TMpcFile::TMpcFile(const std::string& fileName)
    : TAbstractAudioFile(fileName), m_lib(DecoderLibraries()->Mpc),
      m_source(TCallbackSource::OpenFile(m_lib != nullptr, kLibraryMissing, fileName)) {
    int result = m_lib->mpc_open_callbacks(m_handle, &m_record, &readCallback, &seekCallback,
                                           &closeCallback, &tellCallback, fileName.c_str());
    m_source.RethrowFailure();
    if (result != 0)
        throw Error("\"" + fileName + "\" is not a MPC bitstream");
    m_lib->mpc_get_basic_data(*m_handle, &Info);
    m_source.RethrowFailure();
}

TMpcFile::~TMpcFile() {
    m_lib->mpc_close(m_handle);
}

std::int32_t TMpcFile::SampleRate() {
    double rate = Info.SampleRate;
    return rate > 0 && rate < INT32_MAX ? std::int32_t(std::lround(rate)) : 0;
}

bool TMpcFile::ReadData(void* buffer, std::int32_t& count) {
    (void)buffer;
    count = 0;
    return false;
}

std::int32_t TMpcFile::readCallback(void* data, void* buffer, std::int32_t size) {
    TCallbackSource& source = static_cast<TCallbackRecord*>(data)->Reader->m_source;
    return size <= 0 ? 0 : std::int32_t(source.Read(buffer, 1, std::size_t(size)));
}

std::int32_t TMpcFile::seekCallback(void* data, std::int64_t offset, int origin) {
    TCallbackSource& source = static_cast<TCallbackRecord*>(data)->Reader->m_source;
    return source.Seek(offset, origin) < 0 ? -1 : 0;
}

std::int32_t TMpcFile::closeCallback(void* data) {
    return static_cast<TCallbackRecord*>(data)->Reader->m_source.Close();
}

std::int64_t TMpcFile::tellCallback(void* data) {
    return static_cast<TCallbackRecord*>(data)->Reader->m_source.Tell();
}

} // namespace lv
