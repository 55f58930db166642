#include "MultiPlex/MP3FrameExtract.h"

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

std::vector<std::uint8_t> LoadFile(const std::string& fileName) {
    auto fail = [&](const char* what) {
        throw Error(std::string(what) + " \"" + fileName + "\". " + std::strerror(errno));
    };
    std::string why;
    int fd = OpenRegularFile(fileName, why);
    if (fd < 0)
        throw Error("Cannot open file \"" + fileName + "\". " + why);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        fail("Cannot read file");
    if (!S_ISREG(st.st_mode)) {
        errno = EISDIR;
        fail("Cannot open file");
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail("Cannot read file");
        if (n == 0)
            break; // shrank while reading: keep what is there
        done += static_cast<std::size_t>(n);
    }
    data.resize(done);
    return data;
}

// A sync found by searching is a frame only when the frames it announces follow it back to
// back: three in a row with its version, layer and rate, or fewer that run to the end of the
// file or to a "TAG" block. Noise and other formats give lone valid-looking headers, never
// such chains, so they are not copied into the video as audio.
bool ConfirmedByChain(const std::vector<std::uint8_t>& data, std::int64_t start,
                      const TMP3Header& first) {
    constexpr int kChain = 3;
    constexpr std::uint32_t kStreamBits = 0xFFFE0C00u;
    const std::int64_t size = static_cast<std::int64_t>(data.size());
    std::int64_t next = start + first.FrameLength();
    for (int count = 1; count < kChain; ++count) {
        if (next == size)
            return true;
        if (next + 4 > size)
            return count >= 2;
        const std::uint8_t* p = data.data() + next;
        if (p[0] == 'T' && p[1] == 'A' && p[2] == 'G')
            return true;
        TMP3Header h = TMP3Header::FromBytes(p);
        if (!h.IsValid() || (h.Header() & kStreamBits) != (first.Header() & kStreamBits))
            return false;
        next += h.FrameLength();
    }
    return true;
}

} // namespace

TMP3FrameExtract::TMP3FrameExtract(std::string fileName) : m_fileName(std::move(fileName)) {}

std::int64_t TMP3FrameExtract::FrameOffset(int i) const {
    return i >= 0 && i < FrameCount() ? m_ends[i] : -1;
}

std::int64_t TMP3FrameExtract::FrameSize(int i) const {
    return i >= 0 && i < FrameCount() - 1 ? m_ends[i + 1] - m_ends[i] : -1;
}

int TMP3FrameExtract::CompleteFrames() const {
    int n = static_cast<int>(m_ends.size());
    while (n > 0 && m_ends[n - 1] > m_fileSize)
        --n;
    return n;
}

bool TMP3FrameExtract::FindNextFrame(const std::vector<std::uint8_t>& data,
                                     std::int64_t& position) {
    const std::int64_t size = static_cast<std::int64_t>(data.size());
    // Only a frame right where the previous one ends is taken without its chain.
    const std::int64_t expected = m_ends.empty() ? -1 : position;
    while (position < size - 4) {
        const std::uint8_t* p = data.data() + position;
        position += 4;
        if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) {
            position -= 3;
            continue;
        }
        TMP3Header header = TMP3Header::FromBytes(p);
        if (!header.IsValid()) {
            position += header.FrameLength();
            continue;
        }
        const std::int64_t start = position - 4;
        if (start != expected && !ConfirmedByChain(data, start, header)) {
            position = start + 1;
            continue;
        }
        position = start + header.FrameLength();
        if (!m_reference)
            m_reference = header;
        m_starts.push_back(start);
        m_ends.push_back(position);
        return true;
    }
    return false;
}

void TMP3FrameExtract::Scan() {
    m_starts.clear();
    m_ends.clear();
    m_reference.reset();
    std::vector<std::uint8_t> data = LoadFile(m_fileName);
    m_fileSize = static_cast<std::int64_t>(data.size());
    if (data.empty())
        return;
    std::int64_t position = 0;
    for (int calls = 1;; ++calls) {
        const bool found = FindNextFrame(data, position);
        if (calls % 10 == 0 && OnScanProgress) {
            // The last frame may end past the file; the bar stops at 100.
            std::int64_t percent = std::min<std::int64_t>(100, 100 * position / m_fileSize);
            OnScanProgress(static_cast<std::uint8_t>(percent));
        }
        if (!found)
            break;
        if (OnCheckCancel && OnCheckCancel())
            break;
    }
}

} // namespace lv
