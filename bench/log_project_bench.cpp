// Log and project file speed.
//   log_project_bench [--benchmark_repetitions=N]
// A Write to a full log (10000 lines, about 0.5 MB) rewrites the whole file: the goal is under
// 1 ms, so that adding a folder of a few hundred missing files does not stall the window.
// Loading or saving a 1000-picture project: under 50 ms.
#include "log/KLog.h"
#include "project/ProjectFile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

fs::path g_dir;

void BM_LogWriteFull(benchmark::State& state) {
    std::string name = (g_dir / "full.log").string();
    fs::remove(name);
    lv::TKLog log(name, 10000, false);
    std::string filler(40, 'x');
    for (int i = 0; i < 10000; ++i)
        log.Write("File not found : /home/user/Pictures/" + filler + std::to_string(i) + ".jpg",
                  lv::llError);
    int i = 0;
    for (auto _ : state)
        log.Write("Files count : " + std::to_string(i++), lv::llInfo);
    state.counters["file_bytes"] = static_cast<double>(fs::file_size(name));
}
BENCHMARK(BM_LogWriteFull)->Unit(benchmark::kMicrosecond);

void BM_ProjectSaveLoad1000(benchmark::State& state) {
    fs::create_directories(g_dir / "pics");
    lv::TPictureList list;
    for (int i = 0; i < 1000; ++i) {
        std::string path = (g_dir / "pics" / ("picture" + std::to_string(i) + ".jpg")).string();
        std::ofstream(path) << "x";
        list.Add(path, i % 2 ? "Caption " + std::to_string(i) : std::string());
    }
    std::string name = (g_dir / "show.lmv").string();
    lv::TPictureList loaded;
    for (auto _ : state) {
        lv::SaveProject(name, list, "/music/track.mp3", "/videos/show.avi");
        lv::LoadProject(name, loaded, nullptr);
        benchmark::DoNotOptimize(loaded.Count());
    }
    if (loaded.Count() != list.Count())
        state.SkipWithError("project lost pictures");
}
BENCHMARK(BM_ProjectSaveLoad1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    std::string tmpl = (fs::temp_directory_path() / "lumivane-bench-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        return 1;
    g_dir = tmpl;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(g_dir);
    return 0;
}
