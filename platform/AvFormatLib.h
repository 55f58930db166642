#pragma once

#include "platform/DynLib.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <memory>
#include <vector>

namespace lv {

// libavformat with libavcodec and libavutil, opened at run time so that the program starts
// without them. Only the calls our readers make are resolved. The members are the libraries'
// own functions; they may be called from any thread, as the libraries allow.
struct TAvFormatLib {
    std::unique_ptr<TDynLib> AvUtil, AvCodec, AvFormat;

    decltype(&::avformat_open_input) avformat_open_input = nullptr;
    decltype(&::avformat_find_stream_info) avformat_find_stream_info = nullptr;
    decltype(&::avformat_close_input) avformat_close_input = nullptr;
    decltype(&::av_find_input_format) av_find_input_format = nullptr;
    decltype(&::avcodec_find_decoder) avcodec_find_decoder = nullptr;
    decltype(&::av_dict_get) av_dict_get = nullptr;

    // Loads libavutil.so.57, libavcodec.so.59 and libavformat.so.59 in that order and
    // appends one status per library tried. Null unless all three load with their exports.
    static std::shared_ptr<const TAvFormatLib> Load(std::vector<TLibraryStatus>& statuses);

    // True when the demuxer of that short name ("asf", "ape") is built in.
    bool HasDemuxer(const char* name) const { return av_find_input_format(name) != nullptr; }
};

} // namespace lv
