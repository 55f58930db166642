#pragma once

#include <QList>
#include <QUrl>

#include <string>
#include <vector>

namespace lv {

// Files dropped on the window: exactly one whose extension is ".mp3" (in lower case) is a
// soundtrack; anything else goes to the picture list, which refuses what it cannot use.
bool IsSoundtrackDrop(const std::vector<std::string>& files);

// The local files of dropped URLs, their paths byte for byte as the file system has them
// (also names that are not valid UTF-8); "//host/path" for a URL with a host. Other URLs and
// empty paths are left out.
std::vector<std::string> DroppedFilePaths(const QList<QUrl>& urls);

} // namespace lv
