#include "project/PictureFiles.h"

#include "log/KLog.h"
#include "platform/Files.h"

#include <algorithm>
#include <cctype>

namespace lv {

TPictureEntry SplitPictureEntry(const std::string& entry) {
    auto tab = entry.find('\t');
    if (tab == std::string::npos)
        return {entry, ExtractFileName(entry)};
    return {entry.substr(0, tab), entry.substr(tab + 1)};
}

bool IsPictureExtension(const std::string& ext) {
    std::string lower = ext;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower == ".bmp" || lower == ".jpg" || lower == ".jpeg";
}

TPictureCheck CheckPictureFile(const std::string& path) {
    // The file system stops at a NUL: "/etc/passwd\0.jpg" would otherwise pass as a JPEG.
    if (path.find('\0') != std::string::npos || !FileExists(path))
        return TPictureCheck::NotFound;
    if (!IsPictureExtension(ExtractFileExt(path)))
        return TPictureCheck::NotSupported;
    return TPictureCheck::Ok;
}

bool AddPictureFile(TPictureList& pictures, const std::string& entry, TKLog* log,
                    const std::string& baseFolder) {
    TPictureEntry e = SplitPictureEntry(entry);
    // An empty path stays empty so that it is reported as the empty entry it is.
    e.Path = ResolvePath(baseFolder, e.Path);
    switch (CheckPictureFile(e.Path)) {
    case TPictureCheck::NotFound:
        if (log)
            log->Write("File not found : " + e.Path, llError);
        return false;
    case TPictureCheck::NotSupported:
        if (log)
            log->Write("File not supported : " + e.Path, llError);
        return false;
    case TPictureCheck::Ok:
        break;
    }
    pictures.Add(e.Path, e.Text);
    return true;
}

std::size_t AddPictureFiles(TPictureList& pictures, const std::vector<std::string>& entries,
                            TKLog* log, const std::string& baseFolder) {
    auto logInfo = [log](const std::string& message) {
        if (log)
            log->Write(message, llInfo);
    };
    logInfo("Files count : " + std::to_string(pictures.Count()));
    logInfo(std::to_string(entries.size()) + " files to be added");
    std::size_t added = 0;
    for (const auto& entry : entries)
        added += AddPictureFile(pictures, entry, log, baseFolder) ? 1 : 0;
    logInfo("Files count : " + std::to_string(pictures.Count()));
    return added;
}

} // namespace lv
