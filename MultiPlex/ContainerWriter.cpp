#include "MultiPlex/ContainerWriter.h"

#include "platform/Dib.h"
#include "platform/Errors.h"
#include "platform/Files.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/channel_layout.h>
}

namespace lv {

namespace {

std::string avError(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

const std::array<const AVCodecTag*, 2> kRiffVideoTags = {avformat_get_riff_video_tags(), nullptr};

} // namespace

TContainerWriter::TContainerWriter(const std::string& path, TContainer container)
    : m_path(path), m_container(container) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        fail("FileOpen", AVERROR(EISDIR));
    // A ".part" left by a killed run may be all that is left of it: never taken over.
    for (int n = 0; n < 100 && m_partPath.empty(); ++n) {
        const std::string candidate = path + (n ? "." + std::to_string(n) : "") + ".part";
        if (!NameTaken(candidate))
            m_partPath = candidate;
    }
    if (m_partPath.empty())
        fail("FileOpen", AVERROR(EEXIST));
    int error =
        avformat_alloc_output_context2(&m_context, nullptr, ContainerMuxer(container), nullptr);
    if (error >= 0) {
        m_context->url = av_strdup(m_partPath.c_str());
        error = avio_open(&m_context->pb, m_partPath.c_str(), AVIO_FLAG_WRITE);
    }
    if (error < 0) {
        close(); // no destructor runs after a constructor throws
        m_partPath.clear();
        fail("FileOpen", error);
    }
}

TContainerWriter::~TContainerWriter() {
    if (!m_finished)
        Abandon();
}

void TContainerWriter::fail(const std::string& step, int error) const {
    throw Error(step + " failed. " + ContainerName(m_container) + ": " + avError(error) + ": \"" +
                m_path + "\"");
}

// The stream headers a codec keeps inside its key frames (H.264 from an AVI keeps its
// parameter sets there), which Matroska needs before the first frame.
std::vector<std::uint8_t> TContainerWriter::HeadersOf(const AVCodecParameters& par,
                                                      const std::uint8_t* keyFrame,
                                                      std::size_t size) {
    std::vector<std::uint8_t> headers;
    const AVBitStreamFilter* filter = av_bsf_get_by_name("extract_extradata");
    bool known = false;
    for (const AVCodecID* id = filter ? filter->codec_ids : nullptr; id && *id != AV_CODEC_ID_NONE;
         ++id)
        known = known || *id == par.codec_id;
    AVBSFContext* bsf = nullptr;
    if (!known || !keyFrame || size == 0 || av_bsf_alloc(filter, &bsf) < 0)
        return headers;
    AVPacket* packet = av_packet_alloc();
    if (packet && avcodec_parameters_copy(bsf->par_in, &par) >= 0 && av_bsf_init(bsf) >= 0 &&
        av_new_packet(packet, int(size)) >= 0) {
        std::memcpy(packet->data, keyFrame, size);
        packet->flags = AV_PKT_FLAG_KEY;
        if (av_bsf_send_packet(bsf, packet) >= 0 && av_bsf_receive_packet(bsf, packet) >= 0) {
            std::size_t extraSize = 0;
            if (const std::uint8_t* extra =
                    av_packet_get_side_data(packet, AV_PKT_DATA_NEW_EXTRADATA, &extraSize))
                headers.assign(extra, extra + extraSize);
        }
    }
    av_packet_free(&packet);
    av_bsf_free(&bsf);
    return headers;
}

void TContainerWriter::AddVideo(const std::vector<std::uint8_t>& format, std::uint32_t scale,
                                std::uint32_t rate, const std::uint8_t* firstFrame,
                                std::size_t firstFrameSize) {
    if (format.size() < sizeof(BITMAPINFOHEADER))
        fail("StreamSetFormat", AVERROR_INVALIDDATA);
    BITMAPINFOHEADER bih;
    std::memcpy(&bih, format.data(), sizeof bih);
    AVStream* stream = avformat_new_stream(m_context, nullptr);
    if (!stream)
        fail("CreateStream", AVERROR(ENOMEM));
    AVCodecParameters* par = stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = av_codec_get_id(kRiffVideoTags.data(), bih.biCompression);
    par->width = bih.biWidth;
    par->height = bih.biHeight < 0 ? -bih.biHeight : bih.biHeight;
    std::vector<std::uint8_t> extra(format.begin() + sizeof bih, format.end());
    if (extra.empty())
        extra = HeadersOf(*par, firstFrame, firstFrameSize);
    if (!extra.empty()) {
        par->extradata =
            static_cast<std::uint8_t*>(av_mallocz(extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata)
            fail("StreamSetFormat", AVERROR(ENOMEM));
        std::memcpy(par->extradata, extra.data(), extra.size());
        par->extradata_size = int(extra.size());
    }
    stream->time_base = AVRational{int(scale), int(rate)};
    stream->avg_frame_rate = AVRational{int(rate), int(scale)};
    m_timeBases.push_back(stream->time_base);
}

void TContainerWriter::AddAudio(int sampleRate, int channels, int samplesPerFrame, int bitrate) {
    AVStream* stream = avformat_new_stream(m_context, nullptr);
    if (!stream)
        fail("CreateStream", AVERROR(ENOMEM));
    AVCodecParameters* par = stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = AV_CODEC_ID_MP3;
    par->sample_rate = sampleRate;
    av_channel_layout_default(&par->ch_layout, channels);
    par->frame_size = samplesPerFrame;
    par->bit_rate = bitrate;
    stream->time_base = AVRational{samplesPerFrame, sampleRate};
    m_timeBases.push_back(stream->time_base);
}

void TContainerWriter::Begin() {
    AVDictionary* options = nullptr;
    // The index goes in front, so that a browser plays the file before it has all of it.
    if (m_container == TContainer::Mp4)
        av_dict_set(&options, "movflags", "+faststart", 0);
    const int error = avformat_write_header(m_context, &options);
    av_dict_free(&options);
    if (error < 0)
        fail("WriteHeader", error);
    m_begun = true;
}

void TContainerWriter::Write(int stream, std::int64_t index, const std::uint8_t* data,
                             std::size_t size, bool key) {
    AVPacket* packet = av_packet_alloc();
    if (!packet)
        fail("StreamWrite", AVERROR(ENOMEM));
    // The muxer may keep the data until it interleaves it: a copy of its own.
    int error = av_new_packet(packet, int(size));
    if (error >= 0) {
        if (size)
            std::memcpy(packet->data, data, size);
        packet->stream_index = stream;
        packet->pts = packet->dts = index;
        packet->duration = 1;
        packet->flags = key ? AV_PKT_FLAG_KEY : 0;
        // The muxer chose its own time base for the stream when the header was written.
        av_packet_rescale_ts(packet, m_timeBases[std::size_t(stream)],
                             m_context->streams[stream]->time_base);
        error = av_interleaved_write_frame(m_context, packet);
    }
    av_packet_free(&packet);
    if (error < 0)
        fail("StreamWrite", error);
}

void TContainerWriter::close() {
    if (m_context) {
        if (m_context->pb)
            avio_closep(&m_context->pb);
        avformat_free_context(m_context);
        m_context = nullptr;
    }
}

void TContainerWriter::Finish() {
    if (!m_begun)
        Begin();
    if (int error = av_write_trailer(m_context); error < 0)
        fail("FileRelease", error);
    const int closed = avio_closep(&m_context->pb);
    close();
    if (closed < 0)
        fail("FileRelease", closed);
    if (std::rename(m_partPath.c_str(), m_path.c_str()) != 0) {
        const int error = errno;
        m_finished = true; // the finished video stays where the message says
        throw Error("FileRelease failed. " + ContainerName(m_container) + ": " +
                    std::strerror(error) + ": \"" + m_path + "\"; the video is kept in \"" +
                    m_partPath + "\"");
    }
    m_finished = true;
}

void TContainerWriter::Abandon() {
    close();
    if (!m_partPath.empty())
        ::unlink(m_partPath.c_str());
    m_partPath.clear();
    m_finished = true;
}

} // namespace lv
