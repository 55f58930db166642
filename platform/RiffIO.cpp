#include "platform/RiffIO.h"

#include "platform/RegularFile.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace lv {

namespace {
constexpr std::size_t kBufferSize = 1 << 20;
}

TRiffFile::~TRiffFile() {
    close();
}

bool TRiffFile::failWith(int error) {
    m_failed = true;
    SetLastSystemError(m_path, error);
    return false;
}

bool TRiffFile::openRead(const std::string& path) {
    close();
    m_path = path;
    std::string why;
    m_file = OpenRegularFileStream(path, why);
    if (!m_file) {
        SetLastSystemError(why + ": \"" + path + "\"");
        return false;
    }
    if (fseeko(m_file, 0, SEEK_END) != 0) {
        close();
        return false;
    }
    const off_t end = ftello(m_file);
    if (end < 0) {
        close();
        return false;
    }
    m_size = std::uint64_t(end);
    m_pos = m_size;
    m_failed = false;
    return true;
}

bool TRiffFile::create(const std::string& path, bool exclusive, const std::string& shownAs) {
    close();
    m_path = shownAs.empty() ? path : shownAs;
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC), 0666);
    if (fd < 0) {
        SetLastSystemError(m_path, errno);
        return false;
    }
    m_file = ::fdopen(fd, "w+b");
    if (!m_file) {
        SetLastSystemError(m_path, errno);
        ::close(fd);
        return false;
    }
    // Samples arrive one at a time; a large buffer keeps the number of system calls low.
    // (Without a buffer of our own, the C library keeps its default size.)
    if (!m_buffer)
        m_buffer = std::make_unique<char[]>(kBufferSize);
    std::setvbuf(m_file, m_buffer.get(), _IOFBF, kBufferSize);
    m_size = 0;
    m_pos = 0;
    m_failed = false;
    return true;
}

bool TRiffFile::close() {
    if (!m_file)
        return !m_failed;
    const bool closed = std::fclose(m_file) == 0;
    const int error = errno;
    m_file = nullptr;
    if (!closed && !m_failed)
        failWith(error);
    return closed && !m_failed;
}

bool TRiffFile::seek(std::uint64_t pos) {
    if (!m_file || m_failed)
        return false;
    if (pos == m_pos)
        return true;
    if (fseeko(m_file, off_t(pos), SEEK_SET) != 0)
        return failWith(errno);
    m_pos = pos;
    return true;
}

bool TRiffFile::write(const void* data, std::size_t size) {
    if (!m_file || m_failed)
        return false;
    if (size && std::fwrite(data, 1, size, m_file) != size)
        return failWith(errno);
    m_pos += size;
    m_size = std::max(m_size, m_pos);
    return true;
}

bool TRiffFile::writeZeros(std::uint64_t count) {
    static const std::array<std::uint8_t, 4096> zeros{};
    while (count) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(count, zeros.size()));
        if (!write(zeros.data(), n))
            return false;
        count -= n;
    }
    return true;
}

bool TRiffFile::flush() {
    if (!m_file || m_failed)
        return false;
    if (std::fflush(m_file) != 0)
        return failWith(errno);
    return true;
}

bool TRiffFile::readAt(std::uint64_t pos, void* data, std::size_t size) {
    if (!m_file || pos > m_size || size > m_size - pos)
        return false;
    if (pos != m_pos && fseeko(m_file, off_t(pos), SEEK_SET) != 0)
        return false;
    const std::size_t got = size ? std::fread(data, 1, size, m_file) : 0;
    m_pos = pos + got;
    if (got != size) {
        std::clearerr(m_file);
        return false;
    }
    return true;
}

void TLEBuffer::u16(std::uint16_t v) {
    m_data.push_back(std::uint8_t(v));
    m_data.push_back(std::uint8_t(v >> 8));
}

void TLEBuffer::u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        m_data.push_back(std::uint8_t(v >> (8 * i)));
}

void TLEBuffer::u64(std::uint64_t v) {
    u32(std::uint32_t(v));
    u32(std::uint32_t(v >> 32));
}

void TLEBuffer::bytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    m_data.insert(m_data.end(), p, p + size);
}

void TLEBuffer::patch32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        m_data.at(at + i) = std::uint8_t(v >> (8 * i));
}

} // namespace lv
