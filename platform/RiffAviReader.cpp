#include "platform/RiffAvi.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace lv {

namespace {

constexpr std::uint32_t fccRIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr std::uint32_t fccLIST = mmioFOURCC('L', 'I', 'S', 'T');
constexpr std::size_t kMaxStreams = 100;
constexpr std::uint32_t kMaxFormat = 1 << 20;

} // namespace

// A chunk header at pos that must end within limit (its parent's end or the file's).
bool TRiffAviReader::readChunk(std::uint64_t pos, std::uint64_t limit, Chunk& c) {
    std::uint8_t h[12];
    if (pos > limit || limit - pos < 8 || !m_file.readAt(pos, h, 8))
        return false;
    c.id = getLE32(h);
    c.size = getLE32(h + 4);
    c.dataPos = pos + 8;
    c.listType = 0;
    if (c.size > limit - c.dataPos)
        return false;
    if (c.id == fccRIFF || c.id == fccLIST) {
        if (c.size < 4 || !m_file.readAt(c.dataPos, h + 8, 4))
            return false;
        c.listType = getLE32(h + 8);
    }
    return true;
}

HRESULT TRiffAviReader::open(const std::string& path) {
    if (!m_file.openRead(path))
        return AVIERR_FILEOPEN;
    const std::uint64_t fileSize = m_file.size();
    Chunk riff;
    if (!readChunk(0, fileSize, riff)) {
        // A RIFF header claiming more than the file holds: truncated or damaged.
        std::uint8_t h[4];
        if (fileSize >= 4 && m_file.readAt(0, h, 4) && getLE32(h) == fccRIFF)
            return AVIERR_FILEREAD;
        return AVIERR_BADFORMAT;
    }
    if (riff.id != fccRIFF || riff.listType != mmioFOURCC('A', 'V', 'I', ' '))
        return AVIERR_BADFORMAT;

    bool haveHdrl = false;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> movis; // list type pos, end
    Chunk idx1;
    bool haveIdx1 = false;
    const std::uint64_t riffEnd = riff.dataPos + riff.size;
    for (std::uint64_t pos = riff.dataPos + 4; pos + 8 <= riffEnd;) {
        Chunk c;
        if (!readChunk(pos, riffEnd, c))
            return AVIERR_FILEREAD;
        if (c.id == fccLIST && c.listType == mmioFOURCC('h', 'd', 'r', 'l') && !haveHdrl) {
            if (HRESULT hr = parseHeaderList(c); hr != AVIERR_OK)
                return hr;
            haveHdrl = true;
        } else if (c.id == fccLIST && c.listType == mmioFOURCC('m', 'o', 'v', 'i') &&
                   movis.empty()) {
            movis.emplace_back(c.dataPos, c.dataPos + c.size);
        } else if (c.id == mmioFOURCC('i', 'd', 'x', '1') && !haveIdx1) {
            idx1 = c;
            haveIdx1 = true;
        }
        pos = c.end();
    }
    if (!haveHdrl || movis.empty() || m_streams.empty())
        return AVIERR_BADFORMAT;
    // OpenDML continuation RIFFs; anything else after them is ignored.
    for (std::uint64_t pos = riff.end(); pos + 12 <= fileSize;) {
        std::uint8_t h[4];
        if (!m_file.readAt(pos, h, 4) || getLE32(h) != fccRIFF)
            break;
        Chunk x;
        if (!readChunk(pos, fileSize, x))
            return AVIERR_FILEREAD;
        if (x.listType != mmioFOURCC('A', 'V', 'I', 'X'))
            break;
        const std::uint64_t xEnd = x.dataPos + x.size;
        for (std::uint64_t p = x.dataPos + 4; p + 8 <= xEnd;) {
            Chunk c;
            if (!readChunk(p, xEnd, c))
                return AVIERR_FILEREAD;
            if (c.id == fccLIST && c.listType == mmioFOURCC('m', 'o', 'v', 'i'))
                movis.emplace_back(c.dataPos, c.dataPos + c.size);
            p = c.end();
        }
        pos = x.end();
    }

    std::vector<bool> indexed(m_streams.size(), false);
    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        for (std::uint64_t ix : m_superIndex[i])
            if (HRESULT hr = readStandardIndex(ix, i, fileSize); hr != AVIERR_OK)
                return hr;
        indexed[i] = !m_superIndex[i].empty();
    }
    const bool allIndexed = std::all_of(indexed.begin(), indexed.end(), [](bool b) { return b; });
    if (!allIndexed) {
        // Streams without an OpenDML index take theirs from idx1, else from the data.
        std::vector<std::vector<TAviIndexEntry>> kept;
        for (std::size_t i = 0; i < m_streams.size(); ++i)
            kept.push_back(std::move(m_streams[i].index));
        for (auto& s : m_streams)
            s.index.clear();
        HRESULT hr = AVIERR_OK;
        if (haveIdx1)
            hr = readIdx1(idx1, movis.front().first);
        if (!haveIdx1 || hr == AVIERR_NODATA) {
            for (auto& s : m_streams)
                s.index.clear();
            hr = AVIERR_OK;
            for (const auto& [moviPos, moviEnd] : movis)
                if (hr == AVIERR_OK)
                    hr = scanMovi(moviPos, moviEnd);
        }
        if (hr != AVIERR_OK)
            return hr;
        for (std::size_t i = 0; i < m_streams.size(); ++i)
            if (indexed[i])
                m_streams[i].index = std::move(kept[i]);
    }
    for (auto& s : m_streams)
        s.countSamples();

    m_info = AVIFILEINFO{};
    m_info.dwStreams = std::uint32_t(m_streams.size());
    m_info.dwCaps = 1; // can read
    m_info.szFileType = "AVI";
    const TAviStreamData* main = nullptr;
    for (const auto& s : m_streams)
        if (s.info.fccType == streamtypeVIDEO) {
            main = &s;
            break;
        }
    for (const auto& s : m_streams) {
        m_info.dwSuggestedBufferSize =
            std::max(m_info.dwSuggestedBufferSize, s.info.dwSuggestedBufferSize);
        if (!main || (main->info.fccType != streamtypeVIDEO && s.length() > main->length()))
            main = &s;
    }
    m_info.dwScale = main->info.dwScale;
    m_info.dwRate = main->info.dwRate;
    // Callers count positions from the start: start + length must not overflow them.
    m_info.dwLength = std::uint32_t(main->addressableLength());
    m_info.dwWidth = m_avihWidth;
    m_info.dwHeight = m_avihHeight;
    return AVIERR_OK;
}

HRESULT TRiffAviReader::parseHeaderList(const Chunk& hdrl) {
    const std::uint64_t end = hdrl.dataPos + hdrl.size;
    for (std::uint64_t pos = hdrl.dataPos + 4; pos + 8 <= end;) {
        Chunk c;
        if (!readChunk(pos, end, c))
            return AVIERR_FILEREAD;
        if (c.id == mmioFOURCC('a', 'v', 'i', 'h')) {
            std::uint8_t h[40];
            if (c.size < 40)
                return AVIERR_BADFORMAT;
            if (!m_file.readAt(c.dataPos, h, sizeof h))
                return AVIERR_FILEREAD;
            m_totalFrames = getLE32(h + 16);
            m_avihWidth = getLE32(h + 32);
            m_avihHeight = getLE32(h + 36);
        } else if (c.id == fccLIST && c.listType == mmioFOURCC('s', 't', 'r', 'l')) {
            if (m_streams.size() >= kMaxStreams)
                return AVIERR_BADFORMAT;
            if (HRESULT hr = parseStreamList(c); hr != AVIERR_OK)
                return hr;
        }
        pos = c.end();
    }
    return AVIERR_OK;
}

HRESULT TRiffAviReader::parseStreamList(const Chunk& strl) {
    TAviStreamData s;
    bool haveStrh = false;
    Chunk indx;
    bool haveIndx = false;
    const std::uint64_t end = strl.dataPos + strl.size;
    for (std::uint64_t pos = strl.dataPos + 4; pos + 8 <= end;) {
        Chunk c;
        if (!readChunk(pos, end, c))
            return AVIERR_FILEREAD;
        if (c.id == mmioFOURCC('s', 't', 'r', 'h')) {
            std::uint8_t h[56] = {};
            if (c.size < 48)
                return AVIERR_BADFORMAT;
            if (!m_file.readAt(c.dataPos, h, std::min<std::size_t>(c.size, sizeof h)))
                return AVIERR_FILEREAD;
            AVISTREAMINFO& i = s.info;
            i.fccType = getLE32(h);
            i.fccHandler = getLE32(h + 4);
            i.dwFlags = getLE32(h + 8);
            i.wPriority = getLE16(h + 12);
            i.wLanguage = getLE16(h + 14);
            i.dwInitialFrames = getLE32(h + 16);
            i.dwScale = getLE32(h + 20);
            i.dwRate = getLE32(h + 24);
            i.dwStart = getLE32(h + 28);
            i.dwLength = getLE32(h + 32);
            i.dwSuggestedBufferSize = getLE32(h + 36);
            i.dwQuality = getLE32(h + 40);
            i.dwSampleSize = getLE32(h + 44);
            i.rcFrame.left = std::int16_t(getLE16(h + 48));
            i.rcFrame.top = std::int16_t(getLE16(h + 50));
            i.rcFrame.right = std::int16_t(getLE16(h + 52));
            i.rcFrame.bottom = std::int16_t(getLE16(h + 54));
            // Positions are 32-bit; a larger start cannot be addressed.
            if (i.dwStart > 0x7FFFFFFF || i.dwSampleSize > 0x7FFFFFFF)
                return AVIERR_BADFORMAT;
            haveStrh = true;
        } else if (c.id == mmioFOURCC('s', 't', 'r', 'f')) {
            if (c.size > kMaxFormat)
                return AVIERR_BADFORMAT;
            s.format.resize(c.size);
            if (!m_file.readAt(c.dataPos, s.format.data(), c.size))
                return AVIERR_FILEREAD;
            s.formatSet = true;
        } else if (c.id == mmioFOURCC('s', 't', 'r', 'n')) {
            std::string name(std::min<std::uint32_t>(c.size, 256), '\0');
            if (!m_file.readAt(c.dataPos, name.data(), name.size()))
                return AVIERR_FILEREAD;
            s.info.szName = name.substr(0, name.find('\0'));
        } else if (c.id == mmioFOURCC('i', 'n', 'd', 'x')) {
            indx = c;
            haveIndx = true;
        }
        pos = c.end();
    }
    if (!haveStrh)
        return AVIERR_BADFORMAT;
    m_streams.push_back(std::move(s));
    m_superIndex.emplace_back();
    if (haveIndx)
        return readSuperIndex(indx);
    return AVIERR_OK;
}

HRESULT TRiffAviReader::readSuperIndex(const Chunk& indx) {
    if (indx.size < 24)
        return AVIERR_BADFORMAT;
    std::uint8_t h[24];
    if (!m_file.readAt(indx.dataPos, h, sizeof h))
        return AVIERR_FILEREAD;
    const std::uint16_t longsPerEntry = getLE16(h);
    const std::uint8_t type = h[3];
    const std::uint32_t inUse = getLE32(h + 4);
    // Only an index of indexes points to ix## chunks; other forms fall back to idx1.
    if (type != 0)
        return AVIERR_OK;
    if (longsPerEntry != 4 || inUse > (indx.size - 24) / 16)
        return AVIERR_BADFORMAT;
    m_scratch.resize(std::size_t(inUse) * 16);
    if (!m_file.readAt(indx.dataPos + 24, m_scratch.data(), m_scratch.size()))
        return AVIERR_FILEREAD;
    auto& list = m_superIndex.back();
    for (std::uint32_t k = 0; k < inUse; ++k) {
        const std::uint64_t offset = getLE64(m_scratch.data() + 16 * k);
        if (offset >= m_file.size())
            return AVIERR_BADFORMAT;
        list.push_back(offset);
    }
    return AVIERR_OK;
}

bool TRiffAviReader::checkEntry(const TAviIndexEntry& e) const {
    return e.offset <= m_file.size() && e.size <= m_file.size() - e.offset;
}

HRESULT TRiffAviReader::readStandardIndex(std::uint64_t pos, std::size_t stream,
                                          std::uint64_t limit) {
    Chunk c;
    if (!readChunk(pos, limit, c))
        return AVIERR_FILEREAD;
    if (c.size < 24)
        return AVIERR_BADFORMAT;
    std::uint8_t h[24];
    if (!m_file.readAt(c.dataPos, h, sizeof h))
        return AVIERR_FILEREAD;
    const std::uint16_t longsPerEntry = getLE16(h);
    const std::uint8_t subType = h[2];
    const std::uint8_t type = h[3];
    const std::uint32_t inUse = getLE32(h + 4);
    const std::uint64_t base = getLE64(h + 12);
    if (type != 1 || subType != 0 || longsPerEntry != 2 || inUse > (c.size - 24) / 8)
        return AVIERR_BADFORMAT;
    if (AviChunkStream(getLE32(h + 8)) != int(stream))
        return AVIERR_BADFORMAT;
    // Every entry takes 8 bytes of some ix## chunk: more entries than that means chunks listed
    // twice or lying inside each other, which would cost memory and time without bound.
    std::uint64_t entries = inUse;
    for (const auto& s : m_streams)
        entries += s.index.size();
    if (entries > m_file.size() / 8)
        return AVIERR_BADFORMAT;
    m_scratch.resize(std::size_t(inUse) * 8);
    if (!m_file.readAt(c.dataPos + 24, m_scratch.data(), m_scratch.size()))
        return AVIERR_FILEREAD;
    auto& index = m_streams[stream].index;
    for (std::uint32_t k = 0; k < inUse; ++k) {
        const std::uint8_t* q = m_scratch.data() + 8 * k;
        const std::uint32_t offset = getLE32(q), size = getLE32(q + 4);
        TAviIndexEntry e;
        if (base > m_file.size())
            return AVIERR_BADFORMAT;
        e.offset = base + offset;
        e.size = size & 0x7FFFFFFF;
        e.flags = (size & 0x80000000u) ? 0 : AVIIF_KEYFRAME;
        if (!checkEntry(e))
            return AVIERR_BADFORMAT;
        index.push_back(e);
    }
    return AVIERR_OK;
}

HRESULT TRiffAviReader::readIdx1(const Chunk& idx1, std::uint64_t moviPos) {
    const std::size_t n = idx1.size / 16;
    m_scratch.resize(n * 16);
    if (!m_file.readAt(idx1.dataPos, m_scratch.data(), m_scratch.size()))
        return AVIERR_FILEREAD;
    const std::uint8_t* p = m_scratch.data();
    // Offsets count from the "movi" id in most files, from the file's start in some.
    std::uint64_t base = 0;
    bool baseFound = false;
    for (std::size_t k = 0; k < n && !baseFound; ++k) {
        const std::uint32_t ckid = getLE32(p + 16 * k);
        const std::uint32_t flags = getLE32(p + 16 * k + 4);
        const std::uint64_t off = getLE32(p + 16 * k + 8);
        if (AviChunkStream(ckid) < 0 || (flags & AVIIF_LIST))
            continue;
        for (std::uint64_t candidate : {moviPos, std::uint64_t(0)}) {
            std::uint8_t h[4];
            if (m_file.readAt(candidate + off, h, 4) && getLE32(h) == ckid) {
                base = candidate;
                baseFound = true;
                break;
            }
        }
        if (!baseFound)
            return AVIERR_BADFORMAT;
    }
    if (!baseFound)
        return AVIERR_NODATA;
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint8_t* q = p + 16 * k;
        const std::uint32_t ckid = getLE32(q), flags = getLE32(q + 4);
        const int stream = AviChunkStream(ckid);
        if (stream < 0 || std::size_t(stream) >= m_streams.size() || (flags & AVIIF_LIST))
            continue;
        TAviIndexEntry e;
        e.offset = base + getLE32(q + 8) + 8;
        e.size = getLE32(q + 12);
        e.flags = flags;
        if (e.size > 0x7FFFFFFF || !checkEntry(e))
            return AVIERR_BADFORMAT;
        m_streams[std::size_t(stream)].index.push_back(e);
    }
    return AVIERR_OK;
}

HRESULT TRiffAviReader::scanMovi(std::uint64_t moviPos, std::uint64_t moviEnd) {
    for (std::uint64_t pos = moviPos + 4; pos + 8 <= moviEnd;) {
        Chunk c;
        if (!readChunk(pos, moviEnd, c))
            return AVIERR_FILEREAD;
        if (c.id == fccLIST) {
            // "rec " groups hold stream chunks; step into them.
            pos = c.dataPos + 4;
            continue;
        }
        const int stream = AviChunkStream(c.id);
        const std::uint32_t kind = c.id >> 16;
        if (stream >= 0 && std::size_t(stream) < m_streams.size() &&
            kind != mmioFOURCC('i', 'x', 0, 0) >> 16) {
            TAviIndexEntry e;
            e.offset = c.dataPos;
            e.size = c.size;
            // Without an index every chunk must be taken as a key frame.
            e.flags = AVIIF_KEYFRAME;
            if (e.size > 0x7FFFFFFF)
                return AVIERR_BADFORMAT;
            m_streams[std::size_t(stream)].index.push_back(e);
        }
        pos = c.end();
    }
    return AVIERR_OK;
}

HRESULT TRiffAviReader::read(std::size_t stream, std::int32_t start, std::int32_t samples,
                             void* buffer, std::int32_t bufferSize, std::int32_t* bytes,
                             std::int32_t* samplesRead) {
    if (bytes)
        *bytes = 0;
    if (samplesRead)
        *samplesRead = 0;
    if (stream >= m_streams.size() || (buffer && bufferSize < 0))
        return AVIERR_BADPARAM;
    const TAviStreamData& s = m_streams[stream];
    const std::int64_t pos = std::int64_t(start) - s.info.dwStart;
    const std::int64_t entry = s.entryOf(pos);
    if (entry < 0)
        return AVIERR_NODATA;
    if (!s.info.dwSampleSize) {
        const TAviIndexEntry& e = s.index[std::size_t(entry)];
        if (buffer) {
            if (std::uint64_t(bufferSize) < e.size) {
                if (bytes)
                    *bytes = std::int32_t(e.size);
                return AVIERR_BUFFERTOOSMALL;
            }
            if (!m_file.readAt(e.offset, buffer, e.size))
                return AVIERR_FILEREAD;
        }
        if (bytes)
            *bytes = std::int32_t(e.size);
        if (samplesRead)
            *samplesRead = 1;
        return AVIERR_OK;
    }
    const std::uint64_t ss = s.info.dwSampleSize;
    std::uint64_t want;
    if (samples == AVISTREAMREAD_CONVENIENT || samples < 0) {
        // Without a buffer: the rest of this chunk; with one: as much as fits.
        const auto& e = s.index[std::size_t(entry)];
        want = buffer ? std::uint64_t(s.length() - pos)
                      : e.size / ss - (std::uint64_t(pos) - s.firstSample[std::size_t(entry)]);
    } else {
        want = std::uint64_t(samples);
    }
    want = std::min<std::uint64_t>(want, std::uint64_t(s.length() - pos));
    want = std::min<std::uint64_t>(want, std::numeric_limits<std::int32_t>::max() / ss);
    if (buffer) {
        const std::uint64_t fit = std::uint64_t(bufferSize) / ss;
        if (fit == 0 && want > 0) {
            if (bytes)
                *bytes = std::int32_t(ss);
            return AVIERR_BUFFERTOOSMALL;
        }
        want = std::min(want, fit);
        auto* out = static_cast<std::uint8_t*>(buffer);
        std::uint64_t done = 0;
        std::size_t k = std::size_t(entry);
        std::uint64_t p = std::uint64_t(pos);
        while (done < want && k < s.index.size()) {
            const auto& e = s.index[k];
            const std::uint64_t inChunk = p - s.firstSample[k];
            const std::uint64_t chunkSamples = e.size / ss;
            if (inChunk >= chunkSamples) {
                ++k;
                continue;
            }
            const std::uint64_t n = std::min(want - done, chunkSamples - inChunk);
            if (!m_file.readAt(e.offset + inChunk * ss, out + done * ss, std::size_t(n * ss)))
                return AVIERR_FILEREAD;
            done += n;
            p += n;
            ++k;
        }
        want = done;
    }
    if (bytes)
        *bytes = std::int32_t(want * ss);
    if (samplesRead)
        *samplesRead = std::int32_t(want);
    return AVIERR_OK;
}

} // namespace lv
