#include "project/DroppedFiles.h"

#include "platform/Files.h"

namespace lv {

bool IsSoundtrackDrop(const std::vector<std::string>& files) {
    return files.size() == 1 && ExtractFileExt(files.front()) == ".mp3";
}

} // namespace lv
