// BMP pictures: the header check, the strip reader of plain pictures and Qt's reader of the
// other kinds, each fitted.
#include "fuzz/PictureTarget.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    lvfuzz::StartPictureTarget(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    lvfuzz::FitPicture(data, size, ".bmp");
    return 0;
}
