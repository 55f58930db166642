#include "app/run/RunSettings.h"

#include "MultiPlex/Container.h"

#include "platform/Files.h"

#include <charconv>
#include <cmath>

namespace lv {

namespace {

// The whole text must be a number, as a strict string-to-integer conversion takes it.
bool toInt(const std::string& s, int& out) {
    const char* begin = s.data();
    const char* end = s.data() + s.size();
    if (begin != end && *begin == '+')
        ++begin;
    auto [ptr, ec] = std::from_chars(begin, end, out);
    return ec == std::errc() && ptr == end && begin != end;
}

} // namespace

TResolution ParseResolution(const std::string& text) {
    TResolution r;
    const auto x = text.find('x');
    if (x == std::string::npos)
        return r;
    int w = 0, h = 0;
    r.Width = toInt(text.substr(0, x), w) ? w : 640;
    r.Height = toInt(text.substr(x + 1), h) ? h : 480;
    return r;
}

bool ApplyVisualOptionsRule(TRunSettings& s) {
    const bool anyOn = s.DynamicPictures || s.CrossFade || s.TextOverlay;
    if (!anyOn || double(s.Fps) * double(s.TimePerPicture) >= 30000.0)
        return false;
    s.DynamicPictures = s.CrossFade = s.TextOverlay = false;
    return true;
}

int RoundSpinValue(double value) {
    return int(std::nearbyint(value));
}

const std::vector<std::string>& ResolutionItems() {
    static const std::vector<std::string> items = {"320x240",   "640x480",   "720x576",  "1280x720",
                                                   "1920x1080", "3840x2160", "1080x1920"};
    return items;
}

std::string OutputFileName(const std::string& chosen, const std::string& extension) {
    const std::string ext = ExtractFileExt(chosen);
    for (TContainer c : {TContainer::Avi, TContainer::Mp4, TContainer::Matroska})
        if (ext == ContainerExtension(c))
            return chosen;
    return chosen + extension;
}

} // namespace lv
