#pragma once

#include <string>
#include <vector>

namespace lvtest {

// A 440 Hz tone of `seconds` encoded by lame with `lameArgs` from a WAV made by ffmpeg:
// folder/name.mp3. Fails the current test when either tool fails.
std::string makeMp3(const std::string& folder, const std::string& name,
                    const std::vector<std::string>& lameArgs, int rate, int channels,
                    double seconds);

} // namespace lvtest
