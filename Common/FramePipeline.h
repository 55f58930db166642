#pragma once

#include "platform/Dib.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace lv {

class TFrameServer;

// Composes the frames of a run on a thread of its own, a few frames ahead of the encoder, so
// that composing (and the picture loads it waits for) overlaps compressing on the other core.
// Frames come out in order and are exactly those of a plain sequential loop.
//
// One consumer thread calls Acquire / Release in turn. The server is used only by the
// composing thread until the pipeline is destroyed; destruction stops it after the frame it is
// on.
class TFramePipeline {
public:
    TFramePipeline(TFrameServer& server, int total, int depth = 3);
    ~TFramePipeline();
    TFramePipeline(const TFramePipeline&) = delete;
    TFramePipeline& operator=(const TFramePipeline&) = delete;

    // The next frame, as a 24-bit bitmap; waits for it. Rethrows the composer's error when
    // that frame could not be composed. Valid until Release.
    const TDib& Acquire();
    // Gives the frame back for composing a later one.
    void Release();

private:
    void compose();

    TFrameServer& m_server;
    const int m_total;
    std::vector<TDib> m_slots;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_ready = 0;            // frames composed
    int m_released = 0;         // frames given back
    std::exception_ptr m_error; // for frame m_ready
    bool m_stop = false;
    std::thread m_thread; // last: starts once everything above exists
};

} // namespace lv
