// Duration of one-hour MP3 soundtracks (CBR 128 kbit/s and VBR) through the audio facade,
// against ffprobe's packet count on the same files. Makes the files with lame in a temp
// folder (ten seconds encoded, its frames repeated to an hour) and removes them.
#include "Audio/AudioFile.h"
#include "Audio/Mpeg/MpegAudioFile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

std::string capture(const std::string& command) {
    std::string out;
    if (std::FILE* p = ::popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        ::pclose(p);
    }
    return out;
}

// Ten seconds of stereo 44.1 kHz: a sweep with noise bursts, so VBR frames vary in size.
void writeTone(const fs::path& path) {
    std::ofstream out(path, std::ios::binary);
    std::mt19937 random(7);
    const int rate = 44100;
    for (int i = 0; i < rate * 10; ++i) {
        double t = double(i) / rate;
        double noise = (i / 22050) % 2 ? double(int(random() % 2001) - 1000) : 0.0;
        for (int c = 0; c < 2; ++c) {
            auto s =
                std::int16_t(8000 * std::sin(2 * M_PI * (200 + 150 * t) * (c + 1) * t) + 4 * noise);
            out.put(char(s & 0xFF)).put(char((s >> 8) & 0xFF));
        }
    }
}

// Repeats a file's bytes until the copy lasts an hour.
void repeatToAnHour(const fs::path& piece, const fs::path& whole) {
    std::ifstream in(piece, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream out(whole, std::ios::binary);
    for (int i = 0; i < 360; ++i)
        out.write(bytes.data(), std::streamsize(bytes.size()));
}

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void measure(const char* label, const fs::path& file) {
    // Best of five for us, best of three for ffprobe; the page cache is warm for both.
    double ours = 1e9, duration = 0;
    long indexBytes = 0, rssGrowth = 0;
    std::int32_t frames = 0;
    for (int i = 0; i < 5; ++i) {
        long before = residentKiB();
        auto start = Clock::now();
        lv::TAudioFile audio;
        audio.SetFileName(file.string());
        duration = double(audio.Duration()) * 86400;
        ours = std::min(ours, seconds(Clock::now() - start));
        rssGrowth = std::max(rssGrowth, residentKiB() - before);
        const auto& loader = static_cast<lv::TMpegAudioFile*>(audio.Reader())->Loader();
        frames = loader.FrameCount();
        indexBytes = long(loader.IndexCapacity() * 8);
    }
    double theirs = 1e9;
    std::string packets;
    for (int i = 0; i < 3; ++i) {
        auto start = Clock::now();
        packets = capture("ffprobe -v error -count_packets -select_streams a:0 -show_entries "
                          "stream=nb_read_packets -of csv=p=0 '" +
                          file.string() + "'");
        theirs = std::min(theirs, seconds(Clock::now() - start));
    }
    packets.erase(packets.find_last_not_of(" \n\r,") + 1);
    std::printf("%-4s %7.1f MB  %d frames (ffprobe %s packets)  duration %.3f s\n", label,
                double(fs::file_size(file)) / 1e6, frames, packets.c_str(), duration);
    std::printf("     facade %8.1f ms   ffprobe -count_packets %8.1f ms   speed-up %.1fx\n",
                ours * 1000, theirs * 1000, theirs / ours);
    std::printf("     index %ld KiB (8 bytes a frame), resident growth while open %ld KiB\n",
                indexBytes / 1024, rssGrowth);
}

} // namespace

int main() {
    if (!run("command -v lame >/dev/null && command -v ffprobe >/dev/null")) {
        std::fprintf(stderr, "lame and ffprobe are needed\n");
        return 1;
    }
    char pattern[] = "/tmp/lumivane-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    fs::path dir = pattern;
    writeTone(dir / "tone.raw");
    const std::string lame = "lame --quiet -t -r -s 44.1 --bitwidth 16 --signed --little-endian ";
    bool ok = run(lame + "--cbr -b 128 '" + (dir / "tone.raw").string() + "' '" +
                  (dir / "cbr10.mp3").string() + "'") &&
              run(lame + "-V 2 '" + (dir / "tone.raw").string() + "' '" +
                  (dir / "vbr10.mp3").string() + "'");
    if (ok) {
        repeatToAnHour(dir / "cbr10.mp3", dir / "cbr.mp3");
        repeatToAnHour(dir / "vbr10.mp3", dir / "vbr.mp3");
        std::printf("One-hour MP3 durations, facade (full frame scan) vs ffprobe\n");
        measure("CBR", dir / "cbr.mp3");
        measure("VBR", dir / "vbr.mp3");
    } else {
        std::fprintf(stderr, "lame failed\n");
    }
    fs::remove_all(dir);
    return ok ? 0 : 1;
}
