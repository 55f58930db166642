#include "platform/AvFormatLib.h"

namespace lv {

std::shared_ptr<const TAvFormatLib> TAvFormatLib::Load(std::vector<TLibraryStatus>& statuses) {
    auto lib = std::make_shared<TAvFormatLib>();
    TLibraryStatus status;
    lib->AvUtil = LoadLibraryChecked("libavutil.so.57", "avutil", {"av_dict_get"}, status);
    statuses.push_back(status);
    if (!lib->AvUtil)
        return nullptr;
    lib->AvCodec =
        LoadLibraryChecked("libavcodec.so.59", "avcodec", {"avcodec_find_decoder"}, status);
    statuses.push_back(status);
    if (!lib->AvCodec)
        return nullptr;
    lib->AvFormat = LoadLibraryChecked("libavformat.so.59", "avformat",
                                       {"avformat_open_input", "avformat_find_stream_info",
                                        "avformat_close_input", "av_find_input_format"},
                                       status);
    statuses.push_back(status);
    if (!lib->AvFormat)
        return nullptr;

    lib->AvUtil->Resolve(lib->av_dict_get, "av_dict_get");
    lib->AvCodec->Resolve(lib->avcodec_find_decoder, "avcodec_find_decoder");
    lib->AvFormat->Resolve(lib->avformat_open_input, "avformat_open_input");
    lib->AvFormat->Resolve(lib->avformat_find_stream_info, "avformat_find_stream_info");
    lib->AvFormat->Resolve(lib->avformat_close_input, "avformat_close_input");
    lib->AvFormat->Resolve(lib->av_find_input_format, "av_find_input_format");
    return lib;
}

} // namespace lv
