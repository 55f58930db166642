#pragma once

#include "platform/DynLib.h"

#include <mpc/mpcdec.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace lv {

// The stream information record mpc_get_basic_data fills, at fixed byte offsets.
#pragma pack(push, 1)
struct TMpcInfo {
    double SampleRate = 0;             // 0
    std::int32_t Channels = 0;         // 8
    std::int32_t LeadingTagSize = 0;   // 12: bytes before the stream header
    std::uint8_t Reserved16[8] = {};   // 16
    double AverageBitrate = 0;         // 24: bits per second
    std::uint8_t Reserved32[4] = {};   // 32
    std::int64_t TotalSamples = 0;     // 36: per channel, without the encoder's delay
    std::uint8_t Reserved44[304] = {}; // 44
    std::uint32_t FileSize = 0;        // 348
};
#pragma pack(pop)
static_assert(offsetof(TMpcInfo, Channels) == 8 && offsetof(TMpcInfo, LeadingTagSize) == 12 &&
              offsetof(TMpcInfo, AverageBitrate) == 24 && offsetof(TMpcInfo, TotalSamples) == 36 &&
              offsetof(TMpcInfo, FileSize) == 348);

// The callbacks a Musepack stream is read through; `data` is what the caller passed.
// read: bytes read (0 at the end, negative on failure). seek: origin 0, 1, 2 as for files;
// 0 on success. close: frees the caller's stream. tell: position, negative on failure.
using TMpcRead = std::int32_t (*)(void* data, void* buffer, std::int32_t size);
using TMpcSeek = std::int32_t (*)(void* data, std::int64_t offset, int origin);
using TMpcClose = std::int32_t (*)(void* data);
using TMpcTell = std::int64_t (*)(void* data);

class TMpcLib;

// An opened Musepack stream. Not thread-safe.
class TMpcHandle {
public:
    TMpcHandle(const TMpcLib& lib, void* data, TMpcRead read, TMpcSeek seek, TMpcClose close,
               TMpcTell tell);
    ~TMpcHandle();
    TMpcHandle(const TMpcHandle&) = delete;
    TMpcHandle& operator=(const TMpcHandle&) = delete;

private:
    friend class TMpcLib;
    static mpc_int32_t readBridge(mpc_reader* reader, void* buffer, mpc_int32_t size);
    static mpc_bool_t seekBridge(mpc_reader* reader, mpc_int32_t offset);
    static mpc_int32_t tellBridge(mpc_reader* reader);
    static mpc_int32_t sizeBridge(mpc_reader* reader);
    static mpc_bool_t canSeekBridge(mpc_reader* reader);

    const TMpcLib& m_lib;
    void* m_data;
    TMpcRead m_read;
    TMpcSeek m_seek;
    TMpcClose m_close;
    TMpcTell m_tell;
    mpc_reader m_reader{};
    mpc_demux* m_demux = nullptr;
};

// The Musepack calls the reader makes, over libmpcdec. Handles it makes must not outlive it.
class TMpcLib {
public:
    // Loads libmpcdec.so.6; null when absent or lacking an export (with its status).
    static std::shared_ptr<const TMpcLib> Load(std::vector<TLibraryStatus>& statuses);

    // 0 and an open handle, or nonzero when the stream is not Musepack. The file name is
    // for the caller's records; every byte comes through the callbacks. On failure the
    // close callback is not called.
    int mpc_open_callbacks(std::unique_ptr<TMpcHandle>& handle, void* data, TMpcRead read,
                           TMpcSeek seek, TMpcClose close, TMpcTell tell,
                           const char* fileName) const;
    void mpc_get_basic_data(const TMpcHandle& handle, TMpcInfo* info) const;
    // Frees the handle and calls its close callback.
    void mpc_close(std::unique_ptr<TMpcHandle>& handle) const;

    std::unique_ptr<TDynLib> MpcDec;
    decltype(&::mpc_demux_init) mpc_demux_init = nullptr;
    decltype(&::mpc_demux_exit) mpc_demux_exit = nullptr;
    decltype(&::mpc_demux_get_info) mpc_demux_get_info = nullptr;
    decltype(&::mpc_streaminfo_get_length_samples) mpc_streaminfo_get_length_samples = nullptr;
};

} // namespace lv
