#include "Audio/Wma/WmLib.h"

#include <algorithm>
#include <cstring>

namespace lv {

namespace {

// A failed libavformat call: its negative error code has the top bit set once taken as 32
// bits, so the code survives into the message.
TWmResult avResult(int averror) {
    return averror < 0 ? TWmResult(averror) : kWmFail;
}

class TAvOutputProps : public TWmOutputProps {
public:
    explicit TAvOutputProps(const TWmMediaType& type) : m_type(type) {}

    TWmResult GetMediaType(void* buffer, std::uint32_t& size) override {
        if (!buffer) {
            size = sizeof(TWmMediaType);
            return kWmOk;
        }
        if (size < sizeof(TWmMediaType))
            return kWmBufferTooSmall;
        std::memcpy(buffer, &m_type, sizeof m_type);
        return kWmOk;
    }

private:
    TWmMediaType m_type;
};

struct TAttribute {
    std::string Name;
    TWmAttrType Type;
    std::vector<std::uint8_t> Value;
};

template <class T> std::vector<std::uint8_t> littleEndian(T value) {
    std::vector<std::uint8_t> bytes(sizeof(T));
    for (std::size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = std::uint8_t(std::uint64_t(value) >> (8 * i));
    return bytes;
}

class TAvSyncReader : public TWmSyncReader, public TWmHeaderInfo {
public:
    explicit TAvSyncReader(std::shared_ptr<const TAvFormatLib> av) : m_av(std::move(av)) {}
    ~TAvSyncReader() override { Close(); }

    TWmResult Open(const std::string& fileName) override {
        Close();
        // Only ASF is Windows Media, whatever the name says.
        const AVInputFormat* asf = m_av->av_find_input_format("asf");
        int err = m_av->avformat_open_input(&m_context, fileName.c_str(), asf, nullptr);
        if (err < 0)
            return avResult(err);
        err = m_av->avformat_find_stream_info(m_context, nullptr);
        if (err < 0) {
            Close();
            return avResult(err);
        }
        for (unsigned i = 0; i < m_context->nb_streams; ++i) {
            AVMediaType type = m_context->streams[i]->codecpar->codec_type;
            if (type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_VIDEO)
                m_outputs.push_back(m_context->streams[i]);
        }
        collectAttributes();
        return kWmOk;
    }

    TWmResult Close() override {
        m_outputs.clear();
        m_attributes.clear();
        if (m_context)
            m_av->avformat_close_input(&m_context);
        return kWmOk;
    }

    TWmResult GetOutputCount(std::uint32_t& count) override {
        if (!m_context)
            return kWmFail;
        count = std::uint32_t(m_outputs.size());
        return kWmOk;
    }

    TWmResult GetOutputProps(std::uint32_t output,
                             std::unique_ptr<TWmOutputProps>& props) override {
        if (output >= m_outputs.size())
            return kWmInvalidArg;
        const AVCodecParameters* par = m_outputs[output]->codecpar;
        TWmMediaType type;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            type.MajorType = TWmMajorType::Video;
        } else {
            // The runtime delivers 16-bit PCM whatever the stored format.
            type.MajorType = TWmMajorType::Audio;
            TWavFormat& f = type.WaveFormat;
            f.FormatTag = 1;
            f.Channels = std::uint16_t(std::clamp(par->ch_layout.nb_channels, 0, 0xFFFF));
            f.SamplesPerSec = std::uint32_t(std::max(par->sample_rate, 0));
            f.BitsPerSample = 16;
            f.BlockAlign = std::uint16_t(f.Channels * 2);
            f.AvgBytesPerSec = f.SamplesPerSec * f.BlockAlign;
        }
        props = std::make_unique<TAvOutputProps>(type);
        return kWmOk;
    }

    TWmResult QueryHeaderInfo(TWmHeaderInfo*& info) override {
        if (!m_context)
            return kWmFail;
        info = this;
        return kWmOk;
    }

    TWmResult SetReadStreamSamples(std::uint16_t streamNumber, bool compressed) override {
        const AVStream* stream = streamOfNumber(streamNumber);
        if (!stream)
            return kWmInvalidArg;
        if (!compressed && !m_av->avcodec_find_decoder(stream->codecpar->codec_id))
            return kWmFail;
        return kWmOk;
    }

    TWmResult GetMaxOutputSampleSize(std::uint32_t output, std::uint32_t& size) override {
        if (output >= m_outputs.size())
            return kWmInvalidArg;
        const AVCodecParameters* par = m_outputs[output]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            size = std::uint32_t(std::max(par->width, 0)) *
                   std::uint32_t(std::max(par->height, 0)) * 4;
        } else {
            // One decoded packet; Windows Media audio packets hold up to 2048 samples.
            std::uint32_t samples = par->frame_size > 0 ? std::uint32_t(par->frame_size) : 2048;
            size = samples * std::uint32_t(std::max(par->ch_layout.nb_channels, 0)) * 2;
        }
        return kWmOk;
    }

    TWmResult GetAttributeCount(std::uint16_t streamNumber, std::uint16_t& count) override {
        if (!m_context)
            return kWmFail;
        count = streamNumber == 0 ? std::uint16_t(m_attributes.size()) : 0;
        return kWmOk;
    }

    TWmResult GetAttributeByIndex(std::uint16_t streamNumber, std::uint16_t index,
                                  std::string& name, TWmAttrType& type,
                                  std::vector<std::uint8_t>& value) override {
        if (streamNumber != 0 || index >= m_attributes.size())
            return kWmInvalidArg;
        name = m_attributes[index].Name;
        type = m_attributes[index].Type;
        value = m_attributes[index].Value;
        return kWmOk;
    }

private:
    const AVStream* streamOfNumber(std::uint16_t number) const {
        if (!m_context || number == 0 || number > m_context->nb_streams)
            return nullptr;
        return m_context->streams[number - 1];
    }

    // File attributes: the play length in 100-ns units, the bit rate, and the text tags.
    void collectAttributes() {
        if (m_context->duration != AV_NOPTS_VALUE && m_context->duration > 0)
            m_attributes.push_back({"Duration", TWmAttrType::QWord,
                                    littleEndian(std::uint64_t(m_context->duration) * 10)});
        if (m_context->bit_rate > 0)
            m_attributes.push_back({"Bitrate", TWmAttrType::DWord,
                                    littleEndian(std::uint32_t(
                                        std::min<std::int64_t>(m_context->bit_rate, UINT32_MAX)))});
        const AVDictionaryEntry* tag = nullptr;
        while ((tag = m_av->av_dict_get(m_context->metadata, "", tag, AV_DICT_IGNORE_SUFFIX))) {
            std::string text = tag->value;
            m_attributes.push_back({tag->key, TWmAttrType::String,
                                    std::vector<std::uint8_t>(text.begin(), text.end())});
        }
    }

    std::shared_ptr<const TAvFormatLib> m_av;
    AVFormatContext* m_context = nullptr;
    std::vector<const AVStream*> m_outputs;
    std::vector<TAttribute> m_attributes;
};

} // namespace

TWmLib::TWmLib(std::shared_ptr<const TAvFormatLib> avformat) : m_av(std::move(avformat)) {}

std::shared_ptr<const TWmLib> TWmLib::Load(std::shared_ptr<const TAvFormatLib> avformat,
                                           std::vector<TLibraryStatus>& statuses) {
    if (!avformat)
        return nullptr;
    if (!avformat->HasDemuxer("asf")) {
        statuses.push_back({"libavformat.so.59", false, "no asf demuxer"});
        return nullptr;
    }
    return std::make_shared<TWmLib>(std::move(avformat));
}

TWmResult TWmLib::Wm9GetSyncReader(std::unique_ptr<TWmSyncReader>& reader) const {
    reader = std::make_unique<TAvSyncReader>(m_av);
    return kWmOk;
}

} // namespace lv
