#pragma once

#include <cstdint>

namespace lv {

// The clock of a preview: which frame of the slideshow is due at a moment, playing at the
// video's own pace (a frame every frameTime ms, as the video holds them) from where play
// started. Time is the caller's, in milliseconds, so the rule is testable without waiting.
// A preview that cannot compose in time shows the frame due now and skips those in between
// (counted as dropped): the clock never slows. At the last frame play stops.
class TPreviewClock {
public:
    TPreviewClock(int frameCount, int frameTimeMs);

    void Play(std::int64_t now);
    void Pause(std::int64_t now);
    bool Playing(std::int64_t now) const;
    // Moves to a frame (kept within 0 .. count - 1); playing goes on from there.
    void Seek(int frame, std::int64_t now);
    // One frame back or forth; pauses.
    void Step(int delta, std::int64_t now);

    // The frame due at `now`.
    int FrameAt(std::int64_t now) const;
    // The frame to show after `shown` was shown: the one due now; the frames skipped between
    // them are added to Dropped().
    int Next(int shown, std::int64_t now);
    int Dropped() const { return m_dropped; }
    int FrameCount() const { return m_count; }
    // Where a frame starts, in ms of the video (for the time shown and the soundtrack).
    std::int64_t TimeOfFrame(int frame) const { return std::int64_t(frame) * m_frameTime; }

private:
    int clamp(int frame) const;

    int m_count;
    int m_frameTime;
    bool m_playing = false;
    int m_startFrame = 0;         // the frame shown when play (re)started
    std::int64_t m_startTime = 0; // and when
    int m_dropped = 0;
};

} // namespace lv
