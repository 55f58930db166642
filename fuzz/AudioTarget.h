#pragma once

// What the soundtrack targets share: the input opened through the facade, by its extension,
// as "Match audio" and --duration open a soundtrack.

#include "Audio/AudioFile.h"

#include <cstddef>
#include <cstdint>

namespace lvfuzz {

// Opens the input as a soundtrack file of that extension and reads its duration, formatted as
// the window shows it; false when it does not open. A duration that is not a finite
// non-negative number is a finding. The readers' lv::Error passes through.
bool OpenSoundtrack(lv::TAudioFile& audio, const std::uint8_t* data, std::size_t size,
                    const char* extension);

} // namespace lvfuzz
