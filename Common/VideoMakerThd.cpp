#include "Common/VideoMakerThd.h"

#include "Common/BmpToAvi.h"
#include "Common/FramePipeline.h"
#include "Common/FrameServer.h"
#include "platform/Errors.h"

#include <QImage>

#include <cmath>
#include <exception>

namespace lv {

TVideoMakerThd::TVideoMakerThd(QObject* parent) : TWorkerThread(parent) {}

// The worker reads UpdateProgress and the parameters: it ends before they go.
TVideoMakerThd::~TVideoMakerThd() {
    StopAndWait();
}

int TVideoMakerThd::FramesPerPicture(int timePerPicture, int frameTime, bool singleFrame) {
    if (singleFrame || frameTime <= 0)
        return 1;
    const int n = int(std::nearbyint(double(timePerPicture) / double(frameTime)));
    return n == 0 ? 1 : n;
}

void TVideoMakerThd::updateProgress() {
    if (UpdateProgress)
        Synchronize([this] { UpdateProgress(*this); });
}

namespace {

// Frames above this (24-bit bytes; 4K is 25 MB) trade speed for memory.
constexpr std::int64_t kLargeFrameBytes = 16 << 20;

// The frames of a run in order, composed in this thread or ahead of it on another.
class FrameSource {
public:
    FrameSource(TFrameServer& server, int total, bool pipelined, std::int64_t frameBytes)
        : m_server(server) {
        // Three frames ahead smooth the encoder's pace; at 4K (25 MB a frame) the one being
        // composed and one waiting do.
        if (pipelined)
            m_pipeline = std::make_unique<TFramePipeline>(server, total,
                                                          frameBytes > kLargeFrameBytes ? 1 : 3);
    }
    const TDib& Next(int i) {
        if (m_pipeline)
            return m_pipeline->Acquire();
        m_server.RenderFrame(m_dib, i, m_raster);
        return m_dib;
    }
    void Done() {
        if (m_pipeline)
            m_pipeline->Release();
    }

private:
    TFrameServer& m_server;
    std::unique_ptr<TFramePipeline> m_pipeline;
    QImage m_raster;
    TDib m_dib;
};

} // namespace

void TVideoMakerThd::run() {
    ClearError();
    const int n = FramesPerPicture(TimePerPicture, Writer->FrameTime, SingleFrame);
    bool failed = false;
    try {
        TFrameServer server(*PicturePaths, PictureTexts, n, Writer->Height, Writer->Width,
                            DynamicPictures, CrossFade, TextOverlay);
        // At 4K two enlarged pictures would hold 118 MB: the next one is loaded when needed.
        const std::int64_t frameBytes = std::int64_t(Writer->Width) * Writer->Height * 3;
        server.SetPrefetch(Pipelined && frameBytes <= kLargeFrameBytes);
        m_position = 0;
        m_total = server.FrameCount();
        updateProgress();

        m_aborted = false;
        // Declared after the server: the composing thread stops before the server goes.
        FrameSource frames(server, m_total, Pipelined, frameBytes);
        for (int i = 0; i < m_total; ++i) {
            if (isInterruptionRequested())
                break;
            const TDib& frame = frames.Next(i);
            Writer->AddFrame(frame);
            m_position = i;
            m_frame = &frame;
            updateProgress();
            m_frame = nullptr;
            frames.Done();
        }
    } catch (const std::exception& e) {
        m_frame = nullptr;
        SetError(e);
        failed = true;
    } catch (...) {
        m_frame = nullptr;
        SetError(Error("Unknown error"));
        failed = true;
    }
    if (failed) {
        // Nothing half-made takes the output's name, nor replaces an earlier file of it.
        Writer->Abandon();
        return;
    }

    const bool stopped = isInterruptionRequested();
    try {
        if (stopped)
            Writer->CloseUnfinished();
        else
            Writer->Close();
    } catch (const std::exception& e) {
        // The file could not be finished: report it like a failure part-way.
        SetError(e);
        return;
    }
    m_aborted = stopped;
    m_position = 0;
    updateProgress();
}

} // namespace lv
