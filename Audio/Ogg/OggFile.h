#pragma once

#include "Audio/AbstractAudioFile.h"
#include "Audio/CallbackSource.h"
#include "Audio/Ogg/VorbisFileLib.h"

#include <memory>

namespace lv {

// Reader of Ogg Vorbis files through libvorbisfile: format and length from the stream
// headers. It does not decode: CanRead is false and ReadData delivers nothing. Refusals:
// the library is absent ("File VORBISFILE.DLL not found in the path. ..."), the file is
// not Ogg Vorbis ("\"<name>\" is not a Ogg bitstream"), or the file stream's own error.
class TOggFile : public TAbstractAudioFile {
public:
    explicit TOggFile(const std::string& fileName);

    std::int32_t Bitrate() override { return m_nominalBitrate; }
    std::int32_t Channels() override { return m_channels; }
    std::int64_t FileSize() override { return m_fileSize; }
    // Samples per channel x 2 bytes x channels.
    std::int64_t DataSize() override { return m_totalSamples * 2 * m_channels; }
    std::int32_t SampleRate() override { return m_rate; }
    std::int32_t BitsPerSample() override { return 16; }
    TAudioKind Kind() override { return akOgg; }
    bool ReadData(void* buffer, std::int32_t& count) override;

    // The callbacks given to ov_open_callbacks; the data source is the reader.
    static std::size_t ReadCallback(void* ptr, std::size_t size, std::size_t count, void* reader);
    static int SeekCallback(void* reader, ogg_int64_t offset, int origin);
    static int CloseCallback(void* reader);
    static long TellCallback(void* reader);

private:
    // The decoder's file state, cleared (which closes the source) when it goes.
    struct TDecoderFile {
        const TVorbisFileLib* Lib = nullptr; // set once ov_open_callbacks has succeeded
        OggVorbis_File File{};
        ~TDecoderFile();
    };

    std::shared_ptr<const TVorbisFileLib> m_lib; // outlives m_source and m_file
    TCallbackSource m_source;
    TDecoderFile m_file;
    std::int64_t m_fileSize = 0;
    std::int32_t m_channels = 0;
    std::int32_t m_rate = 0;
    std::int32_t m_nominalBitrate = 0;
    std::int64_t m_totalSamples = 0;
};

} // namespace lv
