// An MPEG audio soundtrack's duration as "Match audio" and --duration read it: the facade
// opens the file by its name, the frame loader finds the first frame, then scans them all.
#include "Audio/AudioFile.h"
#include "Audio/Duration.h"
#include "Audio/Mpeg/MpegAudioFile.h"
#include "fuzz/FuzzInput.h"
#include "platform/Errors.h"

#include <cmath>

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = lvfuzz::WriteInput(data, size, ".mp3");
    TAudioFile audio;
    audio.SetFileName(path);
    try {
        if (!audio.Open())
            return 0;
        const long double days = audio.Duration();
        if (!std::isfinite(days) || days < 0)
            lvfuzz::Broken("duration not a finite non-negative number");
        FormatDuration(DurationSeconds(days));
    } catch (const Error&) {
        return 0;
    }
    // The index the scan built: frames in file order, each within the file.
    const auto& loader = static_cast<TMpegAudioFile*>(audio.Reader())->Loader();
    std::uint64_t previousEnd = 0;
    for (std::int32_t i = 0; i < loader.FrameCount(); ++i) {
        const std::uint64_t offset = loader.FrameOffset(i), length = loader.FrameLength(i);
        if (offset < previousEnd || length == 0 || offset + length > size)
            lvfuzz::Broken("frame index outside the file or overlapping");
        previousEnd = offset + length;
    }
    return 0;
}
