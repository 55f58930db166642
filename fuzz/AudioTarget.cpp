#include "fuzz/AudioTarget.h"

#include "Audio/Duration.h"
#include "fuzz/FuzzInput.h"

#include <cmath>

namespace lvfuzz {

bool OpenSoundtrack(lv::TAudioFile& audio, const std::uint8_t* data, std::size_t size,
                    const char* extension) {
    audio.SetFileName(WriteInput(data, size, extension));
    if (!audio.Open())
        return false;
    const long double days = audio.Duration();
    if (!std::isfinite(days) || days < 0)
        Broken("duration not a finite non-negative number");
    lv::FormatDuration(lv::DurationSeconds(days));
    return true;
}

} // namespace lvfuzz
