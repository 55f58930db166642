#pragma once

#include <QImage>

#include <string>
#include <vector>

namespace lvtest {

// One stream as ffprobe reports it (with packets counted).
struct ProbedStream {
    std::string codecType; // "video", "audio"
    std::string codecName;
    std::string codecTagString;
    std::string codecTag;  // "0x0055"
    std::string frameRate; // r_frame_rate, e.g. "500/33"
    int width = 0, height = 0;
    long long packets = -1; // nb_read_packets
    int sampleRate = 0, channels = 0;
};

// ffprobe's view of a file's streams; empty when ffprobe fails. `errors` gets its stderr.
std::vector<ProbedStream> probeStreams(const std::string& file, std::string* errors = nullptr);
// What `ffmpeg -v error -i file -f null -` prints: empty for a file that decodes cleanly.
std::string decodeErrors(const std::string& file);
// Frame n (from 0) of the file's video as ffmpeg decodes it, RGB32; null when there is none.
QImage videoFrame(const std::string& file, int n, int width, int height);

} // namespace lvtest
