#pragma once

#include <string>

namespace lv {

// Why the last failed file operation of this thread failed, in the system's words and with
// the file's path: "No space left on device: \"/videos/clip.avi\"". Result codes of the AVI
// layer cannot carry it, so its callers add it to their messages. Empty when nothing failed
// since the last Clear.
std::string LastSystemError();
void SetLastSystemError(const std::string& path, int error);
void SetLastSystemError(std::string text);
void ClearLastSystemError();

// message, then ". " and LastSystemError() when there is one.
std::string WithSystemError(const std::string& message);

} // namespace lv
