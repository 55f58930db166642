#include "Audio/DecoderLibraries.h"

#include "Audio/Ac3Lib.h"
#include "Audio/MPC/MpcLib.h"
#include "Audio/Monkey/MacLib.h"
#include "Audio/Ogg/VorbisFileLib.h"
#include "Audio/Wma/WmLib.h"
#include "platform/AvFormatLib.h"

#include <mutex>

namespace lv {

namespace {

std::once_flag g_loadOnce;
std::mutex g_mutex;
std::shared_ptr<const TDecoderLibraries> g_libraries; // guarded by g_mutex

std::shared_ptr<const TDecoderLibraries> loadAll() {
    auto libs = std::make_shared<TDecoderLibraries>();
    libs->VorbisFile = TVorbisFileLib::Load(libs->Statuses);
    // Windows Media and Monkey's Audio share one demuxer library.
    std::shared_ptr<const TAvFormatLib> avformat = TAvFormatLib::Load(libs->Statuses);
    libs->Wm = TWmLib::Load(avformat, libs->Statuses);
    libs->Mac = TMacLib::Load(avformat, libs->Statuses);
    libs->Ac3 = TAc3Lib::Load(libs->Statuses);
    libs->Mpc = TMpcLib::Load(libs->Statuses);
    return libs;
}

} // namespace

void LoadDecoderLibraries() {
    std::call_once(g_loadOnce, [] {
        auto libs = loadAll();
        std::lock_guard lock(g_mutex);
        if (!g_libraries)
            g_libraries = std::move(libs);
    });
}

std::shared_ptr<const TDecoderLibraries> DecoderLibraries() {
    LoadDecoderLibraries();
    std::lock_guard lock(g_mutex);
    return g_libraries;
}

void ReloadDecoderLibraries() {
    LoadDecoderLibraries();
    auto libs = loadAll();
    std::lock_guard lock(g_mutex);
    g_libraries = std::move(libs);
}

} // namespace lv
