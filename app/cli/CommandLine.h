#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace lv {

// A wrong command line; the message says what is wrong.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The options of the headless renderer. Unset optionals take the window's defaults.
struct TCliOptions {
    enum class Action { Render, ListCodecs, Duration, Help, Version };
    Action action = Action::Render;
    std::string project;   // Render: the project file
    std::string audioFile; // Duration: the sound file
    std::optional<std::string> output;
    std::optional<std::string> codec;
    std::optional<std::string> resolution; // "WIDTHxHEIGHT", checked
    std::optional<int> fps;                // 1..60
    std::optional<int> timePerPicture;     // 100..60000 ms
    std::optional<bool> dynamicPictures;
    std::optional<bool> crossFade;
    std::optional<bool> textOverlay;
    bool singleFrame = false;
    std::optional<std::string> soundtrack; // "" for --no-sound
    bool matchAudio = false;
    bool quiet = false;
    std::optional<int> frame; // Render: this one frame, as a PNG, instead of the video
};

// Parses the arguments after the program name. Throws UsageError.
TCliOptions ParseCommandLine(const std::vector<std::string>& args);

// The text of --help.
std::string UsageText();

} // namespace lv
