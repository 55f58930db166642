#include "project/ThumbWarmer.h"

#include "Common/ImageFile.h"
#include "platform/SharedThumbnails.h"

#include <algorithm>
#include <exception>

namespace lv {

TThumbWarmer::TThumbWarmer(const TSharedThumbnails& cache, int width, int height,
                           QThread::Priority priority, QObject* parent)
    : TWorkerThread(parent), m_cache(cache), m_width(width), m_height(height),
      m_priority(priority) {}

TThumbWarmer::~TThumbWarmer() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    StopAndWait();
}

void TThumbWarmer::Warm(std::vector<std::string> paths) {
    const bool any = !paths.empty();
    {
        std::lock_guard lock(m_mutex);
        m_queue.assign(std::make_move_iterator(paths.begin()),
                       std::make_move_iterator(paths.end()));
    }
    m_wake.notify_all();
    // Started once, it waits for work until the end.
    if (any && !isRunning())
        start(m_priority);
}

bool TThumbWarmer::Busy() const {
    std::lock_guard lock(m_mutex);
    return m_making || !m_queue.empty();
}

void TThumbWarmer::run() {
    for (;;) {
        std::string path;
        {
            std::unique_lock lock(m_mutex);
            m_making = false;
            m_wake.wait(lock, [this] { return m_quit || !m_queue.empty(); });
            if (m_quit)
                return;
            path = std::move(m_queue.front());
            m_queue.pop_front();
            m_making = true;
        }
        if (!m_done.insert(path).second || !m_cache.Writable())
            continue;
        try {
            // Made and kept in the cache; a picture already there is only read back.
            const TImageFile thumbnail(path, m_width, m_height, &m_cache);
        } catch (const std::exception&) {
            // An unusable picture is for the run to report (and the strip, when it decodes it).
        }
    }
}

std::vector<std::string> WarmOrder(const std::vector<std::string>& paths, int first, int last) {
    const int count = int(paths.size());
    std::vector<std::string> order;
    if (count == 0)
        return order;
    first = std::clamp(first, 0, count - 1);
    last = std::clamp(last, first, count - 1);
    for (int k = last; k > first; --k)
        order.push_back(paths[std::size_t(k)]);
    order.insert(order.end(), paths.begin() + last + 1, paths.end());
    order.insert(order.end(), paths.begin(), paths.begin() + first);
    return order;
}

} // namespace lv
