#pragma once

#include "app/run/RunSettings.h"

namespace lv {

// What the frames of a run are made of, as the run makes them from its settings (after the
// rule of incompatible timing): the frame size, the frames per picture, and the three
// options, which single-frame mode turns off.
struct TFrameSettings {
    int Width = 640;
    int Height = 480;
    int FrameTime = 66; // ms: 1000 div fps
    int FramesPerPicture = 1;
    bool Dynamic = false;
    bool CrossFade = false;
    bool TextOverlay = false;
};

TFrameSettings FrameSettingsOf(const TRunSettings& settings);

} // namespace lv
