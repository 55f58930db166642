// An MPEG audio soundtrack's duration as "Match audio" and --duration read it: the facade
// opens the file by its name, the frame loader finds the first frame, then scans them all.
#include "Audio/Mpeg/MpegAudioFile.h"
#include "fuzz/AudioTarget.h"
#include "fuzz/FuzzInput.h"
#include "platform/Errors.h"

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TAudioFile audio;
    try {
        if (!lvfuzz::OpenSoundtrack(audio, data, size, ".mp3"))
            return 0;
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
