#include "app/run/AfterRun.h"

#include "platform/Errors.h"
#include "platform/ExternalProducts.h"
#include "platform/Files.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace lv {

std::string FindDvdConverter() {
    std::string path = FindProduct(kDvdValue, kDvdExecutable);
    return path.empty() ? FindProduct(kDvdValue2, kDvdExecutable2) : path;
}

std::string FindBurner() {
    return FindProduct(kBurnerValue, kBurnerExecutable);
}

TCommand DvdCommand(const std::string& converter, const std::string& video) {
    return {converter, {video}, converter + " \"" + video + "\""};
}

TCommand BurnerCommand(const std::string& burner, const std::string& folder,
                       const std::string& projectName, int n) {
    const std::string project = folder + projectName + "_" + std::to_string(n - 1) + ".adk";
    return {burner, {"/fl", project}, burner + " /" + "fl" + " \"" + project + "\""};
}

std::string BurnerProjectFolder() {
    return OwnFilesFolder();
}

std::string WriteBurnerProject(const std::string& folder, const std::string& video) {
    const std::string file = folder + kBurnerProjectName + "_0.adk";
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << video << "\r\n";
    out.flush();
    if (!out)
        throw Error("Cannot write " + file + ". " + std::strerror(errno));
    return file;
}

} // namespace lv
