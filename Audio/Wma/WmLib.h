#pragma once

#include "Audio/WavAudioFile.h"
#include "platform/AvFormatLib.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lv {

// Result of a Windows Media call: 0 on success, a failure code with the top bit set
// otherwise (shown in messages as 8 hex digits).
using TWmResult = std::uint32_t;
constexpr TWmResult kWmOk = 0;
constexpr TWmResult kWmFail = 0x80004005;
constexpr TWmResult kWmInvalidArg = 0x80070057;
constexpr TWmResult kWmBufferTooSmall = 0x8007007A;
inline bool WmFailed(TWmResult result) {
    return (result & 0x80000000u) != 0;
}

enum class TWmMajorType : std::uint32_t { Unknown = 0, Audio = 1, Video = 2 };

// The media type of an output as GetMediaType copies it out. For audio, WaveFormat is the
// format of the decoded samples the output delivers.
struct TWmMediaType {
    TWmMajorType MajorType = TWmMajorType::Unknown;
    TWavFormat WaveFormat;
};

enum class TWmAttrType : std::uint16_t { DWord = 0, String = 1, Binary = 2, Bool = 3, QWord = 4 };

// One output (a decodable audio or video stream) of an opened file.
class TWmOutputProps {
public:
    virtual ~TWmOutputProps() = default;
    // With a null buffer, size receives the bytes needed; otherwise the media type is copied
    // into the buffer of `size` bytes (kWmBufferTooSmall when it does not fit).
    virtual TWmResult GetMediaType(void* buffer, std::uint32_t& size) = 0;
};

// Attributes of a file (stream number 0) or of one of its streams.
class TWmHeaderInfo {
public:
    virtual ~TWmHeaderInfo() = default;
    virtual TWmResult GetAttributeCount(std::uint16_t streamNumber, std::uint16_t& count) = 0;
    // Name, type and value (little-endian bytes; strings in UTF-8) of attribute `index`.
    virtual TWmResult GetAttributeByIndex(std::uint16_t streamNumber, std::uint16_t index,
                                          std::string& name, TWmAttrType& type,
                                          std::vector<std::uint8_t>& value) = 0;
};

// Synchronous reader of Windows Media (ASF) files. Not thread-safe; one reader per thread.
class TWmSyncReader {
public:
    virtual ~TWmSyncReader() = default;
    virtual TWmResult Open(const std::string& fileName) = 0;
    virtual TWmResult Close() = 0;
    virtual TWmResult GetOutputCount(std::uint32_t& count) = 0;
    virtual TWmResult GetOutputProps(std::uint32_t output,
                                     std::unique_ptr<TWmOutputProps>& props) = 0;
    // The reader's own header information; valid while the reader lives.
    virtual TWmResult QueryHeaderInfo(TWmHeaderInfo*& info) = 0;
    // Stream numbers count from 1. Decoded delivery needs a decoder for the stream.
    virtual TWmResult SetReadStreamSamples(std::uint16_t streamNumber, bool compressed) = 0;
    virtual TWmResult GetMaxOutputSampleSize(std::uint32_t output, std::uint32_t& size) = 0;
};

// The Windows Media runtime, over libavformat's ASF demuxer and libavcodec's decoders.
class TWmLib {
public:
    explicit TWmLib(std::shared_ptr<const TAvFormatLib> avformat);

    // Available when libavformat is loaded and has the ASF demuxer (the presence test);
    // appends a status when it lacks the demuxer.
    static std::shared_ptr<const TWmLib> Load(std::shared_ptr<const TAvFormatLib> avformat,
                                              std::vector<TLibraryStatus>& statuses);

    // A new, unopened reader that keeps the libraries loaded.
    TWmResult Wm9GetSyncReader(std::unique_ptr<TWmSyncReader>& reader) const;

private:
    std::shared_ptr<const TAvFormatLib> m_av;
};

} // namespace lv
