// A WAV soundtrack through the facade, as "Match audio" reads its duration, then its data read
// back through the reader, the only one that delivers samples.
#include "fuzz/AudioTarget.h"
#include "fuzz/FuzzInput.h"
#include "platform/Errors.h"

#include <vector>

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TAudioFile audio;
    try {
        if (!lvfuzz::OpenSoundtrack(audio, data, size, ".wav"))
            return 0;
        TAbstractAudioFile& reader = *audio.Reader();
        reader.Bitrate();
        reader.Duration();
        const std::int64_t dataSize = reader.DataSize();
        if (dataSize < 0 || dataSize > std::int64_t(size))
            lvfuzz::Broken("data size beyond the file");
        std::vector<std::uint8_t> buffer(4096);
        std::int64_t total = 0;
        for (std::int32_t count = 4096; reader.ReadData(buffer.data(), count); count = 4096)
            total += count;
        if (total != dataSize || reader.DataPosition() != dataSize)
            lvfuzz::Broken("the data read differs from the data size");
        reader.SeekData(dataSize / 2);
        std::int32_t count = 4096;
        reader.ReadData(buffer.data(), count);
    } catch (const Error&) {
    }
    return 0;
}
