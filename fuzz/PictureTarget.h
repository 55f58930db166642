#pragma once

// The picture targets: one input loaded and fitted as the run and the thumbnails load them.

#include <cstddef>
#include <cstdint>

namespace lvfuzz {

// The picture readers' process, as the program's: an application object, without which Qt
// loads no image plugin (the embedded previews go through Qt's JPEG reader).
void StartPictureTarget(int* argc, char*** argv);

// Loads the bytes as a picture file with this extension into a thumbnail's size (reduced
// decoding, a camera's embedded preview) and into the smallest frame size (full decoding).
void FitPicture(const std::uint8_t* data, std::size_t size, const char* extension);

} // namespace lvfuzz
