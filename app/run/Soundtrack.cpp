#include "app/run/Soundtrack.h"

#include "Audio/AudioFile.h"
#include "Audio/Duration.h"

namespace lv {

std::optional<std::int64_t> SoundtrackSeconds(const std::string& file) {
    TAudioFile audio;
    audio.SetFileName(file);
    if (!audio.Open())
        return std::nullopt;
    const std::int64_t seconds = DurationSeconds(audio.Duration());
    audio.Close();
    return seconds;
}

} // namespace lv
