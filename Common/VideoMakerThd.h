#pragma once

#include "Common/StringList.h"
#include "platform/Dib.h"
#include "platform/WorkerThread.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace lv {

class TBmpToAvi;

// The worker that produces the picture track of a run: asks a frame server for every frame
// in order, converts it to a 24-bit bitmap and hands it to the writer, then closes the writer.
//
// The creator sets the parameters before start() and does not touch them, the lists or the
// writer until the thread has finished. Cancel is requestInterruption(), seen before each
// frame. UpdateProgress runs in the thread that owns this object (the main thread, which must
// run its event loop) and the worker waits for it: once before the loop, once per frame, once
// after the writer is closed. A failure is kept as ErrorMessage(), ErrorUnit() and ErrorLine().
class TVideoMakerThd : public TWorkerThread {
    Q_OBJECT
public:
    explicit TVideoMakerThd(QObject* parent = nullptr);
    // Cancels a run still going and waits for its end; the writer is left as the run left it.
    ~TVideoMakerThd() override;

    // Parameters.
    TBmpToAvi* Writer = nullptr; // opened for this run; not owned
    int TimePerPicture = 3000;   // milliseconds
    const TStringList* PicturePaths = nullptr;
    const TStringList* PictureTexts = nullptr;
    bool DynamicPictures = false;
    bool CrossFade = false;
    bool TextOverlay = false;
    bool SingleFrame = false;
    // Compose frames and load the next picture on other threads while the current frame is
    // encoded. The frames are the same either way.
    bool Pipelined = true;

    // State for the main thread.
    int Position() const { return m_position; }
    int Total() const { return m_total; }
    bool Aborted() const { return m_aborted; }
    // The frame just encoded, while the loop runs; null otherwise. Read it in UpdateProgress.
    const TDib* Frame() const { return m_frame; }

    // Frames per picture for a time per picture and the writer's frame time.
    static int FramesPerPicture(int timePerPicture, int frameTime, bool singleFrame);

    // Called in the owner's thread with the worker waiting (progress bar and preview).
    std::function<void(const TVideoMakerThd&)> UpdateProgress;

protected:
    void run() override;

private:
    void updateProgress();

    std::atomic<int> m_position{0};
    std::atomic<int> m_total{0};
    std::atomic<bool> m_aborted{false};
    const TDib* m_frame = nullptr;
};

} // namespace lv
