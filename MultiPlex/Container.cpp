#include "MultiPlex/Container.h"

#include "platform/Compressor.h"

#include <algorithm>
#include <cctype>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace lv {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// The installed compressor of that FourCC (compared as the compressors compare it).
const TCompressorInfo* compressorOf(const std::string& fourCC) {
    std::string wanted = fourCC.substr(0, 4);
    wanted.resize(4, ' ');
    for (const auto& info : ICInstalled())
        if (lower(info.fourCC) == lower(wanted))
            return &info;
    return nullptr;
}

AVCodecID codecOf(const TCompressorInfo& info) {
    if (info.encoder.empty())
        return AV_CODEC_ID_RAWVIDEO;
    const AVCodec* encoder = avcodec_find_encoder_by_name(info.encoder.c_str());
    return encoder ? encoder->id : AV_CODEC_ID_NONE;
}

struct TContainerInfo {
    TContainer container;
    const char* name;
    const char* extension;
    const char* muxer; // libavformat's name; none for AVI, which is written by our own layer
};

constexpr TContainerInfo kContainers[] = {
    {TContainer::Avi, "AVI", ".avi", nullptr},
    {TContainer::Mp4, "MP4", ".mp4", "mp4"},
    {TContainer::Matroska, "Matroska", ".mkv", "matroska"},
};

const TContainerInfo& infoOf(TContainer container) {
    for (const auto& info : kContainers)
        if (info.container == container)
            return info;
    return kContainers[0];
}

} // namespace

TContainer ContainerOfFile(const std::string& output) {
    const auto dot = output.find_last_of("./");
    const std::string ext =
        dot == std::string::npos || output[dot] != '.' ? std::string() : lower(output.substr(dot));
    for (const auto& info : kContainers)
        if (ext == info.extension)
            return info.container;
    return TContainer::Avi;
}

std::string ContainerName(TContainer container) {
    return infoOf(container).name;
}

std::string ContainerExtension(TContainer container) {
    return infoOf(container).extension;
}

const char* ContainerMuxer(TContainer container) {
    return infoOf(container).muxer;
}

bool ContainerHolds(TContainer container, const std::string& fourCC) {
    const TCompressorInfo* info = compressorOf(fourCC);
    if (!info)
        return false;
    if (container == TContainer::Avi)
        return true;
    // Uncompressed frames are stored bottom-up, which only AVI's bitmap header says: in the
    // others they would play upside down (and Matroska's muxer refuses them anyway).
    if (info->encoder.empty())
        return false;
    const AVCodecID codec = codecOf(*info);
    const AVOutputFormat* muxer = av_guess_format(ContainerMuxer(container), nullptr, nullptr);
    return codec != AV_CODEC_ID_NONE && muxer &&
           avformat_query_codec(muxer, codec, FF_COMPLIANCE_NORMAL) == 1;
}

std::vector<std::string> CompressorsHeldBy(TContainer container) {
    std::vector<std::string> held;
    for (const auto& info : ICInstalled())
        if (ContainerHolds(container, info.fourCC))
            held.push_back(info.fourCC);
    return held;
}

std::string ContainerRefusal(TContainer container, const std::string& fourCC) {
    if (container == TContainer::Avi || ContainerHolds(container, fourCC))
        return {};
    std::string list;
    for (const std::string& held : CompressorsHeldBy(container))
        list += (list.empty() ? "" : ", ") + held;
    return "The " + ContainerName(container) + " format cannot hold the compressor " + fourCC +
           "; it takes " + list;
}

bool PlaysOnTheWeb(TContainer container, const std::string& fourCC) {
    const TCompressorInfo* info = compressorOf(fourCC);
    return container != TContainer::Avi && info && codecOf(*info) == AV_CODEC_ID_H264 &&
           ContainerHolds(container, fourCC);
}

std::string WebCompressor() {
    for (const auto& info : ICInstalled())
        if (codecOf(info) == AV_CODEC_ID_H264)
            return info.fourCC;
    return {};
}

} // namespace lv
