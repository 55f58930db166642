// An AC-3 soundtrack's duration through the facade: the decoder library's look for a frame it
// accepts, then the reader's search for the first frame and the sizes from its header.
#include "Audio/DecoderLibraries.h"
#include "fuzz/AudioTarget.h"
#include "fuzz/FuzzInput.h"
#include "platform/Errors.h"

using namespace lv;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!DecoderLibraries()->Ac3)
        lvfuzz::Broken("liba52 is not installed: the AC-3 reader cannot be fuzzed");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TAudioFile audio;
    try {
        if (lvfuzz::OpenSoundtrack(audio, data, size, ".ac3"))
            audio.Reader()->Bitrate();
    } catch (const Error&) {
    }
    return 0;
}
