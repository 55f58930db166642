// A whole run (TVideoMakerThd, as the window starts it) against encoding the same composed
// frames alone with the same encoder and settings, with the peak memory of each. Every
// configuration and part runs in a fresh process, so that one's peak cannot hide another's.
//   run_bench [--repeat N] [CONFIG...]     (default: 3 repeats, every configuration)
//   run_bench --child CONFIG run|encode|open  (one part once; prints a RESULT line)
// Configurations, all at 25 fps, 3000 ms per picture, pan, cross-fade and caption on:
//   a      10 photos of 12 to 18 megapixels, 720x576, XVID
//          goal: run within 1.25 x encode-only, peak memory under 80 MB
//   b      the same at 1920x1080, H264          goal: run within 1.25 x encode-only
//   k      3 of those photos at 3840x2160, H264   goal: peak memory under 350 MB
//   kx     the same with XVID                     goal: peak memory under 350 MB
//   c12    one 12-megapixel photo, 720x576, XVID (the reference of c100 and c400)
//   c100   one 100-megapixel photo              goal: peak within 20 MB of c12
//   c400   one 400-megapixel photo              goal: peak within 20 MB of c12
//   cpano  one 65000x1500 panorama              goal: peak within 20 MB of c12
//   d10    single-frame mode, 10 photos of 640x480, 720x576, XVID
//   d1000  the same over 1000 photos             goal: the peak of d10 (within 2 MB)
//   d10000 the same over 10000 photos            goal: the peak of d10 (within 5 MB)
//   e10    10 photos of 640x480, 720x576, XVID, pan, fade, caption
//   e300   the same over 300 photos              goal: the peak of e10 (within 2 MB)
// The photos are made once in /tmp/lumivane-picture-bench (shared with picture_load_bench).
#include "Common/BmpToAvi.h"
#include "Common/FrameServer.h"
#include "Common/PictureList.h"
#include "Common/VideoMakerThd.h"
#include "photo.h"
#include "platform/Dib.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

long peakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

struct Config {
    std::string name;
    int width = 720, height = 576;
    std::string codec = "XVID";
    bool singleFrame = false;
    std::string what;
};

const std::vector<Config>& configs() {
    static const std::vector<Config> all = {
        {"a", 720, 576, "XVID", false, "10 x 12-18 MP, 720x576, XVID"},
        {"b", 1920, 1080, "H264", false, "10 x 12-18 MP, 1920x1080, H264"},
        {"k", 3840, 2160, "H264", false, "3 x 12-18 MP, 3840x2160, H264"},
        {"kx", 3840, 2160, "XVID", false, "3 x 12-18 MP, 3840x2160, XVID"},
        {"c12", 720, 576, "XVID", false, "1 x 12 MP, 720x576, XVID"},
        {"c100", 720, 576, "XVID", false, "1 x 100 MP, 720x576, XVID"},
        {"c400", 720, 576, "XVID", false, "1 x 400 MP, 720x576, XVID"},
        {"cpano", 720, 576, "XVID", false, "1 x 65000x1500 panorama, 720x576, XVID"},
        {"d10", 720, 576, "XVID", true, "single frame, 10 x 640x480"},
        {"d1000", 720, 576, "XVID", true, "single frame, 1000 x 640x480"},
        {"d10000", 720, 576, "XVID", true, "single frame, 10000 x 640x480"},
        {"e10", 720, 576, "XVID", false, "10 x 640x480, pan, fade, caption"},
        {"e300", 720, 576, "XVID", false, "300 x 640x480, pan, fade, caption"},
    };
    return all;
}

const Config* findConfig(const std::string& name) {
    for (const Config& c : configs())
        if (c.name == name)
            return &c;
    return nullptr;
}

const fs::path kPhotos = fs::temp_directory_path() / "lumivane-picture-bench";

// The pictures of a configuration, made if missing (the parent makes them before the children
// run, so that no child pays for it).
void pictures(const Config& c, lv::TPictureList& list) {
    std::vector<std::string> paths;
    if (c.name == "a" || c.name == "b" || c.name == "k" || c.name == "kx") {
        paths = lvbench::CameraPhotos(kPhotos, c.name[0] == 'k' ? 3 : 10);
    } else if (c.name == "c12") {
        paths.push_back(lvbench::Photo(kPhotos, 4000, 3000));
    } else if (c.name == "c100") {
        paths.push_back(lvbench::Photo(kPhotos, 11547, 8660));
    } else if (c.name == "c400") {
        paths.push_back(lvbench::Photo(kPhotos, 23094, 17320));
    } else if (c.name == "cpano") {
        paths.push_back(lvbench::Photo(kPhotos, 65000, 1500));
    } else {
        const unsigned count = unsigned(std::stoul(c.name.substr(1)));
        for (unsigned i = 0; i < count; ++i)
            paths.push_back(lvbench::Photo(kPhotos / "small", 640, 480, i + 1));
    }
    for (std::size_t i = 0; i < paths.size(); ++i)
        list.Add(paths[i], "Picture number " + std::to_string(i + 1));
}

void openWriter(lv::TBmpToAvi& w, const Config& c, const std::string& file) {
    w.Width = c.width;
    w.Height = c.height;
    w.FrameTime = 40;
    w.FileName = file;
    w.SetCodec(c.codec);
    w.Open();
}

// The run as the window starts it, progress calls into this thread included. Writer set-up
// is outside the time in both parts.
double timeRun(const Config& c, lv::TPictureList& list, lv::TBmpToAvi& writer, int& frames) {
    lv::TVideoMakerThd thread;
    thread.Writer = &writer;
    thread.TimePerPicture = 3000;
    thread.PicturePaths = &list.PicturePaths;
    thread.PictureTexts = &list.PictureTexts;
    thread.DynamicPictures = thread.CrossFade = thread.TextOverlay = true;
    thread.SingleFrame = c.singleFrame;
    thread.UpdateProgress = [](const lv::TVideoMakerThd&) {};
    QEventLoop loop;
    QObject::connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
    const auto start = Clock::now();
    thread.start();
    loop.exec();
    const double t = seconds(start);
    if (!thread.ErrorMessage().empty())
        throw std::runtime_error("run failed: " + thread.ErrorMessage());
    frames = thread.Total();
    return t;
}

// The same frames, composed untimed in batches (without prefetch, so that nothing else runs
// meanwhile), then timed while the encoder takes them. The encoder uses slice threads only,
// so AddFrame has finished its frame when it returns and the batches cost nothing.
double timeEncode(const Config& c, lv::TPictureList& list, lv::TBmpToAvi& writer, int& frames) {
    const int n = lv::TVideoMakerThd::FramesPerPicture(3000, writer.FrameTime, c.singleFrame);
    lv::TFrameServer server(list.PicturePaths, &list.PictureTexts, n, c.height, c.width, true, true,
                            true);
    frames = server.FrameCount();
    const std::size_t frameBytes = std::size_t(c.width) * std::size_t(c.height) * 3;
    const int batch = int(std::max<std::size_t>(1, (256u << 20) / frameBytes));
    std::vector<lv::TDib> dibs(std::size_t(std::min(batch, frames)));
    QImage raster;
    double t = 0;
    for (int first = 0; first < frames; first += batch) {
        const int m = std::min(batch, frames - first);
        for (int j = 0; j < m; ++j) {
            server.RenderFrame(raster, first + j);
            lv::ImageToDib(raster, dibs[std::size_t(j)]);
        }
        const auto start = Clock::now();
        for (int j = 0; j < m; ++j)
            writer.AddFrame(dibs[std::size_t(j)]);
        t += seconds(start);
    }
    const auto start = Clock::now();
    writer.Close();
    return t + seconds(start);
}

int child(int argc, char** argv, const Config& c, const std::string& part) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv); // the caption's fonts
    lv::TPictureList list;
    pictures(c, list);
    const fs::path dir = fs::temp_directory_path() / "lumivane-run-bench";
    fs::create_directories(dir);
    const std::string out = (dir / (c.name + "-" + part + ".avi")).string();
    int frames = 0;
    double t = 0;
    try {
        lv::TBmpToAvi writer;
        openWriter(writer, c, out);
        if (part == "run")
            t = timeRun(c, list, writer, frames);
        else if (part == "encode")
            t = timeEncode(c, list, writer, frames);
        else
            writer.Close(); // "open": what the process holds before any frame
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s %s: %s\n", c.name.c_str(), part.c_str(), e.what());
        return 1;
    }
    fs::remove(out);
    std::printf("RESULT %.4f %d %ld\n", t, frames, peakRssMb());
    return 0;
}

struct Sample {
    double seconds = 0;
    int frames = 0;
    long peakMb = 0;
};

// One part in a fresh process.
Sample spawn(const std::string& self, const std::string& config, const std::string& part) {
    const std::string cmd = "'" + self + "' --child " + config + " " + part;
    std::FILE* p = popen(cmd.c_str(), "r");
    Sample s;
    bool got = false;
    char line[256];
    while (p && std::fgets(line, sizeof line, p))
        if (std::sscanf(line, "RESULT %lf %d %ld", &s.seconds, &s.frames, &s.peakMb) == 3)
            got = true;
    if (!p || pclose(p) != 0 || !got) {
        std::fprintf(stderr, "%s %s failed\n", config.c_str(), part.c_str());
        std::exit(1);
    }
    return s;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Measured {
    double run = 0, encode = 0;
    int frames = 0;
    long runPeak = 0, encodePeak = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--child") == 0) {
        const Config* c = findConfig(argv[2]);
        return c ? child(argc, argv, *c, argv[3]) : 2;
    }
    int repeat = 3;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (findConfig(argv[i]))
            names.emplace_back(argv[i]);
        else {
            std::fprintf(stderr, "usage: run_bench [--repeat N] [CONFIG...]\n");
            return 2;
        }
    }
    if (names.empty())
        for (const Config& c : configs())
            names.push_back(c.name);
    const std::string self = fs::read_symlink("/proc/self/exe").string();

    const Sample base = spawn(self, "c12", "open");
    std::printf("a process with the XVID writer open, before any frame: %ld MB\n", base.peakMb);
    std::map<std::string, Measured> m;
    for (const std::string& name : names) {
        const Config& c = *findConfig(name);
        std::printf("== %s: %s (making missing photos first)\n", name.c_str(), c.what.c_str());
        std::fflush(stdout);
        {
            lv::TPictureList made;
            pictures(c, made);
        }
        // Parts alternate, so that a slow spell of the machine touches both alike.
        std::vector<double> run, encode;
        Measured& r = m[name];
        for (int k = 0; k < repeat; ++k) {
            const Sample sr = spawn(self, name, "run");
            const Sample se = spawn(self, name, "encode");
            if (sr.frames != se.frames) {
                std::fprintf(stderr, "%s: %d frames run, %d encoded\n", name.c_str(), sr.frames,
                             se.frames);
                return 1;
            }
            run.push_back(sr.seconds);
            encode.push_back(se.seconds);
            r.frames = sr.frames;
            r.runPeak = std::max(r.runPeak, sr.peakMb);
            r.encodePeak = std::max(r.encodePeak, se.peakMb);
            std::printf("   run %.2f s (%ld MB)   encode-only %.2f s (%ld MB)\n", sr.seconds,
                        sr.peakMb, se.seconds, se.peakMb);
            std::fflush(stdout);
        }
        r.run = median(run);
        r.encode = median(encode);
    }

    std::printf("\nmedian of %d; peak memory: the largest of the runs (getrusage max RSS)\n",
                repeat);
    std::printf("%-6s %6s %9s %9s %7s %9s %9s  %s\n", "config", "frames", "run s", "encode s",
                "ratio", "run MB", "encode MB", "goal");
    for (const std::string& name : names) {
        const Measured& r = m[name];
        const double ratio = r.run / r.encode;
        std::string goal = "-";
        auto peakNear = [&](const char* ref, long within) {
            if (!m.count(ref))
                return std::string("(needs ") + ref + ")";
            const long d = r.runPeak - m[ref].runPeak;
            return std::string(d <= within ? "met" : "MISSED") + " (" + std::to_string(d) +
                   " MB over " + ref + ")";
        };
        if (name == "a")
            goal = std::string(ratio <= 1.25 && r.runPeak < 80 ? "met" : "MISSED") +
                   " (<= 1.25 x, < 80 MB)";
        else if (name == "b")
            goal = std::string(ratio <= 1.25 ? "met" : "MISSED") + " (<= 1.25 x)";
        else if (name == "k" || name == "kx")
            goal = std::string(r.runPeak < 350 ? "met" : "MISSED") + " (< 350 MB)";
        else if (name == "c100" || name == "c400" || name == "cpano")
            goal = peakNear("c12", 20);
        else if (name == "d1000")
            goal = peakNear("d10", 2);
        else if (name == "d10000")
            goal = peakNear("d10", 5);
        else if (name == "e300")
            goal = peakNear("e10", 2);
        std::printf("%-6s %6d %9.2f %9.2f %7.2f %9ld %9ld  %s\n", name.c_str(), r.frames, r.run,
                    r.encode, ratio, r.runPeak, r.encodePeak, goal.c_str());
    }
    return 0;
}
