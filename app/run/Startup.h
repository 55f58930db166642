#pragma once

#include <string>
#include <vector>

namespace lv {

class TKLog;

// "Lumivane v" + the program's four-part version: the window's caption.
std::string ProgramCaption();

// The first lines of the program's log, at level Info: "Starting", the executable's path,
// then the caption.
void LogStartup(TKLog& log, const std::string& executable, const std::string& caption);

// One line per decoder library loaded at start: at level Verbose when it loaded, Info with
// its problem when it did not (its format is then refused).
void LogDecoderLibraries(TKLog& log);

// The FourCC a run uses when the user chose none: that of the codec line the list selects
// for the remembered "LastFCC" (SelectCodecLine); empty for an empty list.
std::string RememberedFourCC(const std::vector<std::string>& codecLines);

} // namespace lv
