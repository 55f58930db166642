// Frames per second of TBmpToAvi::AddFrame at 720x576 against ffmpeg encoding the same
// raw frames with the same encoder and settings, timed in the same run. The goal is at
// least 95% of ffmpeg's rate for every encoder: the writer and the compressor layer must
// add no meaningful cost to the encoder's own work.
//
// ffmpeg's time is its own "-benchmark" real time (start-up excluded); ours covers Open,
// every AddFrame and Close. Best of several rounds, as the machine is shared.
//
// Usage: avi_writer_bench [frames] [rounds]

#include "Common/BmpToAvi.h"

#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kWidth = 720, kHeight = 576;
constexpr int kDistinctFrames = 25; // cycled, so the raw frames fit in memory

struct TCase {
    const char* fourCC;
    const char* ffmpegArgs; // the same encoder and settings as the compressor's defaults
};

const TCase kCases[] = {
    {"XVID", "-c:v libxvid -q:v 3 -g 250 -bf 0 -pix_fmt yuv420p -vtag XVID"},
    {"FMP4", "-c:v mpeg4 -q:v 3 -g 250 -bf 0 -pix_fmt yuv420p"},
    {"MJPG", "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p"},
    {"H264", "-c:v libx264 -preset veryfast -tune zerolatency -crf 23 -g 250 -bf 0 "
             "-pix_fmt yuv420p"},
    {"DIB ", "-c:v rawvideo -pix_fmt bgr24"},
};

// A moving test picture: gradients and a square that moves 8 pixels a frame.
void DrawFrame(lv::TDib& dib, int t) {
    dib.SetSize(kWidth, kHeight);
    const int side = kHeight / 4, left = (t * 8) % (kWidth - side), top = kHeight / 3;
    for (int y = 0; y < kHeight; ++y) {
        std::uint8_t* p = dib.ScanLine(y);
        for (int x = 0; x < kWidth; ++x, p += 3) {
            const bool in = x >= left && x < left + side && y >= top && y < top + side;
            p[0] = std::uint8_t(x * 255 / (kWidth - 1));
            p[1] = std::uint8_t((y + t) * 255 / (kHeight - 1));
            p[2] = in ? 230 : std::uint8_t(30 + (x ^ y) % 16);
        }
    }
}

struct TTimes {
    double wall = 1e9; // seconds
    double cpu = 1e9;  // user + system seconds of every thread
    void KeepBest(const TTimes& t) {
        wall = std::min(wall, t.wall);
        cpu = std::min(cpu, t.cpu);
    }
};

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TTimes OurTimes(const TCase& c, const std::vector<lv::TDib>& frames, int count,
                const std::string& path) {
    lv::TBmpToAvi w;
    w.Width = kWidth;
    w.Height = kHeight;
    w.FrameTime = 40;
    w.FileName = path;
    w.SetCodec(c.fourCC);
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    w.Open();
    for (int i = 0; i < count; ++i)
        w.AddFrame(frames[std::size_t(i % kDistinctFrames)]);
    w.Close();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
            CpuSeconds() - cpu0};
}

// ffmpeg reads the same frames (top-down rows, as rawvideo wants) from a pipe.
TTimes FfmpegTimes(const TCase& c, const std::string& raw, int count, const std::string& folder) {
    const std::string log = folder + "/ffmpeg.log";
    const std::string cmd = "ffmpeg -hide_banner -nostats -loglevel info -benchmark -f rawvideo "
                            "-pix_fmt bgr24 -s 720x576 -r 25 -i - " +
                            std::string(c.ffmpegArgs) + " -f avi -y '" + folder +
                            "/ffmpeg.avi' 2>'" + log + "'";
    FILE* pipe = popen(cmd.c_str(), "w");
    if (!pipe)
        return {};
    const std::size_t frameBytes = raw.size() / kDistinctFrames;
    for (int i = 0; i < count; ++i)
        std::fwrite(raw.data() + std::size_t(i % kDistinctFrames) * frameBytes, 1, frameBytes,
                    pipe);
    if (pclose(pipe) != 0)
        return {};
    // "bench: utime=0.123s stime=0.010s rtime=0.456s"
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        double user = 0, sys = 0, real = 0;
        if (std::sscanf(line.c_str(), "bench: utime=%lfs stime=%lfs rtime=%lfs", &user, &sys,
                        &real) == 3)
            return {real, user + sys};
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 250;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const fs::path folder =
        fs::temp_directory_path() / ("avi_writer_bench_" + std::to_string(getpid()));
    fs::create_directories(folder);
    // Default encoder settings, whatever the user has stored.
    setenv("LUMIVANE_SETTINGS_DIR", folder.c_str(), 1);

    std::vector<lv::TDib> frames(kDistinctFrames);
    std::string raw;
    for (int t = 0; t < kDistinctFrames; ++t) {
        DrawFrame(frames[std::size_t(t)], t);
        for (int y = 0; y < kHeight; ++y)
            raw.append(reinterpret_cast<const char*>(frames[std::size_t(t)].ScanLine(y)),
                       std::size_t(kWidth) * 3);
    }

    std::printf("AddFrame at %dx%d, %d frames, best of %d rounds\n", kWidth, kHeight, count,
                rounds);
    std::printf("fps: frames per wall-clock second; cpu: frames per CPU second of all threads\n");
    std::printf("%-6s %10s %10s %6s %10s %10s %6s\n", "codec", "ours fps", "ffmpeg fps", "ratio",
                "ours cpu", "ffmpeg cpu", "ratio");
    bool allMet = true;
    for (const auto& c : kCases) {
        if (!lv::TCompressor::Open(c.fourCC, lv::ICMode::Query)) {
            std::printf("%-6s not installed\n", c.fourCC);
            continue;
        }
        TTimes ours, theirs;
        for (int r = 0; r < rounds; ++r) {
            ours.KeepBest(OurTimes(c, frames, count, (folder / "ours.avi").string()));
            theirs.KeepBest(FfmpegTimes(c, raw, count, folder.string()));
        }
        const double wallRatio = theirs.wall / ours.wall, cpuRatio = theirs.cpu / ours.cpu;
        allMet = allMet && wallRatio >= 0.95;
        std::printf("%-6s %10.1f %10.1f %5.0f%% %10.1f %10.1f %5.0f%%\n", c.fourCC,
                    count / ours.wall, count / theirs.wall, wallRatio * 100, count / ours.cpu,
                    count / theirs.cpu, cpuRatio * 100);
        std::fflush(stdout);
    }
    // The video maker converts every rendered ARGB frame before AddFrame.
    QImage argb(kWidth, kHeight, QImage::Format_ARGB32);
    argb.fill(0xFF204060u);
    lv::TDib dib;
    lv::ImageToDib(argb, dib);
    const auto c0 = std::chrono::steady_clock::now();
    constexpr int kConversions = 200;
    for (int i = 0; i < kConversions; ++i)
        lv::ImageToDib(argb, dib);
    const double convMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - c0).count() /
        kConversions;
    std::printf("ImageToDib ARGB32 -> 24-bit DIB at %dx%d: %.3f ms per frame\n", kWidth, kHeight,
                convMs);
    std::printf("goal (wall-clock fps >= 95%% of ffmpeg's for every encoder): %s\n",
                allMet ? "met" : "NOT met");
    fs::remove_all(folder);
    return 0;
}
