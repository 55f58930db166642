#pragma once

#include "MultiPlex/Container.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

struct AVCodecParameters;
struct AVFormatContext;

namespace lv {

// Writes an MP4 or Matroska file of already compressed samples through libavformat: one
// video stream whose format is the AVI stream format of the picture track (BITMAPINFOHEADER
// and the encoder's extradata), and optionally one MPEG audio stream. Samples are copied as
// they are; the caller hands them over in time order. The file is written as "<path>.part"
// beside path (or "<path>.1.part"... when a killed run left one) and takes the name only in
// Finish; Abandon, or destruction before Finish, removes it. MP4 gets its index at the front.
//
// Failures throw lv::Error naming the step, the library's reason and the file.
class TContainerWriter {
public:
    TContainerWriter(const std::string& path, TContainer container);
    ~TContainerWriter();
    TContainerWriter(const TContainerWriter&) = delete;
    TContainerWriter& operator=(const TContainerWriter&) = delete;

    // The video stream: `format` as the AVI stream holds it, a sample every scale / rate s.
    // The first frame gives the codec's headers when the format has none.
    void AddVideo(const std::vector<std::uint8_t>& format, std::uint32_t scale, std::uint32_t rate,
                  const std::uint8_t* firstFrame, std::size_t firstFrameSize);
    // The audio stream: MPEG audio frames of samplesPerFrame samples each.
    void AddAudio(int sampleRate, int channels, int samplesPerFrame, int bitrate);
    // After the streams, before the first sample.
    void Begin();
    // Sample `index` of a stream (0 video, 1 audio), counted in its own time unit.
    void Write(int stream, std::int64_t index, const std::uint8_t* data, std::size_t size,
               bool key);
    // Writes the index (and for MP4 moves it to the front), closes the file and gives it its
    // name, replacing a file of that name.
    void Finish();
    void Abandon();

    const std::string& PartPath() const { return m_partPath; }

private:
    [[noreturn]] void fail(const std::string& step, int error) const;
    static std::vector<std::uint8_t> HeadersOf(const AVCodecParameters& par,
                                               const std::uint8_t* keyFrame, std::size_t size);
    void close();

    std::string m_path;
    std::string m_partPath;
    TContainer m_container;
    AVFormatContext* m_context = nullptr;
    std::vector<AVRational> m_timeBases; // ours, per stream: the samples' units
    bool m_begun = false;
    bool m_finished = false;
};

} // namespace lv
