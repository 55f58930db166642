#pragma once

#include <QImage>

#include <cstddef>
#include <string>

namespace lv {

// The EXIF orientation of a picture: 1 upright, 2 mirrored, 3 turned 180, 4 flipped,
// 5 transposed, 6 to be turned 90 clockwise, 7 transversed, 8 to be turned 270 clockwise.

// The orientation tag of an APP1 block's payload ("Exif\0\0" then TIFF data); 1 when the
// block holds no valid tag or does not parse.
int ExifOrientation(const unsigned char* data, std::size_t size);

// The picture a camera embeds in the EXIF block of an APP1 payload for quick previews (a
// JPEG file image, stored in the same orientation as the photo); empty when there is none.
std::string ExifThumbnail(const unsigned char* data, std::size_t size);

// Orientations 5 to 8 exchange width and height.
inline bool SwapsAxes(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// Writes stored (ARGB32), turned upright for its orientation, into dest (ARGB32) with its
// top-left corner at (x, y).
void OrientInto(const QImage& stored, int orientation, QImage& dest, int x, int y);

// stored turned upright.
QImage Oriented(const QImage& stored, int orientation);

} // namespace lv
