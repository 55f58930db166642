#pragma once

#include <string>
#include <vector>

namespace lv {

// Handing a finished video to the external tools of the done dialog: a DVD converter and a
// disc burner, found where other programs register them (platform/ExternalProducts.h).

inline constexpr const char* kBurnerValue = "ArdiskCD";
inline constexpr const char* kBurnerExecutable = "ArdiskCd.exe";
inline constexpr const char* kDvdValue = "Morvadisc";
inline constexpr const char* kDvdExecutable = "Morvadisc.exe";
inline constexpr const char* kDvdValue2 = "Orvadisc";
inline constexpr const char* kDvdExecutable2 = "orvadisc.exe";
// Held by the burner while it runs.
inline constexpr const char* kBurnerMutex = "ARDISKCD_RUNNING";
// Base name of the burner project files: "lmv_0.adk", "lmv_1.adk"...
inline constexpr const char* kBurnerProjectName = "lmv";

// A process to start: the program and its arguments, passed as they are (no shell, so spaces,
// quotes and any other characters of a path arrive unchanged).
struct TCommand {
    std::string Program;
    std::vector<std::string> Arguments;
    // The classic one-line form, for the log and for people: the program unquoted, a switch
    // as it is and a path in double quotes.
    std::string CommandLine;
};

// The DVD converter, first or second choice; empty when neither is registered.
std::string FindDvdConverter();
std::string FindBurner();

// The converter with the video as its argument: `converter "video"`.
TCommand DvdCommand(const std::string& converter, const std::string& video);
// The burner for project file n (counted from 1): `burner /fl "folder + name_(n-1).adk"`.
TCommand BurnerCommand(const std::string& burner, const std::string& folder,
                       const std::string& projectName, int n);

// Where the burner project files go: OwnFilesFolder(). With trailing separator.
std::string BurnerProjectFolder();
// Writes folder + "lmv_0.adk": one line, the video's path, ended by CR LF. Returns the file's
// path; throws lv::Error naming the file when it cannot be written.
std::string WriteBurnerProject(const std::string& folder, const std::string& video);

} // namespace lv
