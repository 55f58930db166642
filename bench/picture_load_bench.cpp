// Loading and fitting photo-sized JPEGs: time and peak memory, and the thumbnail's reduced
// decoding against the full-size one.
//   picture_load_bench [--benchmark_filter=...]
// Goals: memory flat in the picture's size (the fitted picture and a few strips), a
// 24-megapixel photo's 100 x 75 thumbnail under 30 ms (met by a camera's embedded preview or
// the shared thumbnail cache; a first view of a photo with neither decodes all of it, reduced). The
// pictures (up to 400 megapixels, about 170 MB) are made once in /tmp/lumivane-picture-bench and
// kept for the next run.
#include "Common/ImageFile.h"
#include "photo.h"
#include "platform/SharedThumbnails.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QBuffer>

#include <libexif/exif-data.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
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

// The same photo as a camera writes it: with a 160-pixel-wide preview of the same shape in its
// EXIF block.
std::string withCameraPreview(const std::string& path) {
    const std::string out = path + ".camera-v2.jpg";
    if (std::filesystem::exists(out))
        return out;
    lv::TImageFile photo(path);
    const QImage& full = photo.Raster();
    const int h = int(std::lround(160.0 * full.height() / full.width()));
    lv::TImageFile small(path, 160, h);
    const QImage preview = small.Raster();
    QBuffer jpeg;
    jpeg.open(QIODevice::WriteOnly);
    preview.save(&jpeg, "JPG", 90);
    ExifData* exif = exif_data_new();
    exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
    ExifEntry* entry = exif_entry_new();
    exif_content_add_entry(exif->ifd[EXIF_IFD_0], entry);
    exif_entry_initialize(entry, EXIF_TAG_ORIENTATION);
    exif->size = unsigned(jpeg.data().size());
    exif->data = static_cast<unsigned char*>(std::malloc(exif->size));
    std::memcpy(exif->data, jpeg.data().constData(), exif->size);
    unsigned char* data = nullptr;
    unsigned size = 0;
    exif_data_save_data(exif, &data, &size);
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::size_t len = size + 2;
    bytes.insert(2, std::string("\xFF\xE1", 2) + char(len >> 8) + char(len & 0xFF) +
                        std::string(reinterpret_cast<char*>(data), size));
    std::ofstream(out, std::ios::binary) << bytes;
    std::free(data);
    exif_entry_unref(entry);
    exif_data_unref(exif);
    return out;
}

void BM_Thumbnail24MegapixelCameraPreview(benchmark::State& state) {
    const std::string path = withCameraPreview(photo(6000, 4000));
    state.SetLabel("the camera's embedded preview");
    for (auto _ : state) {
        lv::TImageFile f(path, 100, 75);
        benchmark::DoNotOptimize(f.Raster().constBits());
    }
}

// Through the desktop's shared thumbnail cache: the first view (made, kept) and the next ones.
void BM_Thumbnail24MegapixelSharedCache(benchmark::State& state) {
    const bool seenBefore = state.range(0) != 0;
    const std::string path = photo(6000, 4000);
    const lv::TSharedThumbnails cache((g_dir / "thumbnail-cache").string());
    state.SetLabel(seenBefore ? "seen before" : "first view, thumbnail kept");
    std::filesystem::remove_all(cache.Root());
    lv::TImageFile warm(path, 100, 75, &cache);
    for (auto _ : state) {
        if (!seenBefore) {
            state.PauseTiming();
            std::filesystem::remove_all(cache.Root());
            state.ResumeTiming();
        }
        lv::TImageFile f(path, 100, 75, &cache);
        benchmark::DoNotOptimize(f.Raster().constBits());
    }
}

} // namespace

BENCHMARK(BM_Thumbnail24MegapixelSharedCache)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_Thumbnail24MegapixelCameraPreview)->Unit(benchmark::kMillisecond)->Iterations(10);
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
