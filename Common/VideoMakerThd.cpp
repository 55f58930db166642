#include "Common/VideoMakerThd.h"

#include "Common/BmpToAvi.h"
#include "Common/FrameServer.h"

#include <QImage>
#include <QMetaObject>

#include <cmath>
#include <exception>

namespace lv {

TVideoMakerThd::TVideoMakerThd(QObject* parent) : QThread(parent) {}

TVideoMakerThd::~TVideoMakerThd() {
    requestInterruption();
    wait();
}

int TVideoMakerThd::FramesPerPicture(int timePerPicture, int frameTime, bool singleFrame) {
    if (singleFrame || frameTime <= 0)
        return 1;
    const int n = int(std::nearbyint(double(timePerPicture) / double(frameTime)));
    return n == 0 ? 1 : n;
}

void TVideoMakerThd::updateProgress() {
    if (!UpdateProgress)
        return;
    QMetaObject::invokeMethod(
        this, [this] { UpdateProgress(*this); }, Qt::BlockingQueuedConnection);
}

void TVideoMakerThd::run() {
    const int n = FramesPerPicture(TimePerPicture, Writer->FrameTime, SingleFrame);
    bool failed = false;
    try {
        auto server =
            std::make_unique<TFrameServer>(*PicturePaths, PictureTexts, n, Writer->Height,
                                           Writer->Width, DynamicPictures, CrossFade, TextOverlay);
        server->SetPrefetch(Prefetch);
        m_position = 0;
        m_total = server->FrameCount();
        updateProgress();

        m_aborted = false;
        QImage raster;
        m_frame = std::make_unique<TDib>();
        try {
            for (int i = 0; i < m_total; ++i) {
                if (isInterruptionRequested())
                    break;
                server->RenderFrame(raster, i);
                ImageToDib(raster, *m_frame);
                Writer->AddFrame(*m_frame);
                m_position = i;
                updateProgress();
            }
        } catch (...) {
            m_frame.reset();
            throw;
        }
        m_frame.reset();
    } catch (const std::exception& e) {
        m_error = e.what();
        failed = true;
    } catch (...) {
        m_error = "Unknown error";
        failed = true;
    }
    if (failed)
        return; // the writer stays open until its next Open or its destruction

    try {
        Writer->Close();
    } catch (const std::exception& e) {
        // The file could not be finished: report it like a failure part-way.
        m_error = e.what();
        return;
    }
    m_aborted = isInterruptionRequested();
    m_position = 0;
    updateProgress();
}

} // namespace lv
