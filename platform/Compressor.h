#pragma once

// The installed video compressors: the libavcodec video encoders that make sense in AVI,
// each under its AVI FourCC, plus uncompressed 24-bit RGB ("DIB "). The calls follow the
// classic compressor sequence: query, get format, get size, begin, compress, end.
//
// One frame in, one frame out: encoders are set up without B-frames or look-ahead, and a
// frame that does not come out at once is a failure. Input is always a 24-bit bottom-up
// bitmap (BITMAPINFOHEADER with biBitCount 24, biCompression BI_RGB, biHeight > 0).
//
// Threads: a TCompressor is used by one thread at a time; different compressors may run
// in different threads. Encoders use slice threads of their own, which add no delay.

#include "platform/Dib.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace lv {

struct TCompressorInfo {
    std::uint32_t fccHandler = 0; // FourCC, first character in the low byte
    std::string fourCC;           // its four characters ("XVID", "DIB ")
    std::string description;
    std::string encoder; // libavcodec encoder name; empty for uncompressed RGB
};

// One editable encoder setting, as the configuration dialog shows it.
struct TCodecSetting {
    std::string name;  // value name in the settings store
    std::string label; // English caption
    int value = 0;
    int minimum = 0;
    int maximum = 0;
    int defaultValue = 0;
    std::vector<std::string> choices; // when not empty, value is an index into it
};

enum class ICMode { Query, Compress };

// The compressors this build of libavcodec really has, in a fixed order.
const std::vector<TCompressorInfo>& ICInstalled();

// Key of a compressor's settings in the store: kSettingsKey + "\\Codecs\\" + FourCC
// (trailing spaces dropped).
std::string CodecSettingsKey(const TCompressorInfo& info);

class TCompressor {
public:
    virtual ~TCompressor() = default;

    // The compressor whose FourCC equals the first four characters of fourCC (padded with
    // spaces), compared without regard to case; nullptr when none is installed.
    static std::unique_ptr<TCompressor> Open(const std::string& fourCC, ICMode mode);

    const TCompressorInfo& Info() const { return m_info; }
    ICMode Mode() const { return m_mode; }

    // Whether the compressor takes this input. Answered by really opening the encoder at
    // that size, so fixed-size encoders refuse others.
    virtual bool CompressQuery(const BITMAPINFOHEADER& in) = 0;

    // Frame duration as scale / rate seconds, for rate control; call before
    // CompressGetFormat. Without it the encoder assumes 25 frames per second.
    void CompressFramesInfo(std::int32_t scale, std::int32_t rate);

    // Output format for this input: a BITMAPINFOHEADER (biCompression the FourCC, biSize
    // 40 + extradata) followed by the encoder's extradata, which some decoders need.
    virtual bool CompressGetFormat(const BITMAPINFOHEADER& in, std::vector<std::uint8_t>& out) = 0;

    // Largest compressed frame for this input; 0 when the input is refused.
    virtual std::size_t CompressGetSize(const BITMAPINFOHEADER& in) = 0;

    // Starts compressing frames of this input format. Refused in query mode.
    virtual bool CompressBegin(const BITMAPINFOHEADER& in) = 0;

    // Compresses one frame (in must be the format given to CompressBegin, bits its
    // in.biHeight rows of DibRowBytes(in.biWidth) bytes) into out. On success size is the
    // compressed size and keyFrame tells whether the frame stands alone. Fails when the
    // data does not fit in out.
    virtual bool Compress(const BITMAPINFOHEADER& in, const std::uint8_t* bits,
                          std::span<std::uint8_t> out, std::size_t& size, bool& keyFrame) = 0;

    // Ends compression; harmless when not begun.
    virtual void CompressEnd() = 0;

    // The editable settings with their stored values (defaults when absent or out of
    // range); empty when the compressor has none. They apply at the next CompressBegin.
    std::vector<TCodecSetting> Settings() const;
    // Stores the values of the given settings (matched by name, clamped to the limits);
    // unknown names are ignored.
    void StoreSettings(const std::vector<TCodecSetting>& settings) const;

    // What the about box shows: description, encoder name and long name, libavcodec
    // version and licence.
    virtual std::string AboutText() const = 0;

protected:
    TCompressor(TCompressorInfo info, ICMode mode) : m_info(std::move(info)), m_mode(mode) {}

    // The settings offered by this compressor, with their defaults as values.
    virtual std::vector<TCodecSetting> DefaultSettings() const { return {}; }

    std::int32_t m_scale = 1; // frame duration m_scale / m_rate seconds
    std::int32_t m_rate = 25;

private:
    TCompressorInfo m_info;
    ICMode m_mode;
};

} // namespace lv
