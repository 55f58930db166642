#include "MultiPlex/TempVideo.h"

#include "platform/Files.h"

#include <filesystem>

namespace lv {

namespace {

bool NameTaken(const std::string& path, const std::string& outputFile) {
    if (path == outputFile)
        return true;
    std::error_code ec;
    // A dangling link or a folder takes the name as much as a file does. A name that cannot
    // be looked at (type none) is left for the rename to report.
    auto type = std::filesystem::symlink_status(std::filesystem::u8path(path), ec).type();
    return type != std::filesystem::file_type::not_found &&
           type != std::filesystem::file_type::none;
}

} // namespace

std::string TempVideoFileName(const std::string& outputFile) {
    const std::string folder = ExtractFilePath(outputFile);
    std::string name = folder + "temp.avi";
    for (int n = 1; NameTaken(name, outputFile); ++n)
        name = folder + "temp-" + std::to_string(n) + ".avi";
    return name;
}

} // namespace lv
