#pragma once

#include "Common/PictureList.h"

#include <string>
#include <vector>

namespace lv {

class TKLog;

// How adding pictures to the slideshow checks and logs them, shared by the window's "Add
// Files", dropped files, project loading and the command line. Everything here runs on the
// thread that owns the list; nothing throws for a file that cannot be used: such files are
// dropped and logged at level Error.

// One entry handed to the list: a path, or a path, a TAB and a text (further TABs belong to
// the text). Without a text the text is the file name of the path.
struct TPictureEntry {
    std::string Path;
    std::string Text;
};
TPictureEntry SplitPictureEntry(const std::string& entry);

enum class TPictureCheck { Ok, NotFound, NotSupported };

// ".bmp", ".jpg" or ".jpeg" in any case.
bool IsPictureExtension(const std::string& ext);
// NotFound when no regular file is at the path (a path holding a NUL byte never names one),
// NotSupported when its extension is not a picture's.
TPictureCheck CheckPictureFile(const std::string& path);

// Checks one entry and appends it to the list; a relative path is first taken against
// `baseFolder` (with trailing separator) when that is not empty. Logs "File not found : " or
// "File not supported : " with the path when the entry is dropped, and appends the path to
// `skipped` when given. Returns true when added.
bool AddPictureFile(TPictureList& pictures, const std::string& entry, TKLog* log,
                    const std::string& baseFolder = {},
                    std::vector<std::string>* skipped = nullptr);

// Adds the entries in order, logging "Files count : %d" before and after and "%d files to be
// added". Returns how many were added. `log` and `skipped` may be null.
std::size_t AddPictureFiles(TPictureList& pictures, const std::vector<std::string>& entries,
                            TKLog* log, const std::string& baseFolder = {},
                            std::vector<std::string>* skipped = nullptr);

// "Skipped 2 picture(s) that are missing or not BMP/JPEG: /p/a.gif, /p/b.jpg; see <log>",
// naming the first three and counting the rest.
std::string SkippedPicturesMessage(const std::vector<std::string>& skipped,
                                   const std::string& logFile);

} // namespace lv
