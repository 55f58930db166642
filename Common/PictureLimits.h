#pragma once

#include <cstdint>
#include <string>

namespace lv {

// A Huffman-coded JPEG spends at least one bit on every 8 x 8 block of its full-resolution
// component (a DC code cannot be shorter), so a file of n bytes holds at most 8 x 64 x n
// pixels. Arithmetic coding can go below that only on flat synthetic pictures, never on a
// photo, so the same bound serves for it.
constexpr std::uint64_t kJpegMaxPixelsPerByte = 8 * 64;

// A picture held at full size needs 4 bytes a pixel in one allocation; beyond this it would
// not fit in the memory of the machines the program runs on.
constexpr std::uint64_t kMaxRasterPixels = std::uint64_t(1) << 28; // 1 GiB of ARGB

// Throws lv::Error naming the file when a JPEG of fileBytes bytes claims more pixels than it
// can hold.
void CheckJpegClaim(const std::string& fileName, std::uint64_t width, std::uint64_t height,
                    std::uint64_t fileBytes);

// Throws lv::Error naming the file when width x height is too large to hold at full size.
void CheckRasterSize(const std::string& fileName, std::uint64_t width, std::uint64_t height);

} // namespace lv
