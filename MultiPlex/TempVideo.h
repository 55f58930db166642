#pragma once

#include <string>

namespace lv {

// Where the picture track waits while the soundtrack is joined: "temp.avi" in the output's
// folder, or, when that name is taken (a file of the user's, the output itself, or the
// ".part" of a killed run),
// the first free one of "temp-1.avi", "temp-2.avi"... beside it. Nothing is deleted.
std::string TempVideoFileName(const std::string& outputFile);

} // namespace lv
