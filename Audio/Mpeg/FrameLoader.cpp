#include "Audio/Mpeg/FrameLoader.h"

#include "Audio/WFileStream.h"
#include "platform/Errors.h"

#include <algorithm>
#include <cmath>

namespace lv {

namespace {

// The preset capacity follows the first frame's length, which a hostile file chooses: keep
// it to 1 Mi entries (8 MiB, over 7 hours of frames); a longer file grows the index as
// frames are found.
constexpr std::int64_t kMaxPresetFrames = std::int64_t(1) << 20;

} // namespace

TFrameLoader::TFrameLoader(const std::string& fileName) {
    if (!Open(fileName))
        throw Error("Invalid MPEG file " + fileName);
}

TFrameLoader::~TFrameLoader() = default;

void TFrameLoader::resetLocked() {
    m_opened = false;
    m_scanComplete = false;
    m_frameCount = 0;
    m_totalDurationMs = 0;
    m_totalSamples = 0;
    m_stream.reset();
    m_frameOffsets.clear();
    m_frameLengths.clear();
}

void TFrameLoader::Reset() {
    std::lock_guard guard(m_lock);
    resetLocked();
}

bool TFrameLoader::Open(const std::string& fileName) {
    std::lock_guard guard(m_lock);
    resetLocked();
    std::int64_t fileSize = 0;
    try {
        m_stream = std::make_unique<TWFileStream>(fileName, TWFileStream::fmOpenRead |
                                                                TWFileStream::fmShareDenyNone);
        fileSize = m_stream->Size();
        m_fileName = fileName;
        m_firstHeader = TMpegHeader();
        if (!m_firstHeader.FindNext(*m_stream, false)) {
            m_stream.reset();
            return false;
        }
    } catch (const Error&) {
        m_stream.reset();
        return false;
    }
    m_opened = true;
    m_scanComplete = false;
    m_frameOffsets.push_back(std::uint32_t(m_firstHeader.Position()));
    m_frameLengths.push_back(std::uint32_t(m_firstHeader.FrameLength()));
    m_totalDurationMs = m_firstHeader.FrameDurationMs();
    m_frameCount = 1;
    // A constant-bitrate file is indexed without reallocation.
    auto capacity = std::size_t(std::min(fileSize / m_firstHeader.FrameLength(), kMaxPresetFrames));
    m_frameOffsets.reserve(capacity);
    m_frameLengths.reserve(capacity);
    return true;
}

void TFrameLoader::ScanAll() {
    std::lock_guard guard(m_lock);
    if (!m_opened || m_scanComplete)
        return;
    TWFileStream stream(m_fileName, TWFileStream::fmOpenRead | TWFileStream::fmShareDenyWrite);
    TMpegHeader header;
    while (!m_scanComplete) {
        header.SetPosition(std::int32_t(m_frameOffsets.back()));
        header.SetFrameLength(std::int32_t(m_frameLengths.back()));
        if (header.FindNext(stream, true)) {
            m_frameOffsets.push_back(std::uint32_t(header.Position()));
            m_frameLengths.push_back(std::uint32_t(header.FrameLength()));
            m_totalDurationMs += header.FrameDurationMs();
            ++m_frameCount;
        } else {
            int channels = m_firstHeader.Mode() == 3 ? 1 : 2;
            // Ties to even, as the program rounds everywhere.
            m_totalSamples = std::int64_t(
                std::nearbyint(m_totalDurationMs * m_firstHeader.SampleRate() * channels / 1000.0));
            m_scanComplete = true;
        }
    }
}

std::int64_t TFrameLoader::GetTotalSamples() const {
    std::lock_guard guard(m_lock);
    return m_totalSamples;
}

bool TFrameLoader::Opened() const {
    std::lock_guard guard(m_lock);
    return m_opened;
}

bool TFrameLoader::ScanComplete() const {
    std::lock_guard guard(m_lock);
    return m_scanComplete;
}

std::int32_t TFrameLoader::FrameCount() const {
    std::lock_guard guard(m_lock);
    return m_frameCount;
}

double TFrameLoader::TotalDurationMs() const {
    std::lock_guard guard(m_lock);
    return m_totalDurationMs;
}

std::uint32_t TFrameLoader::FrameOffset(std::int32_t i) const {
    std::lock_guard guard(m_lock);
    return m_frameOffsets.at(std::size_t(i));
}

std::uint32_t TFrameLoader::FrameLength(std::int32_t i) const {
    std::lock_guard guard(m_lock);
    return m_frameLengths.at(std::size_t(i));
}

std::size_t TFrameLoader::IndexCapacity() const {
    std::lock_guard guard(m_lock);
    return std::min(m_frameOffsets.capacity(), m_frameLengths.capacity());
}

} // namespace lv
