#include "Audio/MPC/MpcLib.h"

#include <algorithm>
#include <climits>

namespace lv {

namespace {

TMpcHandle& handleOf(mpc_reader* reader) {
    return *static_cast<TMpcHandle*>(reader->data);
}

} // namespace

TMpcHandle::TMpcHandle(const TMpcLib& lib, void* data, TMpcRead read, TMpcSeek seek,
                       TMpcClose close, TMpcTell tell)
    : m_lib(lib), m_data(data), m_read(read), m_seek(seek), m_close(close), m_tell(tell) {
    m_reader.read = &readBridge;
    m_reader.seek = &seekBridge;
    m_reader.tell = &tellBridge;
    m_reader.get_size = &sizeBridge;
    m_reader.canseek = &canSeekBridge;
    m_reader.data = this;
}

TMpcHandle::~TMpcHandle() {
    if (m_demux)
        m_lib.mpc_demux_exit(m_demux);
}

// libmpcdec reads through an mpc_reader; these pass its calls on to the caller's callbacks.

mpc_int32_t TMpcHandle::readBridge(mpc_reader* reader, void* buffer, mpc_int32_t size) {
    TMpcHandle& h = handleOf(reader);
    return std::max<std::int32_t>(h.m_read(h.m_data, buffer, size), 0);
}

mpc_bool_t TMpcHandle::seekBridge(mpc_reader* reader, mpc_int32_t offset) {
    TMpcHandle& h = handleOf(reader);
    return h.m_seek(h.m_data, offset, 0) == 0 ? MPC_TRUE : MPC_FALSE;
}

mpc_int32_t TMpcHandle::tellBridge(mpc_reader* reader) {
    TMpcHandle& h = handleOf(reader);
    return mpc_int32_t(std::clamp<std::int64_t>(h.m_tell(h.m_data), -1, INT32_MAX));
}

mpc_int32_t TMpcHandle::sizeBridge(mpc_reader* reader) {
    TMpcHandle& h = handleOf(reader);
    std::int64_t here = h.m_tell(h.m_data);
    if (here < 0 || h.m_seek(h.m_data, 0, 2) != 0)
        return -1;
    std::int64_t size = h.m_tell(h.m_data);
    h.m_seek(h.m_data, here, 0);
    return mpc_int32_t(std::clamp<std::int64_t>(size, -1, INT32_MAX));
}

mpc_bool_t TMpcHandle::canSeekBridge(mpc_reader*) {
    return MPC_TRUE;
}

std::shared_ptr<const TMpcLib> TMpcLib::Load(std::vector<TLibraryStatus>& statuses) {
    auto lib = std::make_shared<TMpcLib>();
    TLibraryStatus status;
    lib->MpcDec = LoadLibraryChecked("libmpcdec.so.6", "mpcdec",
                                     {"mpc_demux_init", "mpc_demux_exit", "mpc_demux_get_info",
                                      "mpc_streaminfo_get_length_samples"},
                                     status);
    statuses.push_back(status);
    if (!lib->MpcDec)
        return nullptr;
    lib->MpcDec->Resolve(lib->mpc_demux_init, "mpc_demux_init");
    lib->MpcDec->Resolve(lib->mpc_demux_exit, "mpc_demux_exit");
    lib->MpcDec->Resolve(lib->mpc_demux_get_info, "mpc_demux_get_info");
    lib->MpcDec->Resolve(lib->mpc_streaminfo_get_length_samples,
                         "mpc_streaminfo_get_length_samples");
    return lib;
}

int TMpcLib::mpc_open_callbacks(std::unique_ptr<TMpcHandle>& handle, void* data, TMpcRead read,
                                TMpcSeek seek, TMpcClose close, TMpcTell tell,
                                const char* fileName) const {
    (void)fileName;
    if (!read || !seek || !close || !tell)
        return 1;
    auto opened = std::make_unique<TMpcHandle>(*this, data, read, seek, close, tell);
    opened->m_demux = mpc_demux_init(&opened->m_reader);
    if (!opened->m_demux)
        return 1;
    handle = std::move(opened);
    return 0;
}

void TMpcLib::mpc_get_basic_data(const TMpcHandle& handle, TMpcInfo* info) const {
    mpc_streaminfo si{};
    mpc_demux_get_info(handle.m_demux, &si);
    *info = TMpcInfo{};
    info->SampleRate = si.sample_freq;
    info->Channels = std::int32_t(si.channels);
    info->LeadingTagSize = si.header_position;
    info->AverageBitrate = si.average_bitrate;
    info->TotalSamples = std::max<mpc_int64_t>(mpc_streaminfo_get_length_samples(&si), 0);
    info->FileSize = std::uint32_t(std::max(si.total_file_length, 0));
}

void TMpcLib::mpc_close(std::unique_ptr<TMpcHandle>& handle) const {
    if (!handle)
        return;
    void* data = handle->m_data;
    TMpcClose close = handle->m_close;
    handle.reset();
    close(data);
}

} // namespace lv
