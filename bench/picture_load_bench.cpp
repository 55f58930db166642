// Loading and fitting photo-sized JPEGs: time and peak memory, and the thumbnail's reduced
// decoding against the full-size one.
//   picture_load_bench [--benchmark_filter=...]
// Goals: memory flat in the picture's size (the fitted picture and a few strips), a
// 24-megapixel photo's 100 x 75 thumbnail under 30 ms. The pictures (up to 400 megapixels,
// about 170 MB) are made once in /tmp/lumivane-picture-bench and kept for the next run.
#include "Common/ImageFile.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::filesystem::path g_dir;

// Photo-like: soft light, a fine woven texture and sensor noise, written at quality 90 row by
// row (so that 400 megapixels need no raster); about 4 to 6 MB for 12 megapixels.
std::string photo(int w, int h) {
    const auto path = g_dir / ("photo-" + std::to_string(w) + "x" + std::to_string(h) + ".jpg");
    if (std::filesystem::exists(path))
        return path.string();
    const std::string tmp = path.string() + ".part";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::mt19937 rng(1234);
    std::normal_distribution<float> noise(0.0f, 9.0f);
    std::vector<JSAMPLE> row(std::size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        const float fy = float(y) / float(h);
        for (int x = 0; x < w; ++x) {
            const float fx = float(x) / float(w);
            const float weave = 18.0f * std::sin(float(x) * 0.9f) * std::sin(float(y) * 0.7f) +
                                10.0f * std::sin(float(x + 2 * y) * 0.23f);
            const float light = 90.0f + 80.0f * fx * (1.0f - fy) + 40.0f * std::sin(fy * 9.0f);
            for (int ch = 0; ch < 3; ++ch) {
                const float v = light * (0.8f + 0.15f * float(ch)) + weave + noise(rng);
                row[std::size_t(x) * 3 + std::size_t(ch)] = JSAMPLE(std::clamp(v, 0.0f, 255.0f));
            }
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
    std::filesystem::rename(tmp, path);
    return path.string();
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
