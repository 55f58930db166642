#pragma once

#include "platform/DynLib.h"

#include <memory>
#include <vector>

namespace lv {

struct TVorbisFileLib;
class TWmLib;
class TMacLib;
class TAc3Lib;
class TMpcLib;

// The decoder libraries loaded at start-up, each optional: a null member means its format
// is unavailable and its reader refuses with the message naming the missing library.
struct TDecoderLibraries {
    std::shared_ptr<const TVorbisFileLib> VorbisFile; // Ogg Vorbis
    std::shared_ptr<const TWmLib> Wm;                 // Windows Media
    std::shared_ptr<const TMacLib> Mac;               // Monkey's Audio
    std::shared_ptr<const TAc3Lib> Ac3;               // AC-3
    std::shared_ptr<const TMpcLib> Mpc;               // Musepack
    // One line per library tried, in loading order.
    std::vector<TLibraryStatus> Statuses;
};

// Loads every decoder library once, honouring LUMIVANE_DISABLE_LIBS (see platform/DynLib.h).
// The program calls it at start; DecoderLibraries() calls it too, so it may also happen on
// first use. Thread-safe; later calls do nothing.
void LoadDecoderLibraries();

// The loaded set (loading it first if needed). Readers keep the libraries they use alive,
// so a reload never pulls a library from under an open reader.
std::shared_ptr<const TDecoderLibraries> DecoderLibraries();

// Drops the set and loads it again, reading the environment anew: for tests that switch a
// library off. Readers already open keep their libraries. Thread-safe.
void ReloadDecoderLibraries();

} // namespace lv
