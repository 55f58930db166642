#pragma once

#include <string>
#include <vector>

namespace lv {

// What a run takes from the window's controls (or the command line's options).
struct TRunSettings {
    int TimePerPicture = 3000; // ms, already a whole number
    int Fps = 15;
    std::string Resolution = "640x480"; // as the resolution list shows it
    std::string FourCC;                 // first four characters of the codec line
    // The three check boxes; the rule of incompatible timing may clear them.
    bool DynamicPictures = false;
    bool CrossFade = true;
    bool TextOverlay = true;
    bool SingleFrame = false; // one frame per picture; the options are then off
    std::string OutputFile;
    std::string SoundtrackFile; // empty for none
    std::string ProjectFile;    // the project the pictures came from, if any: never overwritten
};

struct TResolution {
    int Width = 640;
    int Height = 480;
};

// "WIDTHxHEIGHT" split at its first "x": a part that is not a number becomes 640 (width) or
// 480 (height); without an "x", 640 x 480.
TResolution ParseResolution(const std::string& text);

// Less than 30 frames' worth of time per picture leaves no room for pan, fade or caption:
// when fps x time per picture < 30000 and an option is on, all three go off and the function
// returns true (the caller shows "Visual options disabled due to incompatible temporal
// settings").
bool ApplyVisualOptionsRule(TRunSettings& settings);

// A spin edit's value as the run takes it: nearest whole number, ties to even.
int RoundSpinValue(double value);

// The resolutions offered, in order: the classic three, then HD, 4K and portrait HD.
// kDefaultResolution is the one selected at start ("640x480").
const std::vector<std::string>& ResolutionItems();
inline constexpr int kDefaultResolution = 1;

// The output file a chosen name stands for: `extension` (the chosen filter's, ".avi" by
// default) appended unless the name's extension is exactly one of the written containers'
// ".avi", ".mp4", ".mkv" (case matters, so "show.AVI" becomes "show.AVI.avi").
std::string OutputFileName(const std::string& chosen, const std::string& extension = ".avi");

} // namespace lv
