#pragma once

#include "platform/DynLib.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <memory>
#include <vector>

namespace lv {

// libogg, libvorbis and libvorbisfile, opened at run time. Every export of the three is
// resolved at load, so a library that lacks one is caught at start-up; the Ogg reader calls
// the four typed ones. Immutable once loaded; shared by the readers that use it.
struct TVorbisFileLib {
    std::unique_ptr<TDynLib> Ogg, Vorbis, VorbisFile;
    // Addresses in the order of OggExports(), VorbisExports(), VorbisFileExports().
    std::vector<void*> OggProcs, VorbisProcs, VorbisFileProcs;

    decltype(&::ov_clear) ov_clear = nullptr;
    decltype(&::ov_open_callbacks) ov_open_callbacks = nullptr;
    decltype(&::ov_info) ov_info = nullptr;
    decltype(&::ov_pcm_total) ov_pcm_total = nullptr;

    // Loads libogg.so.0, libvorbis.so.0, then libvorbisfile.so.3, appending one status per
    // library tried. Null unless all three load with every export: libvorbisfile cannot work
    // without the other two.
    static std::shared_ptr<const TVorbisFileLib> Load(std::vector<TLibraryStatus>& statuses);

    static const std::vector<const char*>& OggExports();
    static const std::vector<const char*>& VorbisExports();
    static const std::vector<const char*>& VorbisFileExports();
};

} // namespace lv
