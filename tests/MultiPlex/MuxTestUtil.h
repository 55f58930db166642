#pragma once

#include "MultiPlex/MuxThd.h"

#include <QJsonObject>

#include "support/Sounds.h" // makeMp3

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace lvtest {

using Bytes = std::vector<std::uint8_t>;

Bytes readAll(const std::string& path);
void writeAll(const std::string& path, const Bytes& bytes);

// What a muxing thread reported, collected in the thread that received it.
struct MuxRecorder {
    std::vector<std::string> log;
    std::vector<int> levels;
    std::vector<std::tuple<int, int, std::string>> progress;
    bool calledOffMainThread = false;

    void attach(lv::TMuxThd& thread);
    bool logged(const std::string& line) const;
};

// Starts the thread and runs an event loop until it has finished (false on time-out).
bool runToEnd(lv::TMuxThd& thread, int timeoutMs = 120000);

// Uncompressed 24-bit video through our AVI layer: frame i at sample i, all key frames,
// 25 fps. Every frame differs.
void makeDibVideo(const std::string& path, int frames, int width = 32, int height = 24);

// The soundtrack without its ID3v2 tag in front and its ID3v1 tag at the end.
Bytes withoutTags(const Bytes& mp3);

// ffprobe's streams of a file (codec_name, codec_tag, sample_rate, channels, duration,
// nb_read_packets...), in file order; empty on failure. errors receives its standard error.
std::vector<QJsonObject> probeStreams(const std::string& path, std::string* errors = nullptr);

// The packets of one stream of an AVI copied out by ffmpeg into format (mp3, data...).
Bytes ffmpegCopyStream(const std::string& path, const std::string& map,
                       const std::vector<std::string>& outputArgs);

} // namespace lvtest
