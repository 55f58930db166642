// What the window costs a run: the same slideshow rendered by TSlideshowRun alone (as the
// command line does) and through the main window on Qt's offscreen platform, progress bar
// and live preview included. 8 photo-like pictures of 8 megapixels (texture and noise,
// JPEG quality 90), 720x576, 25 fps, 3000 ms, pan, cross-fade and caption, XVID.
//   window_bench [PICTURES]
// Goal: the window adds under 5% to the run's time.
//   window_bench --single-frame N
// Peak memory of the window holding N pictures of 640x480 and rendering them in single-frame
// mode (run it for 10 and for 10000: the peak must not grow with N).
//   window_bench --browse N
// Browsing N photos of 24 megapixels in the strip: each ">" under 30 ms once the first five
// are shown (the others are made ahead), and the whole strip at once in a new window.
#include "Common/PictureList.h"
#include "app/gui/Dialogs.h"
#include "app/gui/MainDlg.h"
#include "app/run/SlideshowRun.h"
#include "photo.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Smooth shapes under fine noise: decodes like a photo, unlike a bare gradient.
void makePhoto(const std::string& path, int i) {
    const int w = 3264, h = 2448;
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(img.rect(), QColor::fromHsv((i * 41) % 360, 120, 170));
    for (int k = 0; k < 60; ++k) {
        p.setBrush(QColor::fromHsv((i * 53 + k * 29) % 360, 170, 220));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF((k * 7919 + i * 131) % w, (k * 104729 + i * 71) % h), 80.0 + k % 300,
                      60.0 + k % 200);
    }
    p.end();
    std::uint32_t seed = 12345u + std::uint32_t(i);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 27) - 16;
            const QRgb c = line[x];
            auto ch = [n](int v) { return std::clamp(v + n, 0, 255); };
            line[x] = qRgb(ch(qRed(c)), ch(qGreen(c)), ch(qBlue(c)));
        }
    }
    img.save(QString::fromStdString(path), "JPG", 90);
}

class SilentDialogs : public lv::TDialogs {
public:
    bool tickSingleFrame = false;

private:
    void Message(QWidget*, const QString&) override {}
    void Error(QWidget*, const QString& t) override {
        std::fprintf(stderr, "error: %s\n", qPrintable(t));
    }
    bool Confirm(QWidget*, const QString&) override { return false; }
    QStringList OpenFiles(QWidget*, const lv::TFileDialog&) override { return {}; }
    QString SaveFile(QWidget*, const lv::TFileDialog&) override { return {}; }
    int Box(QWidget*, lv::TBoxKind, const QString&, bool) override { return lv::kBoxNo; }
    int Exec(QDialog& d) override {
        // "Expert": single-frame mode ticked when asked for.
        if (!tickSingleFrame || d.objectName() != "ExpertDlg")
            return QDialog::Rejected;
        d.findChild<QCheckBox*>("sng_chk")->setChecked(true);
        return QDialog::Accepted;
    }
    void OpenUrl(const QUrl&) override {}
};

void waitFor(lv::TSlideshowRun& run) {
    QEventLoop loop;
    QObject::connect(&run, &lv::TSlideshowRun::Finished, &loop, &QEventLoop::quit);
    if (run.Running())
        loop.exec();
}

int g_frames = 0;

double headless(const std::vector<std::string>& files, const std::string& out) {
    lv::TPictureList pictures;
    for (const auto& f : files)
        pictures.Add(f);
    lv::TSlideshowRun run(pictures, nullptr);
    lv::TRunSettings s;
    s.Resolution = "720x576";
    s.Fps = 25;
    s.FourCC = "XVID";
    s.DynamicPictures = true;
    s.OutputFile = out;
    QObject::connect(&run, &lv::TSlideshowRun::VideoProgress,
                     [](int, int total) { g_frames = total; });
    const auto t = Clock::now();
    run.Start(s);
    waitFor(run);
    return since(t);
}

// The longest wait of the window's event loop during a run: a 10 ms timer's longest gap.
double g_longestGapMs = 0;

double windowed(const std::vector<std::string>& files, const std::string& out, int& previews) {
    lv::TMainDlg window(std::make_unique<SilentDialogs>());
    window.show();
    window.AddPictureFiles(files);
    window.findChild<QLineEdit*>("out_txt")->setText(QString::fromStdString(out));
    window.findChild<QComboBox*>("res_cmb")->setCurrentText("720x576");
    window.findChild<QCheckBox*>("dynamics_chk")->click(); // 25 fps
    const int codec =
        window.findChild<QComboBox*>("codecs_cmb")->findText("XVID", Qt::MatchStartsWith);
    window.findChild<QComboBox*>("codecs_cmb")->setCurrentIndex(codec);
    QTimer tick;
    auto last = Clock::now();
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        g_longestGapMs =
            std::max(g_longestGapMs, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    });
    const auto t = Clock::now();
    window.findChild<QPushButton*>("go_btn")->click();
    last = Clock::now();
    tick.start(10);
    waitFor(*window.Run());
    const double elapsed = since(t);
    tick.stop();
    previews = window.PreviewUpdates();
    return elapsed;
}

int singleFrame(int count, const std::string& dir) {
    std::vector<std::string> files;
    const auto photos = std::filesystem::temp_directory_path() / "lumivane-picture-bench" / "small";
    for (int i = 0; i < count; ++i)
        files.push_back(lvbench::Photo(photos, 640, 480, unsigned(i + 1)));
    auto dialogs = std::make_unique<SilentDialogs>();
    dialogs->tickSingleFrame = true;
    lv::TMainDlg window(std::move(dialogs));
    window.show();
    const auto t = Clock::now();
    window.AddPictureFiles(files);
    window.findChild<QLineEdit*>("out_txt")->setText(QString::fromStdString(dir + "/single.avi"));
    window.findChild<QComboBox*>("res_cmb")->setCurrentText("720x576");
    window.findChild<QPushButton*>("exp_btn")->click();
    const int codec =
        window.findChild<QComboBox*>("codecs_cmb")->findText("XVID", Qt::MatchStartsWith);
    window.findChild<QComboBox*>("codecs_cmb")->setCurrentIndex(codec);
    QObject::connect(window.Run(), &lv::TSlideshowRun::VideoProgress,
                     [](int, int total) { g_frames = total; });
    window.findChild<QPushButton*>("go_btn")->click();
    waitFor(*window.Run());
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    std::printf("window, single-frame mode, %d pictures of 640x480: %.1f s, %d frames, peak "
                "memory %ld MB\n",
                count, since(t), g_frames, u.ru_maxrss / 1024);
    return 0;
}

// Browsing a strip of 24-megapixel photos (without camera previews): showing the first five,
// then ">" every 300 ms as a user looks through them, then the same list in a new window.
int browse(int count, const std::string& dir) {
    const std::string photo = lvbench::Photo(
        std::filesystem::temp_directory_path() / "lumivane-picture-bench", 6000, 4000);
    std::filesystem::create_directories(dir + "/browse");
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        files.push_back(dir + "/browse/photo" + std::to_string(i) + ".jpg");
        std::filesystem::remove(files.back());
        std::filesystem::create_hard_link(photo, files.back());
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    for (const char* session : {"first time", "again, in a new window"}) {
        lv::TMainDlg window(std::make_unique<SilentDialogs>());
        window.show();
        auto t = Clock::now();
        window.AddPictureFiles(files);
        const double shown = since(t) * 1000;
        std::vector<double> steps;
        for (int i = 0; i + 5 < count; ++i) {
            QEventLoop pause;
            QTimer::singleShot(300, &pause, &QEventLoop::quit);
            pause.exec();
            t = Clock::now();
            window.findChild<QPushButton*>("next_btn")->click();
            steps.push_back(since(t) * 1000);
        }
        std::printf("browsing %d photos of 24 megapixels, %s: first five shown in %.0f ms, "
                    "\">\" median %.1f ms, longest %.1f ms\n",
                    count, session, shown, median(steps),
                    steps.empty() ? 0.0 : *std::max_element(steps.begin(), steps.end()));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string dir = (std::filesystem::temp_directory_path() / "lumivane-window-bench");
    std::filesystem::create_directories(dir);
    setenv("LUMIVANE_SETTINGS_DIR", dir.c_str(), 1);
    // Thumbnails made afresh at every run, whatever the desktop's cache holds.
    std::filesystem::remove_all(dir + "/thumbnail-cache");
    setenv("XDG_CACHE_HOME", (dir + "/thumbnail-cache").c_str(), 1);
    QApplication app(argc, argv);
    if (argc > 2 && std::string(argv[1]) == "--single-frame")
        return singleFrame(std::atoi(argv[2]), dir);
    if (argc > 2 && std::string(argv[1]) == "--browse")
        return browse(std::atoi(argv[2]), dir);
    const int count = argc > 1 ? std::atoi(argv[1]) : 8;
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        files.push_back(dir + "/photo" + std::to_string(i) + ".jpg");
        if (!std::filesystem::exists(files.back()))
            makePhoto(files.back(), i);
    }
    double bestHeadless = 1e9, bestWindow = 1e9;
    int previews = 0;
    for (int round = 0; round < 3; ++round) {
        bestHeadless = std::min(bestHeadless, headless(files, dir + "/headless.avi"));
        bestWindow = std::min(bestWindow, windowed(files, dir + "/window.avi", previews));
    }
    const int frames = g_frames;
    std::printf("%d pictures, %d frames, best of 3\n", count, frames);
    std::printf("run alone:        %.2f s (%.0f frames/s)\n", bestHeadless, frames / bestHeadless);
    std::printf("run in the window: %.2f s (%.0f frames/s), %d preview pictures\n", bestWindow,
                frames / bestWindow, previews);
    std::printf("window / alone:   %.3f (goal: under 1.05)\n", bestWindow / bestHeadless);
    std::printf("longest wait of the window's events during a run: %.0f ms (a 10 ms timer)\n",
                g_longestGapMs);
    std::filesystem::remove_all(dir);
    return 0;
}
