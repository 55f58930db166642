// A whole run against encoding alone: 20 pictures of 12 megapixels, 720x576, 25 fps,
// 3000 ms per picture, pan, cross-fade and caption on, XVID.
//   run_bench [PICTURES]   (default 20)
// Goal: the run reaches 85% of the encode-only rate, in under 400 MB.
#include "Common/BmpToAvi.h"
#include "Common/FrameServer.h"
#include "Common/PictureList.h"
#include "Common/VideoMakerThd.h"
#include "platform/Dib.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long peakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

void makePicture(const std::string& path, int i) {
    const bool portrait = i % 3 == 2;
    const int w = portrait ? 3000 : 4000, h = portrait ? 4000 : 3000;
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor::fromHsv((i * 37) % 360, 160, 200));
    g.setColorAt(1, QColor::fromHsv((i * 37 + 120) % 360, 200, 90));
    p.fillRect(img.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int k = 0; k < 150; ++k) {
        p.setBrush(QColor::fromHsv((i * 53 + k * 29) % 360, 180, 230, 150));
        p.drawEllipse(QPointF((k * 7919 + i * 131) % w, (k * 104729 + i * 71) % h), 40.0 + k % 200,
                      30.0 + k % 150);
    }
    p.end();
    img.save(QString::fromStdString(path), "JPG", 90);
}

lv::TBmpToAvi* openWriter(lv::TBmpToAvi& w, const std::string& file) {
    w.Width = 720;
    w.Height = 576;
    w.FrameTime = 40;
    w.FileName = file;
    w.SetCodec("XVID");
    w.Open();
    return &w;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 20;
    const auto dir = std::filesystem::temp_directory_path() / "lumivane-run-bench";
    std::filesystem::create_directories(dir);

    std::printf("making %d pictures of 12 megapixels...\n", count);
    lv::TPictureList list;
    for (int i = 0; i < count; ++i) {
        const std::string path = (dir / ("p" + std::to_string(i) + ".jpg")).string();
        if (!std::filesystem::exists(path))
            makePicture(path, i);
        list.Add(path, "Picture number " + std::to_string(i + 1));
    }

    // The run, as the window starts it (progress calls into this thread included).
    lv::TBmpToAvi runWriter;
    lv::TVideoMakerThd thread;
    thread.Writer = openWriter(runWriter, (dir / "run.avi").string());
    thread.TimePerPicture = 3000;
    thread.PicturePaths = &list.PicturePaths;
    thread.PictureTexts = &list.PictureTexts;
    thread.DynamicPictures = thread.CrossFade = thread.TextOverlay = true;
    thread.UpdateProgress = [](const lv::TVideoMakerThd&) {};
    QEventLoop loop;
    QObject::connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
    const auto runStart = Clock::now();
    const double runCpu0 = cpuSeconds();
    thread.start();
    loop.exec();
    const double runTime = seconds(runStart);
    const double runCpu = cpuSeconds() - runCpu0;
    const int total = thread.Total();
    if (!thread.ErrorMessage().empty()) {
        std::fprintf(stderr, "run failed: %s\n", thread.ErrorMessage().c_str());
        return 1;
    }
    const long runRss = peakRssMb();

    // Encoding alone: the frames of one picture and its fade, composed beforehand, cycled to
    // the same count.
    std::vector<lv::TDib> frames;
    {
        lv::TFrameServer server(list.PicturePaths, &list.PictureTexts, 75, 576, 720, true, true,
                                true);
        QImage raster;
        for (int i = 0; i < 75 + 18; ++i) {
            server.RenderFrame(raster, i);
            frames.emplace_back();
            lv::ImageToDib(raster, frames.back());
        }
    }
    lv::TBmpToAvi encodeWriter;
    openWriter(encodeWriter, (dir / "encode.avi").string());
    const auto encodeStart = Clock::now();
    const double encodeCpu0 = cpuSeconds();
    for (int i = 0; i < total; ++i)
        encodeWriter.AddFrame(frames[std::size_t(i) % frames.size()]);
    encodeWriter.Close();
    const double encodeTime = seconds(encodeStart);
    const double encodeCpu = cpuSeconds() - encodeCpu0;

    // Composing alone, in one thread, with the next picture loaded ahead as in the run.
    double composeTime = 0, composeCpu = 0;
    {
        lv::TFrameServer server(list.PicturePaths, &list.PictureTexts, 75, 576, 720, true, true,
                                true);
        server.SetPrefetch(true);
        QImage raster;
        lv::TDib dib;
        const auto composeStart = Clock::now();
        const double composeCpu0 = cpuSeconds();
        for (int i = 0; i < total; ++i) {
            server.RenderFrame(raster, i);
            lv::ImageToDib(raster, dib);
        }
        composeTime = seconds(composeStart);
        composeCpu = cpuSeconds() - composeCpu0;
    }

    const double runFps = total / runTime, encodeFps = total / encodeTime;
    std::printf("frames                 %d\n", total);
    std::printf("whole run              %.2f s  %.1f frames/s  (CPU %.2f s)\n", runTime, runFps,
                runCpu);
    std::printf("encoding alone         %.2f s  %.1f frames/s  (CPU %.2f s)\n", encodeTime,
                encodeFps, encodeCpu);
    std::printf("composing alone        %.2f s  %.1f frames/s  (CPU %.2f s)\n", composeTime,
                total / composeTime, composeCpu);
    std::printf("run / encode-only      %.0f%%  (goal: at least 85%%)\n", 100 * runFps / encodeFps);
    std::printf("peak memory of the run %ld MB  (goal: under 400 MB)\n", runRss);
    std::filesystem::remove_all(dir);
    return 0;
}
