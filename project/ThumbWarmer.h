#pragma once

#include "platform/WorkerThread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace lv {

class TSharedThumbnails;

// Makes the shared thumbnails of pictures before the strip shows them, at idle priority on a
// core of its own, so that browsing finds them made. Works on copies of the paths, one picture
// at a time, each once; a new list replaces what is left of the old one at once, without
// waiting. Nothing is made while the cache cannot keep it.
class TThumbWarmer : public TWorkerThread {
    Q_OBJECT
public:
    // Thumbnails of width x height, through cache (not owned, outliving the warmer). Idle
    // priority never takes a core from anything else.
    TThumbWarmer(const TSharedThumbnails& cache, int width, int height,
                 QThread::Priority priority = QThread::IdlePriority, QObject* parent = nullptr);
    ~TThumbWarmer() override;

    // Owner's thread: these pictures next, in this order; an empty list stops the work.
    void Warm(std::vector<std::string> paths);
    // Any thread: whether pictures are left to make or one is being made.
    bool Busy() const;

protected:
    void run() override;

private:
    const TSharedThumbnails& m_cache;
    const int m_width;
    const int m_height;
    const QThread::Priority m_priority;
    std::unordered_set<std::string> m_done; // the worker's own: each picture is made once
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::string> m_queue;
    bool m_making = false;
    bool m_quit = false;
};

// The order to make thumbnails in for a strip showing first .. last, while the window's thread
// renders the strip from its start: the strip from its end back to its second picture, then
// the pictures after it, then those before.
std::vector<std::string> WarmOrder(const std::vector<std::string>& paths, int first, int last);

} // namespace lv
