// An AC-3 soundtrack's duration through the facade: the decoder library's look for a frame it
// accepts, then the reader's search for the first frame and the sizes from its header.
#include "Audio/AudioFile.h"
#include "Audio/DecoderLibraries.h"
#include "Audio/Duration.h"
#include "fuzz/FuzzInput.h"
#include "platform/Errors.h"

#include <cmath>

using namespace lv;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!DecoderLibraries()->Ac3)
        lvfuzz::Broken("liba52 is not installed: the AC-3 reader cannot be fuzzed");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = lvfuzz::WriteInput(data, size, ".ac3");
    TAudioFile audio;
    audio.SetFileName(path);
    try {
        if (!audio.Open())
            return 0;
        const long double days = audio.Duration();
        if (!std::isfinite(days) || days < 0)
            lvfuzz::Broken("duration not a finite non-negative number");
        FormatDuration(DurationSeconds(days));
        audio.Reader()->Bitrate();
    } catch (const Error&) {
    }
    return 0;
}
