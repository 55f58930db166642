#include "support/Sounds.h"

#include "support/Process.h"

#include <gtest/gtest.h>

namespace lvtest {

std::string makeMp3(const std::string& folder, const std::string& name,
                    const std::vector<std::string>& lameArgs, int rate, int channels,
                    double seconds) {
    const std::string wav = folder + "/" + name + ".wav";
    const std::string mp3 = folder + "/" + name + ".mp3";
    auto made = runProcess("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                      "sine=frequency=440:sample_rate=" + std::to_string(rate) +
                                          ":duration=" + std::to_string(seconds),
                                      "-ac", std::to_string(channels), wav});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    std::vector<std::string> args = {"--quiet"};
    args.insert(args.end(), lameArgs.begin(), lameArgs.end());
    args.push_back(wav);
    args.push_back(mp3);
    auto encoded = runProcess("lame", args);
    EXPECT_EQ(encoded.exitCode, 0) << encoded.err;
    return mp3;
}

} // namespace lvtest
