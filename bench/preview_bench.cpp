// The preview's speed, composing as the preview does (frame server on its own thread,
// pictures loaded ahead, each frame scaled to a 960x540 view):
//   preview_bench            both measures below
//   compose   frames per second at 720x576 and 1920x1080 with pan, fade and caption, by wall
//             clock and per second of processor time (all threads): the goal is 3 times real
//             time at 25 fps (75 frames/s) on one core
//   scrub     from a scrub's release to its frame: median and worst of 50 random positions
//             in a 300-picture slideshow of 12-megapixel photos, then of 1920x1080 pictures
// The photos (made once in /tmp/lumivane-picture-bench) are photo-like.
#include "Common/PictureList.h"
#include "app/run/FrameSettings.h"
#include "app/run/PreviewFrames.h"

#include "photo.h"

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::filesystem::path kDir = "/tmp/lumivane-picture-bench";
const QSize kView(960, 540);

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Asks for a frame and waits for it, as the preview's window would see it arrive.
class Waiter {
public:
    explicit Waiter(lv::TPreviewFrames& frames) : m_frames(frames) {
        QObject::connect(
            &frames, &lv::TPreviewFrames::FrameReady, &frames,
            [this](int frame, const QImage&) { arrived(frame); }, Qt::DirectConnection);
        QObject::connect(
            &frames, &lv::TPreviewFrames::Failed, &frames,
            [](int, const QString& message) {
                std::fprintf(stderr, "%s\n", qPrintable(message));
                std::exit(1);
            },
            Qt::DirectConnection);
    }
    void Show(int frame) {
        std::unique_lock lock(m_mutex);
        m_last = -1;
        m_frames.Request(frame);
        m_arrived.wait(lock, [&] { return m_last == frame; });
    }

private:
    void arrived(int frame) {
        // Notified under the lock: the waiter may go as soon as it sees the frame.
        std::lock_guard lock(m_mutex);
        m_last = frame;
        m_arrived.notify_all();
    }
    lv::TPreviewFrames& m_frames;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    int m_last = -1;
};

lv::TFrameSettings settingsAt(int w, int h) {
    lv::TFrameSettings f;
    f.Width = w;
    f.Height = h;
    f.FrameTime = 40;        // 25 fps
    f.FramesPerPicture = 75; // 3000 ms a picture
    f.Dynamic = f.CrossFade = f.TextOverlay = true;
    return f;
}

void slideshow(lv::TPictureList& list, int count, int distinct, QSize photo = {4000, 3000}) {
    std::vector<std::string> photos;
    for (int i = 0; i < distinct; ++i)
        photos.push_back(lvbench::Photo(kDir, photo.width(), photo.height(), 1234 + unsigned(i)));
    for (int i = 0; i < count; ++i)
        list.Add(photos[std::size_t(i % distinct)], "Picture " + std::to_string(i + 1));
}

void compose() {
    lv::TPictureList list;
    slideshow(list, 4, 4);
    for (const QSize size : {QSize(720, 576), QSize(1920, 1080)}) {
        lv::TPreviewFrames frames(list, settingsAt(size.width(), size.height()));
        frames.SetViewSize(kView);
        Waiter waiter(frames);
        const auto start = std::chrono::steady_clock::now();
        const double cpu = cpuSeconds();
        for (int i = 0; i < frames.FrameCount(); ++i)
            waiter.Show(i);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double used = cpuSeconds() - cpu;
        const double n = frames.FrameCount();
        std::printf("compose %dx%d: %d frames (4 pictures, pan, fade, caption) in %.2f s: "
                    "%.0f frames/s, %.0f frames per processor second = %.1f x real time at "
                    "25 fps on one core\n",
                    size.width(), size.height(), frames.FrameCount(), wall, n / wall, n / used,
                    n / used / 25.0);
    }
}

void scrub() {
    // Phone photos, and pictures already at HD size; scrubs one after the other, then with
    // the 400 ms a user looks at a frame before the next (the load ahead it started ends).
    for (const QSize photo : {QSize(4000, 3000), QSize(1920, 1080)}) {
        lv::TPictureList list;
        slideshow(list, 300, 10, photo);
        for (const QSize size : {QSize(720, 576), QSize(1920, 1080)})
            for (const int lookMs : {0, 400}) {
                lv::TPreviewFrames frames(list, settingsAt(size.width(), size.height()));
                frames.SetViewSize(kView);
                Waiter waiter(frames);
                waiter.Show(0);
                std::mt19937 rng(42);
                std::uniform_int_distribution<int> position(0, frames.FrameCount() - 1);
                std::vector<double> ms;
                for (int k = 0; k < 50; ++k) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(lookMs));
                    const auto start = std::chrono::steady_clock::now();
                    waiter.Show(position(rng));
                    ms.push_back(std::chrono::duration<double, std::milli>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
                }
                std::sort(ms.begin(), ms.end());
                std::printf("scrub %dx%d, 300 pictures of %dx%d, %d ms between: median %.0f ms, "
                            "worst %.0f ms (50 random positions)\n",
                            size.width(), size.height(), photo.width(), photo.height(), lookMs,
                            (ms[24] + ms[25]) / 2, ms.back());
            }
    }
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0); // captions need fonts, not a display
    QGuiApplication app(argc, argv);
    const std::string what = argc > 1 ? argv[1] : "";
    if (what.empty() || what == "compose")
        compose();
    if (what.empty() || what == "scrub")
        scrub();
    return 0;
}
