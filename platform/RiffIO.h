#pragma once

// Buffered binary file access and little-endian packing for the RIFF AVI reader and writer.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace lv {

// A file opened for reading or for writing (created or truncated). Every call reports
// success; after a failed write the file stays failed, and LastSystemError says why.
// Not thread-safe.
class TRiffFile {
public:
    TRiffFile() = default;
    ~TRiffFile();
    TRiffFile(const TRiffFile&) = delete;
    TRiffFile& operator=(const TRiffFile&) = delete;

    bool openRead(const std::string& path);
    // Created or truncated; with exclusive, only a file that does not exist yet. Failures
    // name shownAs when given: the file the user knows.
    bool create(const std::string& path, bool exclusive = false, const std::string& shownAs = {});
    // Flushes and closes; false when the data could not all be written.
    bool close();
    bool isOpen() const { return m_file != nullptr; }

    std::uint64_t size() const { return m_size; }
    std::uint64_t tell() const { return m_pos; }
    bool seek(std::uint64_t pos);
    bool write(const void* data, std::size_t size);
    bool writeZeros(std::uint64_t count);
    // Hands buffered data to the system now.
    bool flush();
    // Reads exactly size bytes at pos.
    bool readAt(std::uint64_t pos, void* data, std::size_t size);
    bool failed() const { return m_failed; }
    const std::string& path() const { return m_path; }

private:
    // Marks the file failed and keeps the system's reason for the thread.
    bool failWith(int error);

    std::string m_path;
    std::FILE* m_file = nullptr;
    std::unique_ptr<char[]> m_buffer; // outlives m_file
    std::uint64_t m_size = 0;
    std::uint64_t m_pos = 0;
    bool m_failed = false;
};

// Little-endian packing into a growing byte vector.
class TLEBuffer {
public:
    void u8(std::uint8_t v) { m_data.push_back(v); }
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void u64(std::uint64_t v);
    void bytes(const void* data, std::size_t size);
    void zeros(std::size_t count) { m_data.insert(m_data.end(), count, 0); }
    // Puts a value into bytes already written.
    void patch32(std::size_t at, std::uint32_t v);
    std::size_t size() const { return m_data.size(); }
    const std::vector<std::uint8_t>& data() const { return m_data; }

private:
    std::vector<std::uint8_t> m_data;
};

inline std::uint16_t getLE16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}
inline std::uint32_t getLE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
inline std::uint64_t getLE64(const std::uint8_t* p) {
    return std::uint64_t(getLE32(p)) | std::uint64_t(getLE32(p + 4)) << 32;
}

} // namespace lv
