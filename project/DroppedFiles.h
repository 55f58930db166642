#pragma once

#include <string>
#include <vector>

namespace lv {

// Files dropped on the window: exactly one whose extension is ".mp3" (in lower case) is a
// soundtrack; anything else goes to the picture list, which refuses what it cannot use.
bool IsSoundtrackDrop(const std::vector<std::string>& files);

} // namespace lv
