// A whole run (TSlideshowRun, as the window and lumivane-render start it) of the ten
// photo-like camera pictures with a three-minute MP3 soundtrack, to AVI and to MP4, and the
// time of its last step (the join). The MP4's last step copies the same samples into
// another container: goal, the MP4 run within 1.03 x the AVI run.
//   container_bench [--repeat N] [WIDTHxHEIGHT] [FOURCC]   (default: 3, 1920x1080, H264)
// Photos and the soundtrack are made once in /tmp/lumivane-picture-bench.
#include "Common/PictureList.h"
#include "app/run/RunSettings.h"
#include "app/run/SlideshowRun.h"
#include "photo.h"

#include <QEventLoop>
#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const fs::path kPhotos = fs::temp_directory_path() / "lumivane-picture-bench";

std::string soundtrack() {
    const fs::path song = kPhotos / "song-180s.mp3";
    if (!fs::exists(song)) {
        fs::create_directories(kPhotos);
        const std::string make = "ffmpeg -v error -y -f lavfi -i sine=frequency=330:duration=180 "
                                 "-c:a libmp3lame -b:a 192k '" +
                                 song.string() + "'";
        if (std::system(make.c_str()) != 0) {
            std::fprintf(stderr, "container_bench: ffmpeg could not make the soundtrack\n");
            std::exit(1);
        }
    }
    return song.string();
}

struct Timing {
    double run = 0, join = 0;
};

Timing timeRun(lv::TPictureList& pictures, lv::TRunSettings s) {
    lv::TSlideshowRun run(pictures, nullptr);
    QEventLoop loop;
    Clock::time_point start = Clock::now(), joinStart = start;
    lv::TRunOutcome outcome = lv::TRunOutcome::Failed;
    QObject::connect(&run, &lv::TSlideshowRun::PhaseChanged, [&](lv::TRunPhase phase) {
        if (phase == lv::TRunPhase::Audio)
            joinStart = Clock::now();
    });
    QObject::connect(&run, &lv::TSlideshowRun::Finished, [&](lv::TRunOutcome o) {
        outcome = o;
        loop.quit();
    });
    run.Start(s);
    loop.exec();
    const auto end = Clock::now();
    if (outcome != lv::TRunOutcome::Done) {
        std::fprintf(stderr, "container_bench: %s %s\n", run.Message().toUtf8().constData(),
                     run.Detail().toUtf8().constData());
        std::exit(1);
    }
    return {std::chrono::duration<double>(end - start).count(),
            std::chrono::duration<double>(end - joinStart).count()};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0); // fonts for the captions, no display
    QGuiApplication app(argc, argv);
    int repeat = 3;
    std::string resolution = "1920x1080", fourCC = "H264";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--repeat" && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (a.find('x') != std::string::npos)
            resolution = a;
        else
            fourCC = a;
    }
    lv::TPictureList pictures;
    for (const auto& path : lvbench::CameraPhotos(kPhotos, 10))
        pictures.Add(path, "A photo");
    const fs::path out = fs::temp_directory_path() / "lumivane-container-bench";
    fs::create_directories(out);

    lv::TRunSettings s;
    s.FourCC = fourCC;
    s.Resolution = resolution;
    s.Fps = 25;
    s.TimePerPicture = 3000;
    s.DynamicPictures = s.CrossFade = s.TextOverlay = true;
    s.SoundtrackFile = soundtrack();
    std::vector<double> runs[2], joins[2];
    const char* names[2] = {"AVI", "MP4"};
    for (int k = 0; k < repeat; ++k)
        for (int c = 0; c < 2; ++c) { // alternating, so that a slow spell touches both
            s.OutputFile = (out / (c ? "show.mp4" : "show.avi")).string();
            const Timing t = timeRun(pictures, s);
            runs[c].push_back(t.run);
            joins[c].push_back(t.join);
            std::printf("   %s run %.2f s (last step %.2f s)\n", names[c], t.run, t.join);
            std::fflush(stdout);
        }
    const double ratio = median(runs[1]) / median(runs[0]);
    std::printf("%s %s, 10 photos, 3-minute MP3, median of %d: AVI %.2f s (join %.2f s), MP4 "
                "%.2f s (join %.2f s), MP4 / AVI = %.3f x  %s (<= 1.03 x)\n",
                resolution.c_str(), fourCC.c_str(), repeat, median(runs[0]), median(joins[0]),
                median(runs[1]), median(joins[1]), ratio, ratio <= 1.03 ? "met" : "MISSED");
    fs::remove_all(out);
    return 0;
}
