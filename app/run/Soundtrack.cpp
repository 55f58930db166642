#include "app/run/Soundtrack.h"

#include "Audio/AudioFile.h"
#include "Audio/Duration.h"
#include "platform/Errors.h"
#include "platform/RegularFile.h"

#include <unistd.h>

namespace lv {

std::optional<std::int64_t> SoundtrackSeconds(const std::string& file) {
    // A name no reader takes is no soundtrack, whether or not the file is there.
    if (AudioKindOfName(file) == akNone)
        return std::nullopt;
    {
        // Said as it is, rather than as a file no reader understands; and a pipe would block
        // a reader for good.
        std::string why;
        const int fd = OpenRegularFile(file, why);
        if (fd < 0)
            throw Error("Cannot open soundtrack file " + file + ": " + why);
        ::close(fd);
    }
    TAudioFile audio;
    audio.SetFileName(file);
    if (!audio.Open())
        return std::nullopt;
    const std::int64_t seconds = DurationSeconds(audio.Duration());
    audio.Close();
    return seconds;
}

bool MatchAudioAllowed(std::int64_t soundtrackSeconds, bool timePerPictureEditable) {
    return soundtrackSeconds > 0 && timePerPictureEditable;
}

} // namespace lv
