// Loading and fitting photo-sized JPEGs: time and peak memory, and the thumbnail's reduced
// decoding against the full-size one.
//   picture_load_bench [--benchmark_filter=...]
// Goals: memory flat in the picture's size (the fitted picture and a few strips), a
// 24-megapixel photo's 100 x 75 thumbnail under 30 ms. The pictures (up to 400 megapixels,
// about 170 MB) are made once in /tmp/lumivane-picture-bench and kept for the next run.
#include "Common/ImageFile.h"
#include "photo.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::filesystem::path g_dir;

std::string photo(int w, int h) {
    return lvbench::Photo(g_dir, w, h);
}

// Peak resident memory (MB) of a child process that loads and fits the picture once.
double childPeakMegabytes(const std::string& path, int w, int h, bool fullSize) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (fullSize) {
            lv::TImageFile f(path);
            f.Fit(w, h);
        } else {
            lv::TImageFile f(path, w, h);
        }
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        _exit(int(std::min(u.ru_maxrss / 1024, 250L))); // MB, capped to an exit status
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_LoadAndFitInto960x768(benchmark::State& state) {
    const int mp = int(state.range(0));
    const int w = int(std::lround(std::sqrt(mp * 1e6 * 4 / 3))), h = w * 3 / 4;
    const std::string path = photo(w, h);
    state.counters["file_MB"] = double(std::filesystem::file_size(path)) / 1e6;
    state.counters["peak_MB"] = childPeakMegabytes(path, 960, 768, false);
    for (auto _ : state) {
        lv::TImageFile f(path, 960, 768);
        benchmark::DoNotOptimize(f.Raster().constBits());
    }
}

void BM_Thumbnail24Megapixel(benchmark::State& state) {
    const bool fullSize = state.range(0) != 0;
    const std::string path = photo(6000, 4000);
    state.SetLabel(fullSize ? "full-size decoding" : "reduced decoding");
    for (auto _ : state) {
        if (fullSize) {
            lv::TImageFile f(path);
            f.Fit(100, 75);
            benchmark::DoNotOptimize(f.Raster().constBits());
        } else {
            lv::TImageFile f(path, 100, 75);
            benchmark::DoNotOptimize(f.Raster().constBits());
        }
    }
}

} // namespace

BENCHMARK(BM_LoadAndFitInto960x768)
    ->Arg(12)
    ->Arg(100)
    ->Arg(400)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BM_Thumbnail24Megapixel)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    g_dir = std::filesystem::temp_directory_path() / "lumivane-picture-bench";
    std::filesystem::create_directories(g_dir);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
