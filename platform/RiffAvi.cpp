#include "platform/RiffAvi.h"

#include <algorithm>
#include <cstring>

namespace lv {

std::uint32_t AviChunkId(std::uint32_t stream, std::uint32_t fccType) {
    const char a = char('0' + stream / 10 % 10), b = char('0' + stream % 10);
    if (fccType == streamtypeAUDIO)
        return mmioFOURCC(a, b, 'w', 'b');
    if (fccType == mmioFOURCC('t', 'x', 't', 's'))
        return mmioFOURCC(a, b, 't', 'x');
    return mmioFOURCC(a, b, 'd', 'c');
}

int AviChunkStream(std::uint32_t ckid) {
    const int a = int(ckid & 0xFF) - '0', b = int(ckid >> 8 & 0xFF) - '0';
    if (a < 0 || a > 9 || b < 0 || b > 9)
        return -1;
    return a * 10 + b;
}

std::int64_t TAviStreamData::length() const {
    return info.dwSampleSize ? std::int64_t(totalSamples) : std::int64_t(index.size());
}

std::int64_t TAviStreamData::addressableLength() const {
    const std::int64_t positions = std::int64_t(0x80000000u) - std::int64_t(info.dwStart);
    return std::clamp<std::int64_t>(std::min(length(), positions), 0, 0x7FFFFFFF);
}

void TAviStreamData::countSamples() {
    firstSample.clear();
    totalSamples = 0;
    if (!info.dwSampleSize)
        return;
    firstSample.reserve(index.size());
    for (const auto& e : index) {
        firstSample.push_back(totalSamples);
        totalSamples += e.size / info.dwSampleSize;
    }
}

std::int64_t TAviStreamData::entryOf(std::int64_t pos) const {
    if (pos < 0 || pos >= length())
        return -1;
    if (!info.dwSampleSize)
        return pos;
    // The last chunk whose first sample is at or before pos (chunks too short for one sample
    // hold none and are passed over).
    const auto it = std::upper_bound(firstSample.begin(), firstSample.end(), std::uint64_t(pos));
    std::int64_t i = (it - firstSample.begin()) - 1;
    while (i > 0 && index[std::size_t(i)].size / info.dwSampleSize == 0)
        --i;
    return i;
}

bool TAviStreamData::isKey(std::int64_t entry) const {
    if (info.dwSampleSize)
        return true;
    return entry >= 0 && entry < std::int64_t(index.size()) &&
           (index[std::size_t(entry)].flags & AVIIF_KEYFRAME);
}

HRESULT TAviStreamData::findSample(std::int32_t pos, std::uint32_t flags,
                                   std::int32_t& found) const {
    found = -1;
    const std::int64_t start = info.dwStart;
    const std::int64_t len = length();
    if (len == 0)
        return AVIERR_NODATA;
    const auto matches = [&](std::int64_t p) {
        if (info.dwSampleSize)
            return true;
        const auto& e = index[std::size_t(p)];
        if (flags & FIND_KEY)
            return (e.flags & AVIIF_KEYFRAME) != 0;
        if (flags & FIND_ANY)
            return e.size != 0;
        return true;
    };
    std::int64_t p = std::int64_t(pos) - start;
    if (flags & FIND_FROM_START) {
        p = 0;
        flags |= FIND_NEXT;
    }
    if (flags & FIND_NEXT) {
        for (p = std::max<std::int64_t>(p, 0); p < len; ++p)
            if (matches(p)) {
                found = std::int32_t(p + start);
                return AVIERR_OK;
            }
        return AVIERR_NODATA;
    }
    for (p = std::min(p, len - 1); p >= 0; --p)
        if (matches(p)) {
            found = std::int32_t(p + start);
            return AVIERR_OK;
        }
    return AVIERR_NODATA;
}

HRESULT TAviStreamData::readFormat(void* out, std::int32_t* size) const {
    if (!size)
        return AVIERR_BADPARAM;
    const auto have = std::int32_t(format.size());
    if (!out) {
        *size = have;
        return AVIERR_OK;
    }
    if (*size < 0)
        return AVIERR_BADPARAM;
    const std::int32_t n = std::min(*size, have);
    if (n > 0)
        std::memcpy(out, format.data(), std::size_t(n));
    *size = n;
    return n < have ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
}

} // namespace lv
