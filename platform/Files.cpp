#include "platform/Files.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lv {

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(fs::u8path(path), ec);
}

std::uint64_t FileSize(const std::string& path) {
    std::error_code ec;
    auto size = fs::file_size(fs::u8path(path), ec);
    return ec ? 0 : size;
}

std::string ExtractFilePath(const std::string& path) {
    auto pos = path.find_last_of('/');
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string ExtractFileName(const std::string& path) {
    auto pos = path.find_last_of('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string ExtractFileExt(const std::string& path) {
    std::string name = ExtractFileName(path);
    auto pos = name.find_last_of('.');
    return pos == std::string::npos ? std::string() : name.substr(pos);
}

std::string ProgramFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "./";
    return exe.parent_path().string() + "/";
}

namespace {

std::string InstalledDataFolder(const std::string& programFolder) {
    std::error_code ec;
    const fs::path shared = fs::u8path(programFolder) / "../share/lumivane/";
    if (programFolder.empty() || !fs::is_directory(shared, ec))
        return {};
    // The program's folder comes from /proc/self/exe, free of links: ".." is its parent.
    return shared.lexically_normal().string();
}

} // namespace

std::string DataFolderOf(const std::string& programFolder) {
    const std::string installed = InstalledDataFolder(programFolder);
    return installed.empty() ? programFolder : installed;
}

std::string ProgramDataFolder() {
    return DataFolderOf(ProgramFolder());
}

std::string OwnFilesFolderOf(const std::string& programFolder) {
    if (InstalledDataFolder(programFolder).empty() && FolderWritable(programFolder))
        return programFolder;
    return UserDataFolder();
}

std::string OwnFilesFolder() {
    return OwnFilesFolderOf(ProgramFolder());
}

std::string UserDataFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    std::string folder = dir.toStdString() + "/Lumivane/";
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folder;
}

bool FolderWritable(const std::string& folder) {
    const std::string dir = folder.empty() ? "." : folder;
    std::error_code ec;
    // access() alone says yes to root for anything, a regular file included.
    return fs::is_directory(fs::u8path(dir), ec) && access(dir.c_str(), W_OK) == 0;
}

std::string ResolvePath(const std::string& folder, const std::string& path) {
    if (path.empty() || folder.empty() || fs::u8path(path).is_absolute())
        return path;
    const fs::path joined = fs::u8path(folder) / fs::u8path(path);
    // Normalised only where that names the same folder: "link/.." is not always the folder
    // "link" stands in.
    const fs::path normal = joined.lexically_normal();
    if (normal != joined && SameFile(joined.parent_path().string(), normal.parent_path().string()))
        return normal.string();
    return joined.string();
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return !a.empty() && !b.empty() && fs::equivalent(fs::u8path(a), fs::u8path(b), ec) && !ec;
}

bool NameTaken(const std::string& path) {
    std::error_code ec;
    // A dangling link or a folder takes the name as much as a file does. A name that cannot
    // be looked at (type none) is left for whatever uses it to report.
    const auto type = fs::symlink_status(fs::u8path(path), ec).type();
    return type != fs::file_type::not_found && type != fs::file_type::none;
}

namespace {

// Fails with EEXIST instead of replacing, where the file system can say so atomically.
int RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (NameTaken(to))
        return EEXIST;
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

} // namespace

std::string PartialFileName(const std::string& path) {
    const std::string folder = ExtractFilePath(path);
    const std::string name = ExtractFileName(path);
    const std::string ext = ExtractFileExt(name);
    const std::string stem = name.substr(0, name.size() - ext.size());
    std::string candidate = folder + stem + ".partial" + ext;
    for (int n = 1; NameTaken(candidate); ++n)
        candidate = folder + stem + ".partial-" + std::to_string(n) + ext;
    return candidate;
}

std::string RenameKeepingEarlier(const std::string& from, const std::string& to, int& error) {
    error = RenameNoReplace(from, to);
    if (error == 0)
        return to;
    for (int attempt = 0; error == EEXIST && attempt < 100; ++attempt) {
        const std::string aside = PartialFileName(to);
        error = RenameNoReplace(from, aside);
        if (error == 0)
            return aside;
    }
    return {};
}

} // namespace lv
