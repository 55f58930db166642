#pragma once

#include "Audio/AbstractAudioFile.h"

#include <memory>
#include <string>

namespace lv {

// True when the whole name matches the wildcard mask, ASCII letters in any case: '*' any
// run of characters, '?' one character, "[abc]", "[a-z]" and "[!abc]" one of (or none of)
// a set.
bool MatchesMask(const std::string& name, const std::string& mask);

// Reader kind chosen by the file name from the masks of the kind table ("*.wav",
// "*.mp[123]", "*.wma", "*.asf", "*.ogg", "*.ape", "*.ac3", "*.mpc"); akNone when none
// matches.
TAudioKind AudioKindOfName(const std::string& fileName);

// The audio file facade: picks the reader by file name, opens it and gives the duration.
// Owns the reader it creates. Not thread-safe.
class TAudioFile {
public:
    TAudioFile() = default;
    ~TAudioFile();
    TAudioFile(const TAudioFile&) = delete;
    TAudioFile& operator=(const TAudioFile&) = delete;

    // Ignored while open. Stores the name and sets Kind from the masks.
    void SetFileName(const std::string& name);
    // True when open or opened now; false for a name no reader takes, or a kind whose
    // reader is not available in this build. A reader that refuses the file throws its
    // Error, and the facade stays closed.
    bool Open();
    // Days: DataSize / SampleRate / BitsPerSample / 86400 x 8 / Channels from the reader's
    // queries, in extended precision. Opens when needed; 0 when it does not open or the
    // format has a zero rate, width or channel count.
    long double Duration();
    // Frees the reader; true.
    bool Close();

    const std::string& FileName() const { return m_fileName; }
    TAudioKind Kind() const { return m_kind; }
    bool IsOpen() const { return m_isOpen; }
    TAbstractAudioFile* Reader() const { return m_reader.get(); }

private:
    std::string m_fileName;
    TAudioKind m_kind = akNone;
    bool m_isOpen = false;
    std::unique_ptr<TAbstractAudioFile> m_reader;
};

} // namespace lv
