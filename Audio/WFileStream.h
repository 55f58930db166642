#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lv {

// A file stream opened by a UTF-8 path. Reads go through a small read-ahead buffer, so a scan
// that reads a few bytes and seeks over the rest costs one system call per buffer, not per
// read. Not thread-safe: one stream per thread.
class TWFileStream {
public:
    // Open modes. Share modes are accepted for the callers' sake; Linux has none to enforce.
    static constexpr std::uint16_t fmCreate = 0xFFFF;
    static constexpr std::uint16_t fmOpenRead = 0x0000;
    static constexpr std::uint16_t fmOpenWrite = 0x0001;
    static constexpr std::uint16_t fmOpenReadWrite = 0x0002;
    static constexpr std::uint16_t fmShareDenyWrite = 0x0020;
    static constexpr std::uint16_t fmShareDenyNone = 0x0040;

    enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

    // fmCreate creates or truncates the file for reading and writing; any other mode opens
    // an existing regular file. Throws Error "Impossible d'ouvrir le fichier <name>" or
    // "Impossible de créer le fichier <name>"; rights other than 0 fail the check "Wrong
    // rights".
    TWFileStream(const std::string& fileName, std::uint16_t mode, std::uint32_t rights = 0);
    ~TWFileStream();
    TWFileStream(const TWFileStream&) = delete;
    TWFileStream& operator=(const TWFileStream&) = delete;

    // Bytes read, fewer than count at the end of the file (0 past it). Throws on an I/O error.
    std::int64_t Read(void* buffer, std::int64_t count);
    // Bytes written; throws on an I/O error.
    std::int64_t Write(const void* buffer, std::int64_t count);
    // New position. Positions past the end are allowed (reads there return 0 bytes); a
    // negative result is refused with an Error.
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin);
    std::int64_t Position() const { return m_position; }
    void SetPosition(std::int64_t position) { Seek(position, soBeginning); }
    // Size of the file: as found when opened, grown by this stream's writes. A scan asks it
    // for every frame, so it is not a system call; growth by other writers is not seen.
    std::int64_t Size() const { return m_size; }

    const std::string& FileName() const { return m_fileName; }

private:
    std::string m_fileName;
    int m_fd = -1;
    std::int64_t m_position = 0;
    std::int64_t m_size = 0;
    std::vector<unsigned char> m_buffer; // bytes of the file from m_bufferStart
    std::int64_t m_bufferStart = 0;
};

} // namespace lv
