// JPEG pictures: the header and its pixel claim, the EXIF orientation and embedded preview,
// the strip decoder at full and reduced size, and the turn into the upright picture.
#include "fuzz/PictureTarget.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    lvfuzz::StartPictureTarget(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    lvfuzz::FitPicture(data, size, ".jpg");
    return 0;
}
