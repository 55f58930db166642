// Throughput of the AVI file layer, and a check that a file of several GiB (OpenDML) is
// read whole by our reader and by ffprobe. Usage: avi_file_bench [GiB] [folder]
#include "platform/AviFile.h"
#include "platform/Errors.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace lv;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void check(HRESULT hr, const char* what) {
    if (hr != AVIERR_OK) {
        std::fprintf(stderr, "%s failed: %s\n", what, hex8(std::uint32_t(hr)).c_str());
        std::exit(1);
    }
}

struct Result {
    std::int32_t frames = 0, audio = 0;
    std::int32_t empty = 0; // zero-length samples read
    double bytes = 0;
};

// Video frames of frameBytes at 25 frames/s with a 418-byte MP3 frame every 26 ms.
Result writeFile(const std::string& path, std::int32_t frames, std::size_t frameBytes) {
    PAVIFILE file;
    check(AVIFileOpen(file, path, OF_WRITE | OF_CREATE), "AVIFileOpen");
    AVISTREAMINFO vi;
    vi.fccType = streamtypeVIDEO;
    vi.fccHandler = FourCCFromText("DIB ");
    vi.dwScale = 40;
    vi.dwRate = 1000;
    vi.rcFrame.right = 720;
    vi.rcFrame.bottom = 576;
    PAVISTREAM v, a;
    check(AVIFileCreateStream(file, v, vi), "AVIFileCreateStream");
    std::vector<std::uint8_t> bih(40, 0);
    bih[0] = 40;
    bih[4] = 720 & 0xFF, bih[5] = 720 >> 8;
    bih[8] = 576 & 0xFF, bih[9] = 576 >> 8;
    bih[12] = 1, bih[14] = 24;
    check(AVIStreamSetFormat(v, 0, bih.data(), 40), "AVIStreamSetFormat");
    AVISTREAMINFO ai;
    ai.fccType = streamtypeAUDIO;
    ai.dwScale = 1152;
    ai.dwRate = 44100;
    check(AVIFileCreateStream(file, a, ai), "AVIFileCreateStream");
    const std::uint8_t wf[30] = {0x55, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x00, 0x3E, 0, 0, 0x80, 4, 0, 0,
                                 30,   0, 1, 0, 2,    0,    0, 0, 0x0A, 0x02, 1, 0, 0x71, 5};
    check(AVIStreamSetFormat(a, 0, wf, 30), "AVIStreamSetFormat");
    std::vector<std::uint8_t> frame(frameBytes), audio(418);
    // An MPEG-1 Layer III frame header (128 kbit/s, 44.1 kHz, padded: 418 bytes) so that
    // ffprobe's parser sees one frame per chunk.
    audio[0] = 0xFF, audio[1] = 0xFB, audio[2] = 0x92, audio[3] = 0x00;
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = std::uint8_t(i * 31);
    Result r;
    double audioTime = 0;
    for (std::int32_t t = 0; t < frames; ++t) {
        frame[0] = std::uint8_t(t);
        check(AVIStreamWrite(v, t, 1, frame.data(), std::int32_t(frame.size()),
                             t % 12 == 0 ? AVIIF_KEYFRAME : 0),
              "AVIStreamWrite");
        r.bytes += double(frame.size());
        for (; audioTime < (t + 1) * 0.04; audioTime += 1152.0 / 44100) {
            check(AVIStreamWrite(a, r.audio++, 1, audio.data(), 418, 0), "AVIStreamWrite");
            r.bytes += 418;
        }
    }
    r.frames = frames;
    check(AVIStreamRelease(a), "AVIStreamRelease");
    check(AVIStreamRelease(v), "AVIStreamRelease");
    check(AVIFileRelease(file), "AVIFileRelease");
    return r;
}

Result readFile(const std::string& path) {
    PAVIFILE file;
    check(AVIFileOpen(file, path, OF_READ), "AVIFileOpen");
    Result r;
    std::vector<std::uint8_t> buffer;
    for (int n = 0; n < 2; ++n) {
        PAVISTREAM s;
        check(AVIFileGetStream(file, s, 0, n), "AVIFileGetStream");
        const std::int32_t len = AVIStreamLength(s);
        for (std::int32_t i = 0; i < len; ++i) {
            std::int32_t bytes = 0, samples = 0;
            check(AVIStreamRead(s, i, 1, nullptr, 0, &bytes, &samples), "AVIStreamRead");
            buffer.resize(std::size_t(bytes));
            check(AVIStreamRead(s, i, 1, buffer.data(), bytes, &bytes, &samples), "AVIStreamRead");
            r.bytes += bytes;
            r.empty += bytes == 0;
        }
        (n == 0 ? r.frames : r.audio) = len;
    }
    return r;
}

void run(const std::string& label, const std::string& path, std::int32_t frames,
         std::size_t frameBytes, bool probe) {
    auto start = Clock::now();
    const Result w = writeFile(path, frames, frameBytes);
    const double tw = seconds(start);
    const double size = double(std::filesystem::file_size(path));
    start = Clock::now();
    const Result r = readFile(path);
    const double tr = seconds(start);
    std::printf("%s: %d frames + %d audio chunks, %.2f GiB file\n", label.c_str(), w.frames,
                w.audio, size / (1 << 30));
    std::printf("  write %.0f MB/s (%.2f s, %.1f us per sample)\n", w.bytes / tw / 1e6, tw,
                tw * 1e6 / (w.frames + w.audio));
    std::printf("  read  %.0f MB/s (%.2f s), %s\n", r.bytes / tr / 1e6, tr,
                r.frames == w.frames && r.audio == w.audio ? "all samples back"
                                                           : "SAMPLE COUNT MISMATCH");
    if (probe && std::system("command -v ffprobe >/dev/null") == 0) {
        start = Clock::now();
        const std::string cmd = "ffprobe -v error -count_packets -show_entries "
                                "stream=nb_read_packets -of csv=p=0 '" +
                                path + "'";
        std::printf("  ffprobe packets per stream (expect %d and %d):\n", w.frames, w.audio);
        std::fflush(stdout);
        if (std::system(cmd.c_str()) != 0)
            std::printf("  ffprobe FAILED\n");
        std::printf("  ffprobe took %.1f s\n", seconds(start));
    }
    if (!std::getenv("AVI_BENCH_KEEP"))
        std::filesystem::remove(path);
}

} // namespace

int main(int argc, char** argv) {
    const double gib = argc > 1 ? std::atof(argv[1]) : 3.0;
    const std::string folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
    const std::string path = folder + "/lumivane-avi-bench.avi";
    // Many small samples: the cost per sample of the layer.
    run("small samples (8 KiB frames)", path, 20000, 8 * 1024, false);
    // Several GiB: OpenDML with AVIX RIFFs past 1 GiB.
    const std::size_t frameBytes = 720 * 576 * 3;
    run("large file (uncompressed 720x576 frames)", path,
        std::int32_t(gib * (1 << 30) / frameBytes), frameBytes, true);
    // An OpenDML file written by ffmpeg (it starts AVIX RIFFs past 1 GiB), read by our reader.
    if (std::system("command -v ffmpeg >/dev/null") == 0) {
        const std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc=size=720x576:rate=25 "
                                "-f lavfi -i sine=sample_rate=44100 -t 40 -c:v rawvideo "
                                "-pix_fmt bgr24 -c:a libmp3lame '" +
                                path + "'";
        if (std::system(cmd.c_str()) == 0) {
            const auto start = Clock::now();
            const Result r = readFile(path);
            std::printf("ffmpeg-made file: %.2f GiB, read %d video and %d audio samples, "
                        "%d of them empty (%.0f MB/s); ffprobe counts non-empty packets:\n",
                        double(std::filesystem::file_size(path)) / (1 << 30), r.frames, r.audio,
                        r.empty, r.bytes / seconds(start) / 1e6);
            std::fflush(stdout);
            const std::string probe = "ffprobe -v error -count_packets -show_entries "
                                      "stream=nb_read_packets -of csv=p=0 '" +
                                      path + "'";
            if (std::system(probe.c_str()) != 0)
                std::printf("  ffprobe FAILED\n");
        }
        std::filesystem::remove(path);
    }
    return 0;
}
