#include "Audio/AudioFile.h"

#include "Audio/Ac3File.h"
#include "Audio/MPC/MpcFile.h"
#include "Audio/Monkey/ApeFile.h"
#include "Audio/Mpeg/MpegAudioFile.h"
#include "Audio/Ogg/OggFile.h"
#include "Audio/WavAudioFile.h"
#include "Audio/Wma/WMAAudioFile.h"

#include <cctype>
#include <initializer_list>

namespace lv {

namespace {

using TReaderFactory = std::unique_ptr<TAbstractAudioFile> (*)(const std::string&);

template <class TReader> std::unique_ptr<TAbstractAudioFile> makeReader(const std::string& name) {
    return std::make_unique<TReader>(name);
}

struct TKindEntry {
    TAudioKind kind;
    std::initializer_list<const char*> masks;
    TReaderFactory factory; // nullptr: no reader for this kind in this build
};

// Masks are tested in this order. A reader joins by naming its factory here.
const TKindEntry kKindTable[] = {
    {akWav, {"*.wav"}, &makeReader<TWavAudioFile>},
    {akMpeg, {"*.mp[123]"}, &makeReader<TMpegAudioFile>},
    {akWma, {"*.wma", "*.asf"}, &makeReader<TWMAAudioFile>},
    {akOgg, {"*.ogg"}, &makeReader<TOggFile>},
    {akApe, {"*.ape"}, &makeReader<TApeFile>},
    {akAc3, {"*.ac3"}, &makeReader<TAc3File>},
    {akMpc, {"*.mpc"}, &makeReader<TMpcFile>},
};

char fold(char c) {
    return char(std::tolower(static_cast<unsigned char>(c)));
}

// Matches one set "[...]" at mask[m] against c; m moves past the set. A set without its
// closing bracket matches nothing.
bool matchSet(const std::string& mask, std::size_t& m, char c) {
    std::size_t i = m + 1;
    bool negate = i < mask.size() && mask[i] == '!';
    if (negate)
        ++i;
    bool found = false;
    bool first = true;
    for (; i < mask.size() && (first || mask[i] != ']'); ++i, first = false) {
        char lo = fold(mask[i]);
        char hi = lo;
        if (i + 2 < mask.size() && mask[i + 1] == '-' && mask[i + 2] != ']') {
            hi = fold(mask[i + 2]);
            i += 2;
        }
        if (lo <= c && c <= hi)
            found = true;
    }
    if (i >= mask.size())
        return false;
    m = i + 1;
    return found != negate;
}

} // namespace

bool MatchesMask(const std::string& name, const std::string& mask) {
    // Greedy match with backtracking to the last star: linear in practice, never exponential.
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string::npos, starName = 0;
    while (n < name.size()) {
        char c = fold(name[n]);
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
            continue;
        }
        if (m < mask.size()) {
            std::size_t next = m;
            bool ok = false;
            if (mask[m] == '[')
                ok = matchSet(mask, next, c);
            else if (mask[m] == '?' || fold(mask[m]) == c) {
                ok = true;
                next = m + 1;
            }
            if (ok) {
                m = next;
                ++n;
                continue;
            }
        }
        if (starMask == std::string::npos)
            return false;
        m = starMask + 1;
        n = ++starName;
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

TAudioKind AudioKindOfName(const std::string& fileName) {
    TAudioKind kind = akNone;
    for (const TKindEntry& entry : kKindTable)
        for (const char* mask : entry.masks)
            if (MatchesMask(fileName, mask))
                kind = entry.kind;
    return kind;
}

TAudioFile::~TAudioFile() {
    Close();
}

void TAudioFile::SetFileName(const std::string& name) {
    if (m_isOpen)
        return;
    m_fileName = name;
    m_kind = AudioKindOfName(name);
}

bool TAudioFile::Open() {
    if (m_isOpen)
        return true;
    if (m_kind == akNone)
        return false;
    TReaderFactory factory = nullptr;
    for (const TKindEntry& entry : kKindTable)
        if (entry.kind == m_kind)
            factory = entry.factory;
    if (!factory)
        return false;
    m_reader = factory(m_fileName);
    m_isOpen = true;
    return true;
}

long double TAudioFile::Duration() {
    if (!Open())
        return 0;
    long double dataSize = m_reader->DataSize();
    long double rate = m_reader->SampleRate();
    long double bits = m_reader->BitsPerSample();
    long double channels = m_reader->Channels();
    if (rate <= 0 || bits <= 0 || channels <= 0)
        return 0;
    return dataSize / rate / bits / 86400 * 8 / channels;
}

bool TAudioFile::Close() {
    if (m_isOpen) {
        m_reader.reset();
        m_isOpen = false;
    }
    return true;
}

} // namespace lv
