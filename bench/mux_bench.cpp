// Muxing a one-hour 128 kbit/s soundtrack with a one-hour 25 fps video, against ffmpeg's
// stream copy of the same two files. Each muxer runs in a child process, so that its wall
// time and peak memory are its own.
//
// Usage: mux_bench [work folder]   (default: a fresh folder under /tmp, removed afterwards)

#include "MultiPlex/MP3FrameExtract.h"
#include "MultiPlex/MuxThd.h"
#include "platform/AviFile.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSeconds = 3600;
constexpr int kFps = 25;

using Bytes = std::vector<std::uint8_t>;

int sh(const std::string& command) {
    return std::system(command.c_str());
}

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "mux_bench: %s\n", what.c_str());
    std::exit(1);
}

// One hour of video: ten seconds of real mpeg4 frames (a key frame every 250), repeated.
void makeVideo(const std::string& folder, const std::string& path) {
    const std::string seed = folder + "/seed.avi";
    if (sh("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -t 10 -c:v mpeg4 "
           "-g 250 -bf 0 -q:v 10 -f avi '" +
           seed + "'") != 0)
        die("ffmpeg could not make the seed video");
    lv::PAVIFILE in;
    lv::PAVISTREAM inStream;
    if (lv::AVIFileOpen(in, seed, lv::OF_READ) || lv::AVIFileGetStream(in, inStream, 0, 0))
        die("cannot read the seed video");
    lv::AVISTREAMINFO info;
    lv::AVIStreamInfo(inStream, info);
    std::int32_t formatSize = 0;
    lv::AVIStreamReadFormat(inStream, 0, nullptr, &formatSize);
    Bytes format(static_cast<std::size_t>(formatSize));
    lv::AVIStreamReadFormat(inStream, 0, format.data(), &formatSize);
    std::vector<Bytes> frames;
    std::vector<bool> keys;
    for (std::int32_t i = 0; i < lv::AVIStreamLength(inStream); ++i) {
        std::int32_t bytes = 0;
        std::int32_t n = 0;
        lv::AVIStreamRead(inStream, i, 1, nullptr, 0, &bytes, &n);
        Bytes frame(static_cast<std::size_t>(bytes));
        lv::AVIStreamRead(inStream, i, 1, frame.data(), bytes, &bytes, &n);
        frames.push_back(std::move(frame));
        keys.push_back(lv::AVIStreamIsKeyFrame(inStream, i));
    }

    lv::PAVIFILE out;
    lv::PAVISTREAM outStream;
    if (lv::AVIFileOpen(out, path, lv::OF_WRITE | lv::OF_CREATE) ||
        lv::AVIFileCreateStream(out, outStream, info) ||
        lv::AVIStreamSetFormat(outStream, 0, format.data(), formatSize))
        die("cannot create the video");
    for (int i = 0; i < kSeconds * kFps; ++i) {
        const Bytes& f = frames[std::size_t(i) % frames.size()];
        if (lv::AVIStreamWrite(outStream, i, 1, f.data(), std::int32_t(f.size()),
                               keys[std::size_t(i) % frames.size()] ? lv::AVIIF_KEYFRAME : 0))
            die("cannot write the video");
    }
    lv::AVIStreamRelease(outStream);
    if (lv::AVIFileRelease(out))
        die("cannot finish the video");
}

// One hour of MP3: the frames of ten seconds from lame (without its Info frame), repeated.
std::uint64_t makeSoundtrack(const std::string& folder, const std::string& path) {
    const std::string seed = folder + "/seed.mp3";
    if (sh("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=10 "
           "-ac 2 -f wav - | lame --quiet --cbr -b 128 - '" +
           seed + "'") != 0)
        die("lame could not make the seed soundtrack");
    lv::TMP3FrameExtract frames(seed);
    frames.Scan();
    std::ifstream in(seed, std::ios::binary);
    Bytes data((std::istreambuf_iterator<char>(in)), {});
    std::ofstream out(path, std::ios::binary);
    const long total = long(kSeconds) * 44100 / 1152;
    const int usable = frames.CompleteFrames() - 1;
    std::uint64_t size = 0;
    for (long k = 0; k < total; ++k) {
        const int f = 1 + int(k % usable);
        const auto start = frames.FrameStart(f);
        const auto length = frames.FrameEnd(f) - start;
        out.write(reinterpret_cast<const char*>(data.data() + start), length);
        size += std::uint64_t(length);
    }
    return size;
}

struct Run {
    double seconds = 0;
    long peakKiB = 0;
};

// Runs argv in a child and measures it.
Run measure(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto t1 = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        die("failed: " + argv[0] + " " + (argv.size() > 1 ? argv[1] : ""));
    return {std::chrono::duration<double>(t1 - t0).count(), usage.ru_maxrss};
}

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The child: one mux, with a progress receiver in the main thread as the window has.
int muxChild(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long before = peakKiB();
    lv::TMuxThd mux;
    mux.VideoFile = argv[2];
    mux.AudioFile = argv[3];
    mux.OutputFile = argv[4];
    long reports = 0;
    mux.OnProgress = [&](int, int, const std::string&) { ++reports; };
    QEventLoop loop;
    QObject::connect(&mux, &QThread::finished, &loop, &QEventLoop::quit);
    mux.start();
    loop.exec();
    if (mux.Failed()) {
        std::fprintf(stderr, "%s\n", mux.ErrorMessage().c_str());
        return 1;
    }
    std::fprintf(stderr, "  our muxer: baseline %ld KiB before muxing, %ld progress reports\n",
                 before, reports);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--mux")
        return muxChild(argc, argv);

    const bool own = argc < 2;
    const std::string folder =
        own ? fs::temp_directory_path().string() + "/mux_bench." + std::to_string(getpid())
            : argv[1];
    fs::create_directories(folder);
    const std::string video = folder + "/video.avi";
    const std::string sound = folder + "/sound.mp3";
    std::printf("making a %d s video at %d fps and a 128 kbit/s soundtrack in %s\n", kSeconds, kFps,
                folder.c_str());
    std::fflush(stdout);
    makeVideo(folder, video);
    const std::uint64_t soundBytes = makeSoundtrack(folder, sound);
    std::printf("video %.1f MiB, soundtrack %.1f MiB\n", double(fs::file_size(video)) / 1048576,
                double(soundBytes) / 1048576);
    std::fflush(stdout);

    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const Run ours = measure({self, "--mux", video, sound, folder + "/ours.avi"});
    const Run theirs = measure({"ffmpeg", "-v", "error", "-y", "-i", video, "-i", sound, "-map",
                                "0", "-map", "1", "-c", "copy", folder + "/ffmpeg.avi"});
    std::printf("TMuxThd      : %6.2f s, peak RSS %7.1f MiB, output %.1f MiB\n", ours.seconds,
                double(ours.peakKiB) / 1024, double(fs::file_size(folder + "/ours.avi")) / 1048576);
    std::printf("ffmpeg -c copy: %6.2f s, peak RSS %7.1f MiB, output %.1f MiB\n", theirs.seconds,
                double(theirs.peakKiB) / 1024,
                double(fs::file_size(folder + "/ffmpeg.avi")) / 1048576);
    std::printf("speed ratio (ffmpeg time / ours): %.2f; memory above the soundtrack: %.1f MiB\n",
                theirs.seconds / ours.seconds,
                double(ours.peakKiB) / 1024 - double(soundBytes) / 1048576);
    if (own)
        fs::remove_all(folder);
    return 0;
}
