#include "Audio/Monkey/MacLib.h"

namespace lv {

TApeDecompress::TApeDecompress(const TAvFormatLib& av, AVFormatContext* context)
    : m_av(av), m_context(context) {}

TApeDecompress::~TApeDecompress() {
    m_av.avformat_close_input(&m_context);
}

TMacLib::TMacLib(std::shared_ptr<const TAvFormatLib> avformat) : m_av(std::move(avformat)) {}

std::shared_ptr<const TMacLib> TMacLib::Load(std::shared_ptr<const TAvFormatLib> avformat,
                                             std::vector<TLibraryStatus>& statuses) {
    if (!avformat)
        return nullptr;
    if (!avformat->HasDemuxer("ape")) {
        statuses.push_back({"libavformat.so.59", false, "no ape demuxer"});
        return nullptr;
    }
    return std::make_shared<TMacLib>(std::move(avformat));
}

std::unique_ptr<TApeDecompress> TMacLib::c_APEDecompress_Create(const char* fileName,
                                                                int* error) const {
    auto fail = [error] {
        if (error)
            *error = kApeErrorInvalidInputFile;
        return nullptr;
    };
    // The header alone gives the format; no packet is read.
    AVFormatContext* context = nullptr;
    if (m_av->avformat_open_input(&context, fileName, m_av->av_find_input_format("ape"), nullptr) <
        0)
        return fail();
    auto handle = std::make_unique<TApeDecompress>(*m_av, context);
    if (context->nb_streams < 1 || context->streams[0]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
        return fail();
    if (error)
        *error = 0;
    return handle;
}

void TMacLib::c_APEDecompress_Destroy(std::unique_ptr<TApeDecompress>& handle) const {
    handle.reset();
}

std::intptr_t TMacLib::c_APEDecompress_GetInfo(const TApeDecompress* handle, int field,
                                               std::intptr_t param1, std::intptr_t param2) const {
    (void)param1;
    (void)param2;
    if (!handle)
        return 0;
    const AVStream& stream = handle->Stream();
    switch (field) {
    case APE_INFO_SAMPLE_RATE:
        return stream.codecpar->sample_rate;
    case APE_INFO_BITS_PER_SAMPLE:
        return stream.codecpar->bits_per_coded_sample;
    case APE_INFO_CHANNELS:
        return stream.codecpar->ch_layout.nb_channels;
    case APE_INFO_TOTAL_BLOCKS:
        return stream.duration > 0 ? std::intptr_t(stream.duration) : 0;
    default:
        return 0;
    }
}

} // namespace lv
