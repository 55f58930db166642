#include "app/run/CodecChoice.h"

#include <algorithm>
#include <cctype>

namespace lv {

namespace {

bool startsWithNoCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), s.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

} // namespace

int SelectCodecLine(const std::vector<std::string>& lines, std::string remembered) {
    if (lines.empty())
        return -1;
    if (remembered.empty())
        remembered = "xvid";
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (startsWithNoCase(lines[i], remembered))
            return int(i);
    return 0;
}

std::string FourCCOfLine(const std::string& line) {
    return line.substr(0, 4);
}

} // namespace lv
