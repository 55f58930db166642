#include "Audio/Ogg/VorbisFileLib.h"

namespace lv {

const std::vector<const char*>& TVorbisFileLib::OggExports() {
    static const std::vector<const char*> names = {
        "oggpack_writeinit", "oggpack_reset",       "oggpack_writeclear",   "oggpack_readinit",
        "oggpack_write",     "oggpack_look",        "oggpack_look1",        "oggpack_adv",
        "oggpack_adv1",      "oggpack_read",        "oggpack_read1",        "oggpack_bytes",
        "oggpack_bits",      "oggpack_get_buffer",  "ogg_stream_packetin",  "ogg_stream_pageout",
        "ogg_stream_flush",  "ogg_sync_init",       "ogg_sync_clear",       "ogg_sync_reset",
        "ogg_sync_destroy",  "ogg_sync_buffer",     "ogg_sync_wrote",       "ogg_sync_pageseek",
        "ogg_sync_pageout",  "ogg_stream_pagein",   "ogg_stream_packetout", "ogg_stream_packetpeek",
        "ogg_stream_init",   "ogg_stream_clear",    "ogg_stream_reset",     "ogg_stream_destroy",
        "ogg_stream_eos",    "ogg_page_version",    "ogg_page_continued",   "ogg_page_bos",
        "ogg_page_eos",      "ogg_page_granulepos", "ogg_page_serialno",    "ogg_page_pageno",
        "ogg_page_packets",  "ogg_packet_clear"};
    return names;
}

const std::vector<const char*>& TVorbisFileLib::VorbisExports() {
    static const std::vector<const char*> names = {
        "vorbis_info_init",          "vorbis_info_clear",          "vorbis_info_blocksize",
        "vorbis_comment_init",       "vorbis_comment_add",         "vorbis_comment_add_tag",
        "vorbis_comment_query",      "vorbis_comment_query_count", "vorbis_comment_clear",
        "vorbis_block_init",         "vorbis_block_clear",         "vorbis_dsp_clear",
        "vorbis_analysis_init",      "vorbis_commentheader_out",   "vorbis_analysis_headerout",
        "vorbis_analysis_buffer",    "vorbis_analysis_wrote",      "vorbis_analysis_blockout",
        "vorbis_analysis",           "vorbis_bitrate_addblock",    "vorbis_bitrate_flushpacket",
        "vorbis_synthesis_headerin", "vorbis_synthesis_init",      "vorbis_synthesis",
        "vorbis_synthesis_blockin",  "vorbis_synthesis_pcmout",    "vorbis_synthesis_read",
        "vorbis_packet_blocksize"};
    return names;
}

const std::vector<const char*>& TVorbisFileLib::VorbisFileExports() {
    static const std::vector<const char*> names = {"ov_clear",
                                                   "ov_open",
                                                   "ov_open_callbacks",
                                                   "ov_test",
                                                   "ov_test_callbacks",
                                                   "ov_test_open",
                                                   "ov_bitrate",
                                                   "ov_bitrate_instant",
                                                   "ov_streams",
                                                   "ov_seekable",
                                                   "ov_serialnumber",
                                                   "ov_raw_total",
                                                   "ov_pcm_total",
                                                   "ov_time_total",
                                                   "ov_raw_seek",
                                                   "ov_pcm_seek",
                                                   "ov_pcm_seek_page",
                                                   "ov_time_seek",
                                                   "ov_time_seek_page",
                                                   "ov_raw_tell",
                                                   "ov_pcm_tell",
                                                   "ov_time_tell",
                                                   "ov_info",
                                                   "ov_comment",
                                                   "ov_read"};
    return names;
}

std::shared_ptr<const TVorbisFileLib> TVorbisFileLib::Load(std::vector<TLibraryStatus>& statuses) {
    auto lib = std::make_shared<TVorbisFileLib>();
    TLibraryStatus status;
    std::vector<std::string> missing; // already reported by LoadLibraryChecked

    lib->Ogg = LoadLibraryChecked("libogg.so.0", "ogg", OggExports(), status);
    statuses.push_back(status);
    lib->Vorbis = LoadLibraryChecked("libvorbis.so.0", "vorbis", VorbisExports(), status);
    statuses.push_back(status);
    if (!lib->Ogg || !lib->Vorbis) {
        statuses.push_back({"libvorbisfile.so.3", false, "needs libogg.so.0 and libvorbis.so.0"});
        return nullptr;
    }
    lib->VorbisFile =
        LoadLibraryChecked("libvorbisfile.so.3", "vorbisfile", VorbisFileExports(), status);
    statuses.push_back(status);
    if (!lib->VorbisFile)
        return nullptr;

    lib->OggProcs = lib->Ogg->ResolveAll(OggExports(), missing);
    lib->VorbisProcs = lib->Vorbis->ResolveAll(VorbisExports(), missing);
    lib->VorbisFileProcs = lib->VorbisFile->ResolveAll(VorbisFileExports(), missing);
    lib->VorbisFile->Resolve(lib->ov_clear, "ov_clear");
    lib->VorbisFile->Resolve(lib->ov_open_callbacks, "ov_open_callbacks");
    lib->VorbisFile->Resolve(lib->ov_info, "ov_info");
    lib->VorbisFile->Resolve(lib->ov_pcm_total, "ov_pcm_total");
    return lib;
}

} // namespace lv
