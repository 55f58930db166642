#include "Audio/Duration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lv {

std::int64_t DurationSeconds(long double days) {
    long double seconds = days * 86400;
    if (!std::isfinite(seconds) || std::fabs(seconds) > 9.0e18L)
        return 0;
    return std::int64_t(std::nearbyint(seconds));
}

std::string FormatDuration(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    std::int64_t m = seconds / 60;
    std::int64_t r = seconds % 60;
    char text[64];
    if (m < 60)
        std::snprintf(text, sizeof text, "%lld:%.2lld", static_cast<long long>(m),
                      static_cast<long long>(r));
    else
        std::snprintf(text, sizeof text, "%lld:%.2lld:%.2lld", static_cast<long long>(m / 60),
                      static_cast<long long>(m % 60), static_cast<long long>(r));
    return text;
}

std::optional<TMatchAudio> MatchAudio(std::int64_t soundtrackSeconds, std::int64_t pictureCount,
                                      bool crossFade) {
    constexpr std::int32_t kMin = 100, kMax = 60000;
    if (pictureCount <= 0)
        return std::nullopt;
    double ms =
        double(soundtrackSeconds) * 1000 / (crossFade ? pictureCount * 1.3 : double(pictureCount));
    // Brought into the limits before the conversion, so no soundtrack can overflow it.
    double t = std::clamp(std::nearbyint(ms), double(kMin), double(kMax));
    TMatchAudio result;
    result.TimePerPicture = std::int32_t(t);
    result.TooShort = result.TimePerPicture == kMin;
    return result;
}

} // namespace lv
