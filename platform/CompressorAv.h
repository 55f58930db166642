#pragma once

// Internal to the compressor layer: the compressors backed by libavcodec encoders.

#include "platform/Compressor.h"

#include <memory>
#include <vector>

namespace lv::detail {

// 24-bit uncompressed bottom-up input of a sane size: all that the compressors take.
bool IsRgb24Input(const BITMAPINFOHEADER& in);
// A frame handed to Compress: its format must be the one compression began with.
bool IsFrameOfFormat(const BITMAPINFOHEADER& in, const std::uint8_t* bits,
                     const BITMAPINFOHEADER& begun);

// The encoders of the offered set that this libavcodec build has, in the set's order.
std::vector<TCompressorInfo> AvInstalled();

// A compressor for one of AvInstalled()'s entries.
std::unique_ptr<TCompressor> AvOpen(const TCompressorInfo& info, ICMode mode);

} // namespace lv::detail
