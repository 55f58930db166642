// Cost of the decoder libraries: loading them at start-up, and opening a five-minute file of
// each external format through the audio facade, against ffprobe reading the same file's
// duration. Makes the files with ffmpeg and mpcenc in a temp folder and removes them.
#include "Audio/AudioFile.h"
#include "Audio/DecoderLibraries.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSeconds = 300;

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

double millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string quoted(const fs::path& p) {
    return "'" + p.string() + "'";
}

void measure(const char* label, const fs::path& file) {
    double ours = 1e9, seconds = 0;
    for (int i = 0; i < 5; ++i) {
        auto start = Clock::now();
        lv::TAudioFile audio;
        audio.SetFileName(file.string());
        seconds = double(audio.Duration()) * 86400;
        ours = std::min(ours, millis(Clock::now() - start));
    }
    double theirs = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto start = Clock::now();
        run("ffprobe -v error -show_entries format=duration -of csv=p=0 " + quoted(file) +
            " >/dev/null");
        theirs = std::min(theirs, millis(Clock::now() - start));
    }
    std::printf("%-5s %7.2f MB  duration %8.3f s   facade %7.2f ms   ffprobe %7.2f ms\n", label,
                double(fs::file_size(file)) / 1e6, seconds, ours, theirs);
}

} // namespace

int main() {
    auto start = Clock::now();
    lv::LoadDecoderLibraries();
    double loading = millis(Clock::now() - start);
    std::printf("Loading the decoder libraries at start-up: %.2f ms\n", loading);
    for (const lv::TLibraryStatus& s : lv::DecoderLibraries()->Statuses)
        std::printf("  %-20s %s\n", s.FileName.c_str(), s.Available ? "loaded" : s.Problem.c_str());

    if (!run("command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null && "
             "command -v mpcenc >/dev/null")) {
        std::fprintf(stderr, "ffmpeg, ffprobe and mpcenc are needed\n");
        return 1;
    }
    char pattern[] = "/tmp/lumivane-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    fs::path dir = pattern;
    const std::string sine =
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=" + std::to_string(kSeconds) +
        " -ar 44100 -ac 2 ";
    struct {
        const char* label;
        const char* name;
        const char* codec;
    } formats[] = {
        {"Ogg", "x.ogg", "libvorbis"}, {"WMA", "x.wma", "wmav2"}, {"AC-3", "x.ac3", "ac3"}};
    bool ok = true;
    for (const auto& f : formats)
        ok = ok && run(sine + "-c:a " + f.codec + " " + quoted(dir / f.name));
    ok = ok && run(sine + quoted(dir / "x.wav")) &&
         run("mpcenc --silent " + quoted(dir / "x.wav") + " " + quoted(dir / "x.mpc"));
    if (ok) {
        std::printf("Five-minute files, stereo 44.1 kHz: open and duration, best of 5 (ffprobe "
                    "best of 3, process start included)\n");
        for (const auto& f : formats)
            measure(f.label, dir / f.name);
        measure("MPC", dir / "x.mpc");
    } else {
        std::fprintf(stderr, "encoding failed\n");
    }
    fs::remove_all(dir);
    return ok ? 0 : 1;
}
