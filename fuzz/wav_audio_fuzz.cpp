// A WAV soundtrack through the facade, as "Match audio" reads its duration, then its data read
// back through the reader, the only one that delivers samples.
#include "Audio/AudioFile.h"
#include "Audio/Duration.h"
#include "fuzz/FuzzInput.h"
#include "platform/Errors.h"

#include <cmath>
#include <vector>

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = lvfuzz::WriteInput(data, size, ".wav");
    TAudioFile audio;
    audio.SetFileName(path);
    try {
        if (!audio.Open())
            return 0;
        const long double days = audio.Duration();
        if (!std::isfinite(days) || days < 0)
            lvfuzz::Broken("duration not a finite non-negative number");
        FormatDuration(DurationSeconds(days));

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
