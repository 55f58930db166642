#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lv {

// Reader kind code: the facade's selector and each reader's Kind(). 2 is not assigned.
enum TAudioKind : int {
    akNone = 0,
    akWav = 1,
    akMpeg = 3,
    akWma = 4,
    akOgg = 5,
    akApe = 6,
    akAc3 = 7,
    akMpc = 8,
};

// Tag kinds found in a file (TagKinds bits).
constexpr std::uint32_t tkId3v1 = 1, tkId3v2 = 2, tkApev2 = 4, tkVorbisComment = 8;

// The interface of every sound file reader. A reader refuses its file by throwing lv::Error
// from its constructor; a constructed reader has a usable format. Sizes and positions are
// bytes of decoded PCM (interleaved, little-endian; 16-bit signed, 8-bit unsigned);
// durations are day fractions (seconds / 86400). Not thread-safe.
class TAbstractAudioFile {
public:
    explicit TAbstractAudioFile(std::string fileName);
    virtual ~TAbstractAudioFile();
    TAbstractAudioFile(const TAbstractAudioFile&) = delete;
    TAbstractAudioFile& operator=(const TAbstractAudioFile&) = delete;

    // Bits per second of the stored stream.
    virtual std::int32_t Bitrate() { return 0; }
    virtual std::int32_t Channels() { return 0; }
    // Bytes of the file.
    virtual std::int64_t FileSize() { return 0; }
    // PCM bytes already read.
    virtual std::int64_t DataPosition() { return 0; }
    // PCM bytes of the whole file; may scan the file on the first call.
    virtual std::int64_t DataSize() { return 0; }
    virtual std::int32_t SampleRate() { return 0; }
    // 8 or 16.
    virtual std::int32_t BitsPerSample() { return 0; }
    virtual TAudioKind Kind() { return akNone; }
    virtual void SeekData(std::int64_t bytePos) { (void)bytePos; }
    // DataSize / bytes per second / 86400; 0 when the format gives no bytes per second.
    virtual double Duration();
    // True when ReadData can deliver samples.
    virtual bool CanRead() { return false; }
    // Reads up to count bytes of PCM into buffer; count becomes the bytes delivered. False
    // when none were (end of data, or a reader that cannot decode).
    virtual bool ReadData(void* buffer, std::int32_t& count) = 0;
    // Value of the line Name=... in Tags, empty when absent.
    virtual std::string GetTag(const std::string& name);
    // GetTag as a decimal number, 0 when it is not one.
    virtual std::int32_t GetTagInt(const std::string& name);
    // GetTag as a date in the user's short date format, as days since 1899-12-30; 0 when it
    // is not a date.
    virtual double GetTagDate(const std::string& name);
    // Tag editing is not implemented by any reader: both return false and change nothing.
    virtual bool RemoveTags(std::uint8_t kinds);
    virtual bool WriteTags(std::uint8_t kinds);

    const std::string& FileName() const { return m_fileName; }

    std::vector<std::string> Tags;     // Name=Value lines
    std::uint32_t TagKinds = 0;        // tk* bits
    std::int64_t LeadingTagSize = 0;   // bytes of a tag before the audio
    std::vector<std::string> Messages; // decoder diagnostics

private:
    std::string m_fileName;
};

} // namespace lv
