#pragma once

#include "Common/FrameServer.h"
#include "Common/PictureList.h"
#include "app/run/FrameSettings.h"

#include <QImage>
#include <QObject>
#include <QSize>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace lv {

// A composed frame as a preview shows it: scaled, keeping its shape, to fit the view (smooth
// filtering), or the frame itself when it fits already or the view is empty.
QImage PreviewImage(const QImage& frame, QSize view);

// A time of the video as a preview shows it: "m:ss.cc", with hours when there are any.
std::string PreviewTimeText(std::int64_t ms);

// The frames of a preview, composed on a thread of their own by the run's frame server, from
// a copy of the pictures taken when the preview opens (the lists may change afterwards).
// Requests are served latest first: one asked for while another is being composed replaces
// any still waiting, so a scrub or a late clock never queues up work.
class TPreviewFrames : public QObject {
    Q_OBJECT
public:
    TPreviewFrames(const TPictureList& pictures, const TFrameSettings& frames);
    // Waits for the frame being composed (at worst one picture's loading).
    ~TPreviewFrames() override;

    const TFrameSettings& Settings() const { return m_settings; }
    int FrameCount() const { return m_frameCount; }
    // The picture frame i shows (from 0); in a fade, the nearer of the two.
    int PictureAt(int frame) const;

    // Frames composed from now on are scaled to fit this size.
    void SetViewSize(QSize view);
    // Composes frame i (kept within the frames); FrameReady or Failed follows.
    void Request(int frame);
    // A request is waiting or being composed.
    bool Busy() const;

    // Makes every frame take at least this long to compose, as on a slower machine.
    void SetMinimumComposeTime(int ms);

Q_SIGNALS:
    // From the composing thread; `image` is PreviewImage of the frame for the view size.
    void FrameReady(int frame, const QImage& image);
    void Failed(int frame, const QString& message);

private:
    void serve();

    const TFrameSettings m_settings;
    TPictureList m_pictures;
    TFrameServer m_server;
    int m_frameCount = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_wanted = -1; // the request waiting, -1 for none
    bool m_working = false;
    bool m_stop = false;
    QSize m_view;
    int m_minimumMs = 0;
    std::thread m_thread; // last: started once everything above exists
};

} // namespace lv
