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
                    const std::string& baseFolder, std::vector<std::string>* skipped) {
    TPictureEntry e = SplitPictureEntry(entry);
    // An empty path stays empty so that it is reported as the empty entry it is.
    e.Path = ResolvePath(baseFolder, e.Path);
    const TPictureCheck check = CheckPictureFile(e.Path);
    if (check != TPictureCheck::Ok) {
        if (log)
            log->Write(
                (check == TPictureCheck::NotFound ? "File not found : " : "File not supported : ") +
                    e.Path,
                llError);
        if (skipped)
            skipped->push_back(e.Path);
        return false;
    }
    pictures.Add(e.Path, e.Text);
    return true;
}

std::size_t AddPictureFiles(TPictureList& pictures, const std::vector<std::string>& entries,
                            TKLog* log, const std::string& baseFolder,
                            std::vector<std::string>* skipped) {
    auto logInfo = [log](const std::string& message) {
        if (log)
            log->Write(message, llInfo);
    };
    logInfo("Files count : " + std::to_string(pictures.Count()));
    logInfo(std::to_string(entries.size()) + " files to be added");
    std::size_t added = 0;
    for (const auto& entry : entries)
        added += AddPictureFile(pictures, entry, log, baseFolder, skipped) ? 1 : 0;
    logInfo("Files count : " + std::to_string(pictures.Count()));
    return added;
}

std::string SkippedPicturesMessage(const std::vector<std::string>& skipped,
                                   const std::string& logFile) {
    constexpr std::size_t kNamed = 3;
    std::string names;
    for (std::size_t i = 0; i < std::min(skipped.size(), kNamed); ++i)
        names +=
            (i ? ", " : "") + (skipped[i].empty() ? std::string("(an empty line)") : skipped[i]);
    if (skipped.size() > kNamed)
        names += " and " + std::to_string(skipped.size() - kNamed) + " more";
    return "Skipped " + std::to_string(skipped.size()) +
           " picture(s) that are missing or not BMP/JPEG: " + names + "; see " + logFile;
}

} // namespace lv
