#include "Common/FramePipeline.h"

#include "Common/FrameServer.h"

#include <QImage>

namespace lv {

TFramePipeline::TFramePipeline(TFrameServer& server, int total, int depth)
    : m_server(server), m_total(total), m_slots(std::size_t(depth > 0 ? depth : 1)),
      m_thread([this] { compose(); }) {}

TFramePipeline::~TFramePipeline() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void TFramePipeline::compose() {
    QImage raster;
    const int depth = int(m_slots.size());
    const auto fail = [this] {
        std::lock_guard lock(m_mutex);
        m_error = std::current_exception();
        m_changed.notify_all();
    };
    const int perPicture = m_server.FramesPerPicture() + m_server.FadeFrames();
    for (int i = 0; i < m_total; ++i) {
        // A picture's frame is composed before its slot is free (the raster is one more frame
        // ahead); a fade's frame goes into its slot band by band.
        const bool fade = i % perPicture >= m_server.FramesPerPicture();
        try {
            if (!fade)
                m_server.RenderFrame(raster, i);
        } catch (...) {
            fail();
            return;
        }
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop || i - m_released < depth; });
            if (m_stop)
                return;
        }
        try {
            TDib& slot = m_slots[std::size_t(i % depth)];
            if (fade)
                m_server.RenderFrame(slot, i, raster);
            else
                ImageToDib(raster, slot);
        } catch (...) {
            fail();
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            ++m_ready;
        }
        m_changed.notify_all();
    }
}

const TDib& TFramePipeline::Acquire() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_ready > m_released || m_error; });
    if (m_ready > m_released)
        return m_slots[std::size_t(m_released % int(m_slots.size()))];
    std::rethrow_exception(m_error);
}

void TFramePipeline::Release() {
    {
        std::lock_guard lock(m_mutex);
        ++m_released;
    }
    m_changed.notify_all();
}

} // namespace lv
