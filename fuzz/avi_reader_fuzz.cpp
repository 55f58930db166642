// The AVI reader as the muxer reads a video: open, file and stream headers, the format, then
// every sample with its key flag (of every stream, not only the first video stream).
#include "fuzz/FuzzInput.h"
#include "platform/AviFile.h"

#include <algorithm>
#include <vector>

using namespace lv;

namespace {

// Each read is a lookup; past this many samples a stream only costs time, not coverage.
constexpr std::int32_t kMaxSamples = 4096;

void ReadStream(const PAVISTREAM& stream, std::vector<std::uint8_t>& buffer) {
    AVISTREAMINFO info;
    if (AVIStreamInfo(stream, info) != AVIERR_OK)
        lvfuzz::Broken("AVIStreamInfo failed on an open stream");
    std::int32_t formatSize = 0;
    if (AVIStreamReadFormat(stream, 0, nullptr, &formatSize) != AVIERR_OK || formatSize < 0)
        lvfuzz::Broken("AVIStreamReadFormat gave no size");
    std::vector<std::uint8_t> format(std::size_t(std::max(formatSize, 1)));
    AVIStreamReadFormat(stream, 0, format.data(), &formatSize);

    const std::int32_t first = std::max(AVIStreamStart(stream), 0);
    const std::int32_t length = std::min(AVIStreamLength(stream), kMaxSamples);
    for (std::int32_t i = 0; i < length; ++i) {
        const std::int32_t pos = first + i;
        std::int32_t bytes = 0, samples = 0;
        if (AVIStreamRead(stream, pos, 1, nullptr, 0, &bytes, &samples) != AVIERR_OK)
            continue;
        if (bytes < 0)
            lvfuzz::Broken("negative sample size");
        if (std::size_t(bytes) > buffer.size())
            buffer.resize(std::size_t(bytes));
        if (bytes > 0)
            AVIStreamRead(stream, pos, 1, buffer.data(), bytes, &bytes, &samples);
        AVIStreamFindSample(stream, pos, FIND_KEY);
        AVIStreamFindSample(stream, pos, FIND_NEXT | FIND_ANY);
        AVIStreamIsKeyFrame(stream, pos);
    }
    // As much as fits, across chunks (streams with a sample size).
    std::int32_t bytes = 0, samples = 0;
    AVIStreamRead(stream, first, AVISTREAMREAD_CONVENIENT, buffer.data(),
                  std::int32_t(std::min<std::size_t>(buffer.size(), 1 << 16)), &bytes, &samples);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = lvfuzz::WriteInput(data, size, ".avi");
    PAVIFILE file;
    if (AVIFileOpen(file, path, OF_READ) != AVIERR_OK)
        return 0;
    AVIFILEINFO info;
    AVIFileInfo(file, info);
    std::vector<std::uint8_t> buffer(1);
    for (std::int32_t n = 0;; ++n) {
        PAVISTREAM stream;
        if (AVIFileGetStream(file, stream, 0, n) != AVIERR_OK)
            break;
        ReadStream(stream, buffer);
        AVIStreamRelease(stream);
    }
    AVIFileRelease(file);
    return 0;
}
