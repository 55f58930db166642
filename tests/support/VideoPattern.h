#pragma once

#include "platform/Dib.h"

#include <cstdint>

namespace lvtest {

// Frame t of a test video: blue rises left to right, green top to bottom, and a red square
// moves right by 8 pixels a frame. A flipped or channel-swapped picture differs clearly.
void DrawPatternFrame(lv::TDib& dib, std::int32_t width, std::int32_t height, int t);

} // namespace lvtest
