// The soundtrack's frame list as the muxer builds it: the scan, then every complete frame's
// bounds (which the muxer reads from the file) and the audio stream's format.
#include "MultiPlex/MP3FrameExtract.h"
#include "MultiPlex/MuxThd.h"
#include "fuzz/FuzzInput.h"
#include "platform/Errors.h"

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = lvfuzz::WriteInput(data, size, ".mp3");
    TMP3FrameExtract frames(path);
    frames.OnScanProgress = [](std::uint8_t percent) {
        if (percent > 100)
            lvfuzz::Broken("scan progress above 100");
    };
    try {
        frames.Scan();
    } catch (const Error&) {
        return 0;
    }
    const int complete = frames.CompleteFrames();
    std::int64_t previousEnd = 0;
    for (int k = 0; k < complete; ++k) {
        const std::int64_t start = frames.FrameStart(k), end = frames.FrameEnd(k);
        // The muxer copies [start, end) of the file as one audio sample.
        if (start < previousEnd || end <= start || end > frames.FileSize())
            lvfuzz::Broken("frame bounds outside the file or overlapping");
        previousEnd = end;
    }
    for (int i = -1; i <= frames.FrameCount(); ++i) {
        frames.FrameOffset(i);
        frames.FrameSize(i);
    }
    const MPEGLAYER3WAVEFORMAT format = Mp3WaveFormat(frames);
    if (complete > 0 && (format.nSamplesPerSec == 0 || Mp3SamplesPerFrame(frames) <= 0))
        lvfuzz::Broken("frames without a rate");
    return 0;
}
