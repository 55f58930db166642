#pragma once

namespace lv {

// Opens /dev/null on whichever of descriptors 0, 1 and 2 a parent left closed. Call first
// in main: otherwise the next file opened takes the number, and progress lines or
// messages written to "standard error" land inside a video.
void KeepStandardStreamsOpen();

} // namespace lv
