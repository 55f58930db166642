#include "app/run/PreviewClock.h"

#include <algorithm>

namespace lv {

TPreviewClock::TPreviewClock(int frameCount, int frameTimeMs)
    : m_count(std::max(frameCount, 0)), m_frameTime(std::max(frameTimeMs, 1)) {}

int TPreviewClock::clamp(int frame) const {
    return std::clamp(frame, 0, std::max(m_count - 1, 0));
}

int TPreviewClock::FrameAt(std::int64_t now) const {
    if (!m_playing)
        return m_startFrame;
    const std::int64_t elapsed = std::max<std::int64_t>(now - m_startTime, 0);
    return clamp(int(std::min<std::int64_t>(m_startFrame + elapsed / m_frameTime, m_count)));
}

bool TPreviewClock::Playing(std::int64_t now) const {
    return m_playing && FrameAt(now) < m_count - 1;
}

void TPreviewClock::Play(std::int64_t now) {
    if (Playing(now))
        return;
    // From the start again when play is pressed at the end.
    const int at = FrameAt(now);
    m_startFrame = at >= m_count - 1 ? 0 : at;
    m_playing = true;
    m_startTime = now;
}

void TPreviewClock::Pause(std::int64_t now) {
    m_startFrame = FrameAt(now);
    m_playing = false;
}

void TPreviewClock::Seek(int frame, std::int64_t now) {
    m_startFrame = clamp(frame);
    m_startTime = now;
}

void TPreviewClock::Step(int delta, std::int64_t now) {
    Pause(now);
    m_startFrame = clamp(m_startFrame + delta);
}

int TPreviewClock::Next(int shown, std::int64_t now) {
    const int due = FrameAt(now);
    if (due > shown + 1)
        m_dropped += due - shown - 1;
    return due;
}

} // namespace lv
