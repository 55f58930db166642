#pragma once

// The RIFF AVI reader and writer behind the AVIFile-style calls of platform/AviFile.h.

#include "platform/AviFile.h"
#include "platform/RiffIO.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lv {

// One chunk of a stream: where its data lies in the file, its size, its AVIIF flags.
struct TAviIndexEntry {
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t flags = 0;
};

// What the reader and the writer know of one stream.
struct TAviStreamData {
    AVISTREAMINFO info;
    std::vector<std::uint8_t> format;
    bool formatSet = false;
    std::vector<TAviIndexEntry> index;
    // With dwSampleSize > 0: the first sample of each chunk, and the samples of all.
    std::vector<std::uint64_t> firstSample;
    std::uint64_t totalSamples = 0;

    // Samples from position start to the stream's end (chunks, or bytes / dwSampleSize).
    std::int64_t length() const;
    // length() cut so that every position from dwStart on fits a signed 32-bit number.
    std::int64_t addressableLength() const;
    bool isKey(std::int64_t entry) const;
    // Chunk that holds position pos (relative to dwStart); -1 when outside.
    std::int64_t entryOf(std::int64_t pos) const;
    // Recomputes firstSample/totalSamples after the index was built.
    void countSamples();
    HRESULT findSample(std::int32_t pos, std::uint32_t flags, std::int32_t& found) const;
    HRESULT readFormat(void* format, std::int32_t* size) const;
};

// Four bytes of a chunk id for stream n: "00dc", "01wb"...
std::uint32_t AviChunkId(std::uint32_t stream, std::uint32_t fccType);
// Stream number of a chunk id ("01wb" -> 1), -1 when its first two characters are not digits.
int AviChunkStream(std::uint32_t ckid);

class TRiffAviReader {
public:
    HRESULT open(const std::string& path);
    const std::vector<TAviStreamData>& streams() const { return m_streams; }
    AVIFILEINFO fileInfo() const { return m_info; }
    HRESULT read(std::size_t stream, std::int32_t start, std::int32_t samples, void* buffer,
                 std::int32_t bufferSize, std::int32_t* bytes, std::int32_t* samplesRead);

private:
    struct Chunk {
        std::uint32_t id = 0;
        std::uint64_t dataPos = 0;
        std::uint32_t size = 0;
        std::uint32_t listType = 0; // for RIFF and LIST
        std::uint64_t end() const { return dataPos + size + (size & 1); }
    };
    bool readChunk(std::uint64_t pos, std::uint64_t limit, Chunk& c);
    HRESULT parseHeaderList(const Chunk& hdrl);
    HRESULT parseStreamList(const Chunk& strl);
    HRESULT readSuperIndex(const Chunk& indx);
    HRESULT readStandardIndex(std::uint64_t pos, std::size_t stream, std::uint64_t limit);
    HRESULT readIdx1(const Chunk& idx1, std::uint64_t moviPos);
    HRESULT scanMovi(std::uint64_t moviPos, std::uint64_t moviEnd);
    bool checkEntry(const TAviIndexEntry& e) const;

    TRiffFile m_file;
    std::vector<TAviStreamData> m_streams;
    std::vector<std::vector<std::uint64_t>> m_superIndex; // ix## positions per stream
    std::uint32_t m_totalFrames = 0;
    std::uint32_t m_avihWidth = 0, m_avihHeight = 0;
    AVIFILEINFO m_info;
    std::vector<std::uint8_t> m_scratch;
};

class TRiffAviWriter {
public:
    explicit TRiffAviWriter(std::uint64_t riffLimit) : m_riffLimit(riffLimit) {}
    // The data goes to "<path>.part" beside path, which takes the name only when the file is
    // finished: an earlier file of that name survives a failed or killed run.
    HRESULT create(const std::string& path);
    HRESULT setRiffLimit(std::uint64_t bytes);
    HRESULT createStream(const AVISTREAMINFO& info, std::size_t& stream);
    HRESULT setFormat(std::size_t stream, const void* format, std::int32_t size);
    HRESULT write(std::size_t stream, std::int32_t start, std::int32_t samples, const void* data,
                  std::int32_t size, std::uint32_t flags, std::int32_t* samplesWritten,
                  std::int32_t* bytesWritten);
    // Writes the indexes and the headers, closes the file and gives it its name; once. A
    // file that failed is removed; one that could not be renamed stays as "<path>.part".
    HRESULT finish();
    // finish() then removes the file instead.
    void abandon() { m_abandoned = true; }
    // finish() then gives the file its name only when no file has it; otherwise the name of
    // PartialFileName. For a run that was stopped: it never replaces an earlier video.
    void keepEarlier() { m_keepEarlier = true; }
    // The name the finished file took; empty before, or when it was removed.
    const std::string& finalPath() const { return m_finalPath; }
    const std::vector<TAviStreamData>& streams() const { return m_streams; }
    AVIFILEINFO fileInfo() const;

private:
    HRESULT settle(HRESULT hr);

    struct Riff {
        std::uint64_t pos = 0;               // of the "RIFF" id
        std::uint64_t moviPos = 0;           // of the "movi" list type
        std::vector<std::size_t> firstEntry; // per stream: first index entry in this RIFF
    };
    std::size_t headerSize(bool openDml) const;
    std::uint64_t riffIndexBytes() const;
    HRESULT beginData();
    HRESULT writeChunk(std::size_t stream, const void* data, std::uint32_t size,
                       std::uint32_t flags);
    HRESULT closeRiff();
    HRESULT openRiff();
    HRESULT writeHeaders();
    HRESULT fail(HRESULT hr);

    TRiffFile m_file;
    std::uint64_t m_riffLimit;
    std::vector<TAviStreamData> m_streams;
    std::vector<std::vector<std::uint64_t>> m_ixPos;  // per stream: ix## chunk positions
    std::vector<std::vector<std::uint32_t>> m_ixSize; // their sizes with header
    std::vector<std::vector<std::uint32_t>> m_ixDur;  // their samples
    std::vector<Riff> m_riffs;
    std::uint64_t m_headerRoom = 0;
    std::string m_target;            // the name the file takes when finished
    std::string m_partPath;          // where it is written until then
    std::uint32_t m_idx1Entries = 0; // chunks of the first RIFF
    bool m_dataStarted = false;
    bool m_finished = false;
    bool m_abandoned = false;
    bool m_keepEarlier = false;
    std::string m_finalPath;
    HRESULT m_error = AVIERR_OK;
};

} // namespace lv
