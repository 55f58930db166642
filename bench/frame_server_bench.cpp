// Frame composition and picture loading speed.
//   frame_server_bench [--benchmark_repetitions=N]
// Composing must stay a small fraction of encoding (1.5 to 2 ms a frame at 720x576): the goal
// is 2,000 frames/s on one core. Loading and fitting a 24-megapixel JPEG: under 300 ms.
#include "Common/FrameServer.h"
#include "Common/ImageFile.h"
#include "Common/PictureList.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::filesystem::path g_dir;

// A photo-like picture: gradients and shapes compress like a real photo, not like noise.
void makeJpeg(const std::string& path, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(30, 80, 160));
    g.setColorAt(1, QColor(240, 180, 90));
    p.fillRect(img.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 200; ++i) {
        p.setBrush(QColor((i * 37) % 256, (i * 91) % 256, (i * 53) % 256, 160));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF((i * 7919) % w, (i * 104729) % h), w / 40.0 + i % 50,
                      h / 40.0 + i % 30);
    }
    p.end();
    img.save(QString::fromStdString(path), "JPG", 90);
}

struct Slideshow {
    lv::TPictureList list;
    lv::TFrameServer server;
    QImage frame;
    Slideshow()
        : server((fill(list), list.PicturePaths), &list.PictureTexts, 75, 576, 720, true, true,
                 true) {}
    static void fill(lv::TPictureList& l) {
        l.Add((g_dir / "a.jpg").string(), "First picture");
        l.Add((g_dir / "b.jpg").string(), "Second picture");
    }
};

// Frames of picture 0 after its first frame: window copy and caption (pan on).
void BM_ComposePanFrame(benchmark::State& state) {
    Slideshow s;
    s.server.RenderFrame(s.frame, 0); // loads the picture
    int i = 1;
    for (auto _ : state) {
        s.server.RenderFrame(s.frame, i);
        i = i % 73 + 1;
        benchmark::DoNotOptimize(s.frame.constBits());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// Fade frames after the pair is prepared: blend and caption.
void BM_ComposeFadeFrame(benchmark::State& state) {
    Slideshow s;
    const int first = 75, fade = s.server.FadeFrames();
    s.server.RenderFrame(s.frame, first); // renders both end frames once
    int t = 1;
    for (auto _ : state) {
        s.server.RenderFrame(s.frame, first + t);
        t = t % (fade - 1) + 1;
        benchmark::DoNotOptimize(s.frame.constBits());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The enlarged size of a 720x576 run with pan on.
void BM_LoadAndFit24MegapixelJpeg(benchmark::State& state) {
    const std::string path = (g_dir / "big.jpg").string();
    for (auto _ : state) {
        lv::TImageFile f(path, 960, 768);
        benchmark::DoNotOptimize(f.Raster().constBits());
    }
}

} // namespace

BENCHMARK(BM_ComposePanFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeFadeFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadAndFit24MegapixelJpeg)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    g_dir = std::filesystem::temp_directory_path() / "lumivane-frame-bench";
    std::filesystem::create_directories(g_dir);
    makeJpeg((g_dir / "a.jpg").string(), 4000, 3000);
    makeJpeg((g_dir / "b.jpg").string(), 3000, 4000);
    makeJpeg((g_dir / "big.jpg").string(), 6000, 4000);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_dir);
    return 0;
}
