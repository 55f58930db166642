#pragma once

#include <string>
#include <vector>

namespace lv {

// The file a run writes: AVI as always, or, when the output's name ends in ".mp4" or ".mkv"
// (in any case), MP4 or Matroska, into which the picture track and the soundtrack's MPEG
// audio frames are copied as they are.
enum class TContainer { Avi, Mp4, Matroska };

TContainer ContainerOfFile(const std::string& output);
// "AVI", "MP4", "Matroska".
std::string ContainerName(TContainer container);
// The extension a file of it gets: ".avi", ".mp4", ".mkv".
std::string ContainerExtension(TContainer container);
// libavformat's muxer of it ("mp4", "matroska"); null for AVI, which our own layer writes.
const char* ContainerMuxer(TContainer container);

// Whether the container can hold what the compressor makes, as its muxer says. AVI holds
// every installed compressor; an unknown FourCC is held by none.
bool ContainerHolds(TContainer container, const std::string& fourCC);
// The installed compressors the container holds, in the compressors' order.
std::vector<std::string> CompressorsHeldBy(TContainer container);
// Why a run to this container cannot use the compressor, before anything is written; empty
// when it can. Names the container and the compressors it takes.
std::string ContainerRefusal(TContainer container, const std::string& fourCC);

// Whether web browsers and phones show the compressor's video in the container: only H.264
// in MP4 or Matroska. (MPEG-4 Part 2 in MP4 plays in desktop players, not in a browser.)
bool PlaysOnTheWeb(TContainer container, const std::string& fourCC);
// The compressor to propose for the web: "H264" when installed, else empty.
std::string WebCompressor();

} // namespace lv
