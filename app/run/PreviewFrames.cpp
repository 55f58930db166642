#include "app/run/PreviewFrames.h"

#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <utility>

namespace lv {

namespace {

const TPictureList& copied(TPictureList& to, const TPictureList& from) {
    for (std::size_t i = 0; i < from.Count(); ++i)
        to.Add(from.PicturePaths[i], from.PictureTexts[i]);
    return to;
}

} // namespace

QImage PreviewImage(const QImage& frame, QSize view) {
    if (view.isEmpty() || frame.isNull() || frame.size() == view)
        return frame;
    const QSize fitted = frame.size().scaled(view, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (fitted == frame.size())
        return frame;
    return frame.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

std::string PreviewTimeText(std::int64_t ms) {
    ms = std::max<std::int64_t>(ms, 0);
    const std::int64_t cs = ms / 10 % 100, s = ms / 1000 % 60, m = ms / 60000 % 60,
                       h = ms / 3600000;
    char text[48];
    if (h > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%02lld", (long long)h, (long long)m,
                      (long long)s, (long long)cs);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", (long long)m, (long long)s,
                      (long long)cs);
    return text;
}

TPreviewFrames::TPreviewFrames(const TPictureList& pictures, const TFrameSettings& f)
    : m_settings(f),
      m_server(copied(m_pictures, pictures).PicturePaths, &m_pictures.PictureTexts,
               f.FramesPerPicture, f.Height, f.Width, f.Dynamic, f.CrossFade, f.TextOverlay) {
    m_frameCount = m_pictures.Count() > 0 ? m_server.FrameCount() : 0;
    // Loading picture k + 1 while k plays, as the run does.
    m_server.SetPrefetch(true);
    m_server.SetReadAhead(true); // a scrub waits for its picture
    m_thread = std::thread([this] { serve(); });
}

TPreviewFrames::~TPreviewFrames() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

int TPreviewFrames::PictureAt(int frame) const {
    const int n = m_server.FramesPerPicture(), f = m_server.FadeFrames();
    const int k = frame / (n + f), t = frame % (n + f) - n;
    return t >= 0 && 2 * t >= f ? k + 1 : k;
}

void TPreviewFrames::SetViewSize(QSize view) {
    std::lock_guard lock(m_mutex);
    m_view = view;
}

void TPreviewFrames::SetMinimumComposeTime(int ms) {
    std::lock_guard lock(m_mutex);
    m_minimumMs = std::max(ms, 0);
}

void TPreviewFrames::Request(int frame) {
    if (m_frameCount == 0)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_wanted = std::clamp(frame, 0, m_frameCount - 1);
    }
    m_wake.notify_all();
}

bool TPreviewFrames::Busy() const {
    std::lock_guard lock(m_mutex);
    return m_working || m_wanted >= 0;
}

void TPreviewFrames::serve() {
    QImage frame;
    for (;;) {
        int i;
        QSize view;
        int minimumMs;
        {
            std::unique_lock lock(m_mutex);
            m_working = false;
            m_wake.wait(lock, [this] { return m_stop || m_wanted >= 0; });
            if (m_stop)
                return;
            i = std::exchange(m_wanted, -1);
            m_working = true;
            view = m_view;
            minimumMs = m_minimumMs;
        }
        QElapsedTimer took;
        took.start();
        try {
            m_server.RenderFrame(frame, i);
            // A fade's frames carry alpha 0; the colours are what the video holds.
            if (frame.format() != QImage::Format_RGB32)
                frame.convertTo(QImage::Format_RGB32);
            QImage shown = PreviewImage(frame, view);
            if (const auto left = minimumMs - took.elapsed(); left > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(left));
            // Shared with `frame` when not scaled: the next frame detaches it before writing.
            Q_EMIT FrameReady(i, shown);
        } catch (const std::exception& e) {
            Q_EMIT Failed(i, QString::fromStdString(e.what()));
        }
    }
}

} // namespace lv
