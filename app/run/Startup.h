#pragma once

#include <string>
#include <vector>

namespace lv {

class TKLog;

// "Lumivane v" + the program's four-part version: the window's caption.
std::string ProgramCaption();
// `program` + " " + the same version: what --version prints.
std::string VersionText(const std::string& program);

// The window's command line, Qt's own options taken out or not (only `action` is meant to be
// read before Qt has seen them). "--" ends the switches.
struct TWindowArguments {
    enum class Action { Open, Help, Version };
    Action action = Action::Open;
    std::string project; // the first argument that is not a switch; empty for none
    bool writeTemplate = false;
};
TWindowArguments ParseWindowArguments(const std::vector<std::string>& args);
// The text of `lumivane --help`.
std::string WindowUsageText();

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
