#include "Common/PictureLimits.h"

#include "platform/Errors.h"

namespace lv {

namespace {

std::string size(std::uint64_t w, std::uint64_t h) {
    return std::to_string(w) + "x" + std::to_string(h);
}

} // namespace

void CheckJpegClaim(const std::string& fileName, std::uint64_t width, std::uint64_t height,
                    std::uint64_t fileBytes) {
    if (width * height > fileBytes * kJpegMaxPixelsPerByte)
        throw Error("Cannot decode picture file " + fileName + ": its header claims " +
                    size(width, height) + " pixels, more than its " + std::to_string(fileBytes) +
                    " bytes can hold");
}

void CheckRasterSize(const std::string& fileName, std::uint64_t width, std::uint64_t height) {
    if (width * height > kMaxRasterPixels)
        throw Error("Cannot load picture file " + fileName + ": " + size(width, height) +
                    " pixels are too many to hold in memory");
}

} // namespace lv
