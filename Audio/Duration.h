#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lv {

// Whole seconds of a duration in days: the nearest integer to days x 86400, ties to even;
// 0 for a value that is not finite.
std::int64_t DurationSeconds(long double days);

// A duration as the window shows it: "m:ss" below an hour ("3:07"), "h:mm:ss" from an hour
// on ("1:40:05"). Negative values show as 0:00.
std::string FormatDuration(std::int64_t seconds);

// Shown when "Match audio" had to use the shortest time per picture.
inline constexpr const char* kMatchAudioTooShort =
    "Soundtrack too short or too many picture loaded. Using minimal picture duration.";

struct TMatchAudio {
    std::int32_t TimePerPicture = 0; // ms, within 100 .. 60000
    bool TooShort = false;           // the result is the minimum 100: show kMatchAudioTooShort
};

// "Match audio": the time per picture that spreads the soundtrack over the pictures, cross-
// fades taking about 30% more room; nothing (std::nullopt) for an empty picture list.
std::optional<TMatchAudio> MatchAudio(std::int64_t soundtrackSeconds, std::int64_t pictureCount,
                                      bool crossFade);

} // namespace lv
