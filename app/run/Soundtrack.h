#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lv {

// Taking a soundtrack file, as the window's soundtrack choice, a loaded project and the
// command line all do: the audio facade picks a reader by the file's extension and gives
// the duration, here in whole seconds (nearest, ties to even).
//
// std::nullopt when no reader takes the file (an empty path, an extension without reader):
// the caller then keeps the soundtrack it had. A file that is missing or no regular file
// throws "Cannot open soundtrack file <file>: <why>"; a reader that refuses the file's
// content throws its lv::Error.
std::optional<std::int64_t> SoundtrackSeconds(const std::string& file);

// Whether "Match audio" can be used: a soundtrack of some length, and a time per picture that
// can be set (not in single-frame mode, not while a run is under way).
bool MatchAudioAllowed(std::int64_t soundtrackSeconds, bool timePerPictureEditable);

} // namespace lv
