#pragma once

#include "platform/AvFormatLib.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace lv {

// Field codes of c_APEDecompress_GetInfo.
enum TApeInfoField : int {
    APE_INFO_SAMPLE_RATE = 1003,
    APE_INFO_BITS_PER_SAMPLE = 1004,
    APE_INFO_CHANNELS = 1006,
    APE_INFO_TOTAL_BLOCKS = 1016,
};

// Error code of c_APEDecompress_Create for a file it cannot read as Monkey's Audio.
constexpr int kApeErrorInvalidInputFile = 1002;

// An opened Monkey's Audio file; closes it when destroyed.
class TApeDecompress {
public:
    TApeDecompress(const TAvFormatLib& av, AVFormatContext* context);
    ~TApeDecompress();
    TApeDecompress(const TApeDecompress&) = delete;
    TApeDecompress& operator=(const TApeDecompress&) = delete;

    const AVStream& Stream() const { return *m_context->streams[0]; }

private:
    const TAvFormatLib& m_av;
    AVFormatContext* m_context;
};

// The Monkey's Audio library calls the reader makes, over libavformat's APE demuxer. The
// handles it makes must not outlive it.
class TMacLib {
public:
    explicit TMacLib(std::shared_ptr<const TAvFormatLib> avformat);

    // Available when libavformat is loaded and has the APE demuxer; appends a status when
    // it lacks the demuxer.
    static std::shared_ptr<const TMacLib> Load(std::shared_ptr<const TAvFormatLib> avformat,
                                               std::vector<TLibraryStatus>& statuses);

    // Null, with *error set, when the file is not Monkey's Audio or cannot be read.
    std::unique_ptr<TApeDecompress> c_APEDecompress_Create(const char* fileName, int* error) const;
    // Frees the handle.
    void c_APEDecompress_Destroy(std::unique_ptr<TApeDecompress>& handle) const;
    // Value of a field; 0 for an unknown field or a null handle.
    std::intptr_t c_APEDecompress_GetInfo(const TApeDecompress* handle, int field,
                                          std::intptr_t param1 = 0, std::intptr_t param2 = 0) const;

private:
    std::shared_ptr<const TAvFormatLib> m_av;
};

} // namespace lv
