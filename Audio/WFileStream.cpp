#include "Audio/WFileStream.h"

#include "platform/Errors.h"
#include "platform/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lv {

namespace {

// Holds over a hundred MPEG frames of 128 kbit/s; small enough to stay in the cache.
constexpr std::size_t kReadAhead = 64 * 1024;

std::int64_t preadAll(int fd, void* buffer, std::int64_t count, std::int64_t offset) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(fd, out + done, static_cast<std::size_t>(count - done), offset + done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw Error("Read error: " + std::string(std::strerror(errno)));
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

} // namespace

TWFileStream::TWFileStream(const std::string& fileName, std::uint16_t mode, std::uint32_t rights)
    : m_fileName(fileName) {
    if (rights != 0)
        throw EAssertionFailed("Wrong rights", "WFileStream");
    if (mode == fmCreate) {
        m_fd = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (m_fd < 0)
            throw Error("Impossible de créer le fichier " + fileName);
        return;
    }
    int access = O_RDONLY;
    if ((mode & 3) == fmOpenWrite)
        access = O_WRONLY;
    else if ((mode & 3) == fmOpenReadWrite)
        access = O_RDWR;
    // Only regular files are streams here: a pipe given as a file name would hang us.
    std::string why;
    m_fd = fileName.empty() ? -1 : OpenRegularFile(fileName, why, access);
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        throw Error("Impossible d'ouvrir le fichier " + fileName);
    m_size = st.st_size;
}

TWFileStream::~TWFileStream() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::int64_t TWFileStream::Read(void* buffer, std::int64_t count) {
    if (count <= 0)
        return 0;
    auto bufferEnd = m_bufferStart + static_cast<std::int64_t>(m_buffer.size());
    if (m_position < m_bufferStart || m_position + count > bufferEnd) {
        if (count >= static_cast<std::int64_t>(kReadAhead)) {
            std::int64_t n = preadAll(m_fd, buffer, count, m_position);
            m_position += n;
            return n;
        }
        m_buffer.resize(kReadAhead);
        m_bufferStart = m_position;
        m_buffer.resize(static_cast<std::size_t>(
            preadAll(m_fd, m_buffer.data(), static_cast<std::int64_t>(kReadAhead), m_position)));
        bufferEnd = m_bufferStart + static_cast<std::int64_t>(m_buffer.size());
    }
    std::int64_t n = std::min(count, bufferEnd - m_position);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, m_buffer.data() + (m_position - m_bufferStart),
                static_cast<std::size_t>(n));
    m_position += n;
    return n;
}

std::int64_t TWFileStream::Write(const void* buffer, std::int64_t count) {
    m_buffer.clear();
    const auto* in = static_cast<const unsigned char*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        ssize_t n =
            ::pwrite(m_fd, in + done, static_cast<std::size_t>(count - done), m_position + done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw Error("Write error: " + std::string(std::strerror(errno)));
        }
        done += n;
    }
    m_position += done;
    m_size = std::max(m_size, m_position);
    return done;
}

std::int64_t TWFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? m_position : m_size;
    std::int64_t target = base + offset;
    if (target < 0)
        throw Error("Seek error: negative position in " + m_fileName);
    m_position = target;
    return m_position;
}

} // namespace lv
