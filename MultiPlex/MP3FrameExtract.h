#pragma once

#include "MultiPlex/MP3Header.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lv {

// Lists the MPEG audio frames of a soundtrack: Scan loads the whole file, walks it frame by
// frame (searching byte by byte where no frame follows) and records where every accepted
// frame starts and ends. Nothing is decoded. One extractor per file, scanned once; not
// thread-safe, and the callbacks run in the thread that calls Scan.
class TMP3FrameExtract {
public:
    explicit TMP3FrameExtract(std::string fileName);

    // Fills the frame list. Throws lv::Error when the file cannot be read. A file without
    // any accepted frame is not an error: the list stays empty.
    void Scan();

    const std::string& FileName() const { return m_fileName; }
    // Frame ends in file order. The last one may lie beyond the end of the file.
    const std::vector<std::int64_t>& Offsets() const { return m_ends; }
    const std::optional<TMP3Header>& Reference() const { return m_reference; }

    // Number of frame ends - 1 (-1 for an empty list).
    int FrameCount() const { return static_cast<int>(m_ends.size()) - 1; }
    // End of frame i for 0 <= i < FrameCount, else -1.
    std::int64_t FrameOffset(int i) const;
    // FrameOffset(i + 1) - FrameOffset(i) for 0 <= i < FrameCount - 1, else -1.
    std::int64_t FrameSize(int i) const;

    // Every listed frame k (0 <= k < Offsets().size()) with its own start and length, so
    // that tags or junk between frames are never taken as audio.
    std::int64_t FrameStart(int k) const { return m_starts.at(k); }
    std::int64_t FrameEnd(int k) const { return m_ends.at(k); }
    // The listed frames that end within the file (all but a truncated last one).
    int CompleteFrames() const;
    // Size of the file at the last Scan.
    std::int64_t FileSize() const { return m_fileSize; }

    // Of the first accepted frame; 0 while there is none.
    int Bitrate() const { return m_reference ? m_reference->Bitrate() : 0; }
    int Channels() const { return m_reference ? m_reference->Channels() : 0; }
    int SampleRate() const { return m_reference ? m_reference->SampleRate() : 0; }

    // Percent of the file scanned, after every 10th frame search.
    std::function<void(std::uint8_t percent)> OnScanProgress;
    // Asked after every frame found; true ends the scan, keeping what was listed.
    std::function<bool()> OnCheckCancel;

private:
    bool FindNextFrame(const std::vector<std::uint8_t>& data, std::int64_t& position);

    std::string m_fileName;
    std::vector<std::int64_t> m_starts;
    std::vector<std::int64_t> m_ends;
    std::optional<TMP3Header> m_reference;
    std::int64_t m_fileSize = 0;
};

} // namespace lv
