#pragma once

#include <cstdint>
#include <string>

namespace lv {

// Paths are UTF-8 strings. These helpers never throw.

bool FileExists(const std::string& path);
// Size from the directory entry; 0 when the file does not exist.
std::uint64_t FileSize(const std::string& path);
// Folder of a path with its trailing separator ("" for a bare name).
std::string ExtractFilePath(const std::string& path);
// The name after the last separator.
std::string ExtractFileName(const std::string& path);
// Extension from the last dot of the name, dot included ("" when none).
std::string ExtractFileExt(const std::string& path);
// Folder of the running executable, with trailing separator.
std::string ProgramFolder();
// The folder of the program's data (help page, lang/), with trailing separator: share/lumivane/
// beside the program's bin/ folder when it is installed, else the program's folder itself,
// where the build puts the data.
std::string DataFolderOf(const std::string& programFolder);
std::string ProgramDataFolder();
// Where the program keeps the files it writes for itself (log, the burner's list): the
// program's folder when it runs from where it was built and that folder can be written; the
// user's data folder when it is installed (even for root: nothing is written into /usr) or
// its folder is read-only.
std::string OwnFilesFolderOf(const std::string& programFolder);
std::string OwnFilesFolder();
// The user's data folder for the program (created on demand), with trailing separator.
std::string UserDataFolder();
// True when a file can be created in the folder.
bool FolderWritable(const std::string& folder);
// A path as a project or the command line means it: an absolute or empty path as it stands,
// a relative one taken against `folder` (an empty folder leaves it relative), without "." and
// ".." where dropping them names the same folder.
std::string ResolvePath(const std::string& folder, const std::string& path);
// Whether two paths name the same existing file, through links and other spellings.
bool SameFile(const std::string& a, const std::string& b);
// Whether anything has the name: a file, a folder, a link (even dangling).
bool NameTaken(const std::string& path);
// Where a video that did not finish is kept when its name is taken: the first free one of
// "show.partial.avi", "show.partial-1.avi"... beside "show.avi".
std::string PartialFileName(const std::string& path);
// Renames `from` to `to` unless something has that name; then to PartialFileName(to). Never
// replaces a file. Returns the name it took, empty with `error` set when it failed.
std::string RenameKeepingEarlier(const std::string& from, const std::string& to, int& error);

} // namespace lv
