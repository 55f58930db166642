#pragma once

#include <string>
#include <vector>

namespace lv {

// The codec line selected at start-up: the first line, then instead the first whose first n
// characters equal the remembered FourCC (n = its length; case ignored). "xvid" stands for an
// empty memory. Returns the index, or -1 for an empty list.
int SelectCodecLine(const std::vector<std::string>& lines, std::string remembered);

// The FourCC of a codec line: its first four characters (empty for no line).
std::string FourCCOfLine(const std::string& line);

} // namespace lv
