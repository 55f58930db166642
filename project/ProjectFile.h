#pragma once

#include "Common/PictureList.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lv {

class TKLog;

// A project file (".lmv"): text, one record a line, no magic and no version.
//   ;Sound=<soundtrack path>
//   ;Output=<output video path>
//   <picture path>[TAB<text>]      one line a picture, in list order
// Encoding options are not part of a project.
//
// Reading accepts more than writing produces: the header is every leading line that begins
// with ';' (an empty line ends it); ";Sound=" and ";Output=" are matched with case, other
// header lines are ignored, the later of two equal keys wins. Every other line is a picture
// entry. Lines may end with CR LF, LF or CR, and the last one needs none. A picture path that
// is relative is taken against the project file's folder, so a folder of pictures with its
// project can be moved as a whole.
struct TProject {
    std::optional<std::string> Sound;  // absent without a ";Sound=" line
    std::optional<std::string> Output; // absent without a ";Output=" line
    std::vector<std::string> Entries;  // picture entries as read: a path, or path TAB text
    std::string Folder;                // absolute folder of the project file, trailing '/'
    std::vector<std::string> Skipped;  // after LoadProject: the pictures it could not use
};

// Projects above this size are refused rather than read: no real one comes near it, and a
// video picked by mistake would otherwise be held in memory line by line.
inline constexpr std::uint64_t kMaxProjectFileSize = 64ull << 20;

// Splits file content into a project; never throws for any content.
TProject ParseProject(std::string_view data);

// Reads a project file without touching any list. Throws lv::Error naming the file when it
// cannot be read or is too large.
TProject ReadProject(const std::string& fileName);

// Reads a project and replaces the picture list with its pictures: only once the file has
// been read is the list cleared, so a failed read leaves it as it was. Missing and unsupported
// pictures are dropped and logged (`log` may be null). The caller applies Sound (through its
// soundtrack check) and Output. Callers that must take the soundtrack before the list changes
// use ReadProject, then AddPictureFiles with the project's Folder.
TProject LoadProject(const std::string& fileName, TPictureList& pictures, TKLog* log);

// The name a project is saved under: `chosen` with ".lmv" appended unless its extension is
// exactly ".lmv" (case matters, so "a.LMV" becomes "a.LMV.lmv").
std::string ProjectSaveName(const std::string& chosen);

// The file content for a list: the sound line, the output line, then one line a picture, with
// TAB and text only where the text differs (with regard to case) from the file name. Line
// breaks in a text are written as spaces, since they would split the entry on reading. Throws
// lv::Error for a path that a project line cannot hold (TAB or line break).
std::string FormatProject(const TPictureList& pictures, const std::string& sound,
                          const std::string& output);

// Writes the project to ProjectSaveName(fileName), replacing an existing file only once the
// new one is complete, and returns that name. Throws lv::Error naming the file on failure.
std::string SaveProject(const std::string& fileName, const TPictureList& pictures,
                        const std::string& sound, const std::string& output);

} // namespace lv
