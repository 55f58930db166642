#pragma once

#include "Audio/Mpeg/MpegHeader.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lv {

class TWFileStream;

// The frame index of one MPEG audio file: offset and length of every frame, their total
// duration and sample count. Opening finds the first frame only; ScanAll indexes the rest
// by reading each frame's 4 header bytes and seeking over its body, so memory grows with the
// frame count (8 bytes a frame), never with the file. The index has its own lock: ScanAll
// and the accessors may be called from different threads.
class TFrameLoader {
public:
    // Opens the file and finds its first frame; throws Error "Invalid MPEG file <name>" when
    // the file cannot be opened or holds no valid frame.
    explicit TFrameLoader(const std::string& fileName);
    ~TFrameLoader();
    TFrameLoader(const TFrameLoader&) = delete;
    TFrameLoader& operator=(const TFrameLoader&) = delete;

    // Resets, opens the file and indexes its first frame; false on any failure.
    bool Open(const std::string& fileName);
    // Indexes every remaining frame on a private stream, on the caller's thread; returns at
    // once when not opened or already complete. Throws when the file can no longer be opened.
    void ScanAll();
    // Round(TotalDurationMs x SampleRate x channels / 1000) of the first header, 16-bit
    // values of all channels together; final once ScanAll has run, 0 before.
    std::int64_t GetTotalSamples() const;
    // Back to the unopened state: stream closed, index and totals emptied.
    void Reset();

    const std::string& FileName() const { return m_fileName; }
    bool Opened() const;
    bool ScanComplete() const;
    // The first frame's header: its layer, rate and mode describe the whole file.
    const TMpegHeader& FirstHeader() const { return m_firstHeader; }
    std::int32_t FrameCount() const;
    double TotalDurationMs() const;
    // Offset and length of frame i (0 <= i < FrameCount).
    std::uint32_t FrameOffset(std::int32_t i) const;
    std::uint32_t FrameLength(std::int32_t i) const;
    // Entries the index holds room for; preset at opening from the first frame's length.
    std::size_t IndexCapacity() const;

private:
    void resetLocked();

    mutable std::mutex m_lock;
    std::string m_fileName;
    std::unique_ptr<TWFileStream> m_stream;
    bool m_opened = false;
    bool m_scanComplete = false;
    TMpegHeader m_firstHeader;
    std::vector<std::uint32_t> m_frameOffsets;
    std::vector<std::uint32_t> m_frameLengths;
    std::int32_t m_frameCount = 0;
    double m_totalDurationMs = 0;
    std::int64_t m_totalSamples = 0;
};

} // namespace lv
