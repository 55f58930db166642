#include "MultiPlex/TempVideo.h"

#include "platform/Files.h"

namespace lv {

namespace {

// The output itself, a file of the user's, or the ".part" a killed run left beside it.
bool Taken(const std::string& path, const std::string& outputFile) {
    return path == outputFile || NameTaken(path) || NameTaken(path + ".part");
}

} // namespace

std::string TempVideoFileName(const std::string& outputFile) {
    const std::string folder = ExtractFilePath(outputFile);
    std::string name = folder + "temp.avi";
    for (int n = 1; Taken(name, outputFile); ++n)
        name = folder + "temp-" + std::to_string(n) + ".avi";
    return name;
}

} // namespace lv
