#include "platform/RiffAvi.h"

#include "platform/Files.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace lv {

namespace {

constexpr std::uint32_t fccRIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr std::uint32_t fccLIST = mmioFOURCC('L', 'I', 'S', 'T');

// Super index entries reserved in every strl: one per RIFF, 256 RIFFs of 1 GiB by default.
constexpr std::size_t kSuperEntries = 256;
constexpr std::size_t kIndxBytes = 8 + 24 + 16 * kSuperEntries;
constexpr std::size_t kDmlhBytes = 248;
// Room left after the headers so that a stream or two (or a format) added late still fit.
constexpr std::size_t kHeaderSlack = 2 * kIndxBytes + 1024;
constexpr std::uint64_t kMinRiffLimit = 4096;
// RIFF sizes are 32-bit; keep room for the one chunk that may overshoot the limit.
constexpr std::uint64_t kMaxRiffLimit = 0xF0000000u;

std::size_t padded(std::size_t n) {
    return n + (n & 1);
}

bool isVideo(const TAviStreamData& s) {
    return s.info.fccType == streamtypeVIDEO;
}

} // namespace

HRESULT TRiffAviWriter::fail(HRESULT hr) {
    if (m_error == AVIERR_OK)
        m_error = hr;
    return hr;
}

HRESULT TRiffAviWriter::create(const std::string& path) {
    m_target = path;
    std::error_code ec;
    // Through a link, the file it points to is replaced, not the link.
    if (std::filesystem::is_symlink(std::filesystem::u8path(path), ec)) {
        auto real = std::filesystem::canonical(std::filesystem::u8path(path), ec);
        if (!ec)
            m_target = real.string();
    }
    struct stat st {};
    if (::stat(m_target.c_str(), &st) == 0) {
        // What could not be overwritten in place is not replaced either.
        const int refusal = S_ISDIR(st.st_mode)                     ? EISDIR
                            : ::access(m_target.c_str(), W_OK) != 0 ? EACCES
                                                                    : 0;
        if (refusal) {
            SetLastSystemError(m_target, refusal);
            return AVIERR_FILEOPEN;
        }
        // A device or a pipe is written as it is.
        if (!S_ISREG(st.st_mode)) {
            m_partPath.clear();
            return m_file.create(m_target) ? AVIERR_OK : AVIERR_FILEOPEN;
        }
    }
    // A ".part" left by a killed run may be all that is left of it: never taken over.
    for (int n = 0; n < 100; ++n) {
        m_partPath = m_target + (n ? "." + std::to_string(n) : "") + ".part";
        if (m_file.create(m_partPath, true, m_target))
            return AVIERR_OK;
        if (errno != EEXIST)
            break;
    }
    m_partPath.clear();
    return AVIERR_FILEOPEN;
}

HRESULT TRiffAviWriter::settle(HRESULT hr) {
    if (m_partPath.empty()) {
        m_finalPath = m_target;
        return hr;
    }
    if (hr != AVIERR_OK) {
        ::unlink(m_partPath.c_str());
        return hr;
    }
    if (m_keepEarlier) {
        int error = 0;
        m_finalPath = RenameKeepingEarlier(m_partPath, m_target, error);
        if (!m_finalPath.empty())
            return AVIERR_OK;
        errno = error;
    } else if (std::rename(m_partPath.c_str(), m_target.c_str()) == 0) {
        m_finalPath = m_target;
        return AVIERR_OK;
    }
    SetLastSystemError(m_target, errno);
    if (::access(m_partPath.c_str(), F_OK) == 0)
        SetLastSystemError(LastSystemError() + "; the video is kept in \"" + m_partPath + "\"");
    return fail(AVIERR_FILEWRITE);
}

HRESULT TRiffAviWriter::setRiffLimit(std::uint64_t bytes) {
    if (m_dataStarted)
        return AVIERR_UNSUPPORTED;
    m_riffLimit = std::clamp(bytes, kMinRiffLimit, kMaxRiffLimit);
    return AVIERR_OK;
}

std::size_t TRiffAviWriter::headerSize(bool openDml) const {
    std::size_t n = 12 + 12 + 8 + 56;
    for (const auto& s : m_streams) {
        n += 12 + 8 + 56 + 8 + padded(s.format.size());
        if (openDml)
            n += kIndxBytes;
        if (!s.info.szName.empty())
            n += 8 + padded(s.info.szName.size() + 1);
    }
    if (openDml)
        n += 12 + 8 + kDmlhBytes;
    return n;
}

static bool fitsRoom(std::size_t header, std::uint64_t room) {
    // The gap before movi is either nothing or a JUNK chunk (8 bytes at least).
    return header == room || header + 8 <= room;
}

HRESULT TRiffAviWriter::createStream(const AVISTREAMINFO& info, std::size_t& stream) {
    if (m_error != AVIERR_OK)
        return m_error;
    if (m_finished)
        return AVIERR_READONLY;
    // Chunk ids carry the stream number in two digits.
    if (m_streams.size() >= 100)
        return AVIERR_UNSUPPORTED;
    if (info.fccType == 0)
        return AVIERR_BADPARAM;
    if (info.dwSampleSize > 0x7FFFFFFF || info.szName.size() > 4096)
        return AVIERR_BADPARAM;
    TAviStreamData s;
    s.info = info;
    s.info.dwLength = 0;
    m_streams.push_back(std::move(s));
    if (m_dataStarted && !fitsRoom(headerSize(true), m_headerRoom)) {
        m_streams.pop_back();
        return AVIERR_UNSUPPORTED;
    }
    m_ixPos.emplace_back();
    m_ixSize.emplace_back();
    m_ixDur.emplace_back();
    for (auto& r : m_riffs)
        r.firstEntry.push_back(0);
    stream = m_streams.size() - 1;
    return AVIERR_OK;
}

HRESULT TRiffAviWriter::setFormat(std::size_t stream, const void* format, std::int32_t size) {
    if (m_error != AVIERR_OK)
        return m_error;
    if (m_finished)
        return AVIERR_READONLY;
    if (stream >= m_streams.size() || size < 0 || (size > 0 && !format) || size > (1 << 20))
        return AVIERR_BADPARAM;
    auto& s = m_streams[stream];
    // A format change in mid-stream would need a palette-change chunk; not supported.
    if (!s.index.empty())
        return AVIERR_UNSUPPORTED;
    auto old = std::move(s.format);
    const auto* p = static_cast<const std::uint8_t*>(format);
    s.format.assign(p, p + size);
    if (m_dataStarted && !fitsRoom(headerSize(true), m_headerRoom)) {
        s.format = std::move(old);
        return AVIERR_UNSUPPORTED;
    }
    s.formatSet = true;
    return AVIERR_OK;
}

HRESULT TRiffAviWriter::beginData() {
    const std::uint64_t needed = headerSize(true) + 8 + kHeaderSlack;
    m_headerRoom = (needed + 511) / 512 * 512;
    // Real headers with nothing counted yet go in before the first chunk, so a file cut off
    // by a crash or a full disk is still read up to its last whole chunk; the counts, sizes
    // and indexes are fixed at the end. Flushing them at once makes a full or unwritable
    // disk fail the first sample, not the end of a run.
    if (HRESULT hr = writeHeaders(); hr != AVIERR_OK)
        return hr;
    if (!m_file.flush())
        return fail(AVIERR_FILEWRITE);
    m_dataStarted = true;
    return openRiff();
}

HRESULT TRiffAviWriter::openRiff() {
    if (m_riffs.size() >= kSuperEntries)
        return fail(AVIERR_FILEWRITE);
    Riff r;
    r.pos = m_file.tell();
    TLEBuffer b;
    if (!m_riffs.empty()) {
        b.u32(fccRIFF);
        b.u32(0);
        b.u32(mmioFOURCC('A', 'V', 'I', 'X'));
    } else {
        r.pos = 0;
    }
    b.u32(fccLIST);
    b.u32(0);
    b.u32(mmioFOURCC('m', 'o', 'v', 'i'));
    r.moviPos = m_file.tell() + b.size() - 4;
    for (const auto& s : m_streams)
        r.firstEntry.push_back(s.index.size());
    if (!m_file.write(b.data().data(), b.size()))
        return fail(AVIERR_FILEWRITE);
    m_riffs.push_back(std::move(r));
    return AVIERR_OK;
}

std::uint64_t TRiffAviWriter::riffIndexBytes() const {
    const Riff& r = m_riffs.back();
    std::uint64_t n = 0;
    if (m_riffs.size() == 1)
        n += 8 + 16 * std::uint64_t(m_idx1Entries);
    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        const std::uint64_t entries = m_streams[i].index.size() - r.firstEntry[i];
        if (entries)
            n += 8 + 24 + 8 * entries;
    }
    return n;
}

HRESULT TRiffAviWriter::writeChunk(std::size_t stream, const void* data, std::uint32_t size,
                                   std::uint32_t flags) {
    if (!m_dataStarted) {
        if (HRESULT hr = beginData(); hr != AVIERR_OK)
            return hr;
    }
    const std::uint64_t chunkBytes = 8 + padded(size);
    const auto riffHasData = [&] {
        const Riff& r = m_riffs.back();
        for (std::size_t i = 0; i < m_streams.size(); ++i)
            if (m_streams[i].index.size() > r.firstEntry[i])
                return true;
        return false;
    };
    // The next entry's room in idx1 and in the stream's ix## counts as well.
    const std::uint64_t projected =
        m_file.tell() - m_riffs.back().pos + chunkBytes + riffIndexBytes() + 16 + 8 + 32;
    if (projected > m_riffLimit && riffHasData()) {
        if (HRESULT hr = closeRiff(); hr != AVIERR_OK)
            return hr;
        if (HRESULT hr = openRiff(); hr != AVIERR_OK)
            return hr;
    }
    TAviStreamData& s = m_streams[stream];
    TLEBuffer h;
    h.u32(AviChunkId(std::uint32_t(stream), s.info.fccType));
    h.u32(size);
    TAviIndexEntry e;
    e.offset = m_file.tell() + 8;
    e.size = size;
    e.flags = flags;
    static const std::uint8_t pad = 0;
    if (!m_file.write(h.data().data(), h.size()) || !m_file.write(data, size) ||
        ((size & 1) && !m_file.write(&pad, 1)))
        return fail(AVIERR_FILEWRITE);
    if (s.info.dwSampleSize) {
        s.firstSample.push_back(s.totalSamples);
        s.totalSamples += size / s.info.dwSampleSize;
    }
    s.index.push_back(e);
    if (m_riffs.size() == 1)
        ++m_idx1Entries;
    return AVIERR_OK;
}

HRESULT TRiffAviWriter::write(std::size_t stream, std::int32_t start, std::int32_t samples,
                              const void* data, std::int32_t size, std::uint32_t flags,
                              std::int32_t* samplesWritten, std::int32_t* bytesWritten) {
    if (samplesWritten)
        *samplesWritten = 0;
    if (bytesWritten)
        *bytesWritten = 0;
    if (m_error != AVIERR_OK)
        return m_error;
    if (m_finished)
        return AVIERR_READONLY;
    if (stream >= m_streams.size() || size < 0 || (size > 0 && !data) || samples < 1)
        return AVIERR_BADPARAM;
    TAviStreamData& s = m_streams[stream];
    if (!s.formatSet)
        return AVIERR_BADFORMAT;
    const std::int64_t pos = std::int64_t(start) - std::int64_t(s.info.dwStart);
    if (pos < 0)
        return AVIERR_BADPARAM;
    // Audio and text have no delta samples; players expect every chunk flagged as a key.
    const std::uint32_t keep =
        isVideo(s) ? flags & (AVIIF_KEYFRAME | AVIIF_NO_TIME) : AVIIF_KEYFRAME;
    if (s.info.dwSampleSize) {
        if (std::uint64_t(size) != std::uint64_t(samples) * s.info.dwSampleSize)
            return AVIERR_BADSIZE;
        if (std::uint64_t(pos) != s.totalSamples)
            return pos < std::int64_t(s.totalSamples) ? AVIERR_UNSUPPORTED : AVIERR_BADPARAM;
    } else {
        if (samples != 1)
            return AVIERR_BADPARAM;
        if (pos < std::int64_t(s.index.size()))
            return AVIERR_UNSUPPORTED;
        if (pos >= std::numeric_limits<std::int32_t>::max())
            return AVIERR_BADPARAM;
        // Positions skipped by the caller become empty samples, so every later sample keeps
        // its number.
        const std::uint32_t fillFlags = isVideo(s) ? 0 : AVIIF_KEYFRAME;
        while (std::int64_t(s.index.size()) < pos)
            if (HRESULT hr = writeChunk(stream, nullptr, 0, fillFlags); hr != AVIERR_OK)
                return hr;
    }
    if (HRESULT hr = writeChunk(stream, data, std::uint32_t(size), keep); hr != AVIERR_OK)
        return hr;
    // Each frame reaches the system at once: a killed run keeps every frame it made.
    if (isVideo(s) && !m_file.flush())
        return fail(AVIERR_FILEWRITE);
    if (samplesWritten)
        *samplesWritten = samples;
    if (bytesWritten)
        *bytesWritten = size;
    return AVIERR_OK;
}

HRESULT TRiffAviWriter::closeRiff() {
    const Riff& r = m_riffs.back();
    const bool openDml = m_riffs.size() > 1 || !m_finished;
    // closeRiff runs for a crossing (more RIFFs follow) or at the end; the first RIFF of a
    // file that never crossed needs no OpenDML index.
    if (openDml) {
        for (std::size_t i = 0; i < m_streams.size(); ++i) {
            const TAviStreamData& s = m_streams[i];
            const std::size_t first = r.firstEntry[i];
            const std::size_t n = s.index.size() - first;
            if (!n)
                continue;
            TLEBuffer b;
            const std::uint32_t ckid = AviChunkId(std::uint32_t(i), s.info.fccType);
            b.u32(mmioFOURCC('i', 'x', char('0' + i / 10), char('0' + i % 10)));
            b.u32(std::uint32_t(24 + 8 * n));
            b.u16(2);
            b.u8(0);
            b.u8(1); // index of chunks
            b.u32(std::uint32_t(n));
            b.u32(ckid);
            b.u64(r.pos);
            b.u32(0);
            std::uint64_t duration = 0;
            for (std::size_t k = first; k < s.index.size(); ++k) {
                const TAviIndexEntry& e = s.index[k];
                b.u32(std::uint32_t(e.offset - r.pos));
                b.u32(e.size | ((e.flags & AVIIF_KEYFRAME) ? 0 : 0x80000000u));
                duration += s.info.dwSampleSize ? e.size / s.info.dwSampleSize : 1;
            }
            m_ixPos[i].push_back(m_file.tell());
            m_ixSize[i].push_back(std::uint32_t(b.size()));
            m_ixDur[i].push_back(std::uint32_t(duration));
            if (!m_file.write(b.data().data(), b.size()))
                return fail(AVIERR_FILEWRITE);
        }
    }
    const std::uint64_t moviEnd = m_file.tell();
    const std::uint64_t moviListPos = r.moviPos - 8;
    if (m_riffs.size() == 1) {
        // idx1 lists the first RIFF's chunks in file order, offsets from the "movi" id.
        std::vector<std::pair<const TAviIndexEntry*, std::uint32_t>> all;
        all.reserve(m_idx1Entries);
        for (std::size_t i = 0; i < m_streams.size(); ++i) {
            const TAviStreamData& s = m_streams[i];
            const std::uint32_t ckid = AviChunkId(std::uint32_t(i), s.info.fccType);
            // Crossings happen before a chunk is written: every entry so far is in this RIFF.
            for (const auto& e : s.index)
                all.emplace_back(&e, ckid);
        }
        std::sort(all.begin(), all.end(),
                  [](const auto& a, const auto& b) { return a.first->offset < b.first->offset; });
        TLEBuffer b;
        b.u32(mmioFOURCC('i', 'd', 'x', '1'));
        b.u32(std::uint32_t(16 * all.size()));
        for (const auto& [e, ckid] : all) {
            b.u32(ckid);
            b.u32(e->flags);
            b.u32(std::uint32_t(e->offset - 8 - r.moviPos));
            b.u32(e->size);
        }
        if (!m_file.write(b.data().data(), b.size()))
            return fail(AVIERR_FILEWRITE);
    }
    const std::uint64_t riffEnd = m_file.tell();
    TLEBuffer size;
    size.u32(std::uint32_t(moviEnd - moviListPos - 8));
    if (!m_file.seek(moviListPos + 4) || !m_file.write(size.data().data(), 4))
        return fail(AVIERR_FILEWRITE);
    TLEBuffer riffSize;
    riffSize.u32(std::uint32_t(riffEnd - r.pos - 8));
    if (!m_file.seek(r.pos + 4) || !m_file.write(riffSize.data().data(), 4) ||
        !m_file.seek(riffEnd))
        return fail(AVIERR_FILEWRITE);
    return AVIERR_OK;
}

HRESULT TRiffAviWriter::writeHeaders() {
    const bool openDml = m_riffs.size() > 1;
    const TAviStreamData* video = nullptr;
    for (const auto& s : m_streams)
        if (isVideo(s)) {
            video = &s;
            break;
        }
    std::uint32_t maxChunk = 0;
    std::uint64_t totalBytes = 0;
    for (const auto& s : m_streams)
        for (const auto& e : s.index) {
            maxChunk = std::max(maxChunk, e.size);
            totalBytes += e.size;
        }

    TLEBuffer b;
    b.u32(fccRIFF);
    b.u32(0); // RIFF size, set below
    b.u32(mmioFOURCC('A', 'V', 'I', ' '));
    b.u32(fccLIST);
    const std::size_t hdrlSizeAt = b.size();
    b.u32(0);
    b.u32(mmioFOURCC('h', 'd', 'r', 'l'));

    std::uint32_t width = 0, height = 0, usPerFrame = 0, framesInFirst = 0;
    double seconds = 0;
    if (video) {
        width = std::uint32_t(std::max(0, video->info.rcFrame.right - video->info.rcFrame.left));
        height = std::uint32_t(std::max(0, video->info.rcFrame.bottom - video->info.rcFrame.top));
        if ((!width || !height) && video->format.size() >= 12) {
            width = getLE32(video->format.data() + 4);
            const auto h = std::int32_t(getLE32(video->format.data() + 8));
            height = std::uint32_t(h < 0 ? -std::int64_t(h) : h);
        }
        if (video->info.dwRate)
            usPerFrame =
                std::uint32_t(std::uint64_t(video->info.dwScale) * 1000000u / video->info.dwRate);
        // AVI 1.0 readers see only the first RIFF; dmlh holds the whole length.
        framesInFirst = std::uint32_t(
            m_riffs.size() > 1 ? m_riffs[1].firstEntry[std::size_t(video - m_streams.data())]
                               : video->index.size());
        if (video->info.dwRate)
            seconds = double(video->length()) * video->info.dwScale / video->info.dwRate;
    }
    b.u32(mmioFOURCC('a', 'v', 'i', 'h'));
    b.u32(56);
    b.u32(usPerFrame);
    b.u32(seconds > 0 ? std::uint32_t(std::min(4e9, totalBytes / seconds)) : 0);
    b.u32(0);
    b.u32(AVIF_HASINDEX);
    b.u32(framesInFirst);
    b.u32(video ? video->info.dwInitialFrames : 0);
    b.u32(std::uint32_t(m_streams.size()));
    b.u32(maxChunk + 8);
    b.u32(width);
    b.u32(height);
    b.zeros(16);

    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        const TAviStreamData& s = m_streams[i];
        b.u32(fccLIST);
        const std::size_t strlSizeAt = b.size();
        b.u32(0);
        b.u32(mmioFOURCC('s', 't', 'r', 'l'));
        std::uint32_t streamMax = 0;
        for (const auto& e : s.index)
            streamMax = std::max(streamMax, e.size);
        b.u32(mmioFOURCC('s', 't', 'r', 'h'));
        b.u32(56);
        b.u32(s.info.fccType);
        b.u32(s.info.fccHandler);
        b.u32(s.info.dwFlags);
        b.u16(s.info.wPriority);
        b.u16(s.info.wLanguage);
        b.u32(s.info.dwInitialFrames);
        b.u32(s.info.dwScale);
        b.u32(s.info.dwRate);
        b.u32(s.info.dwStart);
        b.u32(std::uint32_t(s.length()));
        b.u32(std::max(s.info.dwSuggestedBufferSize, streamMax));
        b.u32(s.info.dwQuality);
        b.u32(s.info.dwSampleSize);
        b.u16(std::uint16_t(s.info.rcFrame.left));
        b.u16(std::uint16_t(s.info.rcFrame.top));
        b.u16(std::uint16_t(s.info.rcFrame.right));
        b.u16(std::uint16_t(s.info.rcFrame.bottom));
        b.u32(mmioFOURCC('s', 't', 'r', 'f'));
        b.u32(std::uint32_t(s.format.size()));
        b.bytes(s.format.data(), s.format.size());
        b.zeros(s.format.size() & 1);
        if (openDml) {
            b.u32(mmioFOURCC('i', 'n', 'd', 'x'));
            b.u32(std::uint32_t(kIndxBytes - 8));
            b.u16(4);
            b.u8(0);
            b.u8(0); // index of indexes
            b.u32(std::uint32_t(m_ixPos[i].size()));
            b.u32(AviChunkId(std::uint32_t(i), s.info.fccType));
            b.zeros(12);
            for (std::size_t k = 0; k < kSuperEntries; ++k) {
                if (k < m_ixPos[i].size()) {
                    b.u64(m_ixPos[i][k]);
                    b.u32(m_ixSize[i][k]);
                    b.u32(m_ixDur[i][k]);
                } else {
                    b.zeros(16);
                }
            }
        }
        if (!s.info.szName.empty()) {
            b.u32(mmioFOURCC('s', 't', 'r', 'n'));
            b.u32(std::uint32_t(s.info.szName.size() + 1));
            b.bytes(s.info.szName.c_str(), s.info.szName.size() + 1);
            b.zeros((s.info.szName.size() + 1) & 1);
        }
        b.patch32(strlSizeAt, std::uint32_t(b.size() - strlSizeAt - 4));
    }
    if (openDml) {
        b.u32(fccLIST);
        b.u32(4 + 8 + kDmlhBytes);
        b.u32(mmioFOURCC('o', 'd', 'm', 'l'));
        b.u32(mmioFOURCC('d', 'm', 'l', 'h'));
        b.u32(kDmlhBytes);
        b.u32(video ? std::uint32_t(video->length()) : 0);
        b.zeros(kDmlhBytes - 4);
    }
    b.patch32(hdrlSizeAt, std::uint32_t(b.size() - hdrlSizeAt - 4));
    if (!fitsRoom(b.size(), m_headerRoom))
        return fail(AVIERR_INTERNAL);
    if (b.size() < m_headerRoom) {
        b.u32(mmioFOURCC('J', 'U', 'N', 'K'));
        b.u32(std::uint32_t(m_headerRoom - b.size() - 4));
        b.zeros(m_headerRoom - b.size());
    }
    // The first RIFF's size was set when it was closed; before its first chunk it is left
    // at 0, which readers take as "up to the end of the file".
    if (!m_riffs.empty()) {
        const std::uint64_t firstRiffEnd = m_riffs.size() > 1 ? m_riffs[1].pos : m_file.size();
        b.patch32(4, std::uint32_t(firstRiffEnd - 8));
    }
    if (!m_file.seek(0) || !m_file.write(b.data().data(), b.size()))
        return fail(AVIERR_FILEWRITE);
    return AVIERR_OK;
}

HRESULT TRiffAviWriter::finish() {
    if (m_finished)
        return m_error;
    if (m_error != AVIERR_OK || m_abandoned) {
        m_finished = true;
        m_file.close();
        // Removed, and an earlier file of its name kept.
        if (!m_partPath.empty())
            ::unlink(m_partPath.c_str());
        return m_abandoned ? AVIERR_OK : m_error;
    }
    HRESULT hr = AVIERR_OK;
    if (!m_dataStarted)
        hr = beginData();
    m_finished = true;
    if (hr == AVIERR_OK)
        hr = closeRiff();
    if (hr == AVIERR_OK)
        hr = writeHeaders();
    if (!m_file.close() && hr == AVIERR_OK)
        hr = fail(AVIERR_FILEWRITE);
    return settle(hr);
}

AVIFILEINFO TRiffAviWriter::fileInfo() const {
    AVIFILEINFO fi;
    fi.dwStreams = std::uint32_t(m_streams.size());
    fi.dwCaps = 2; // can write
    fi.szFileType = "AVI";
    const TAviStreamData* main = nullptr;
    for (const auto& s : m_streams)
        if (isVideo(s)) {
            main = &s;
            break;
        }
    for (const auto& s : m_streams) {
        for (const auto& e : s.index)
            fi.dwSuggestedBufferSize = std::max(fi.dwSuggestedBufferSize, e.size);
        if (!main || (!isVideo(*main) && s.length() > main->length()))
            main = &s;
    }
    if (main) {
        fi.dwScale = main->info.dwScale;
        fi.dwRate = main->info.dwRate;
        fi.dwLength = std::uint32_t(main->length());
        if (isVideo(*main)) {
            fi.dwWidth =
                std::uint32_t(std::max(0, main->info.rcFrame.right - main->info.rcFrame.left));
            fi.dwHeight =
                std::uint32_t(std::max(0, main->info.rcFrame.bottom - main->info.rcFrame.top));
        }
    }
    return fi;
}

} // namespace lv
