#pragma once

#include <QImage>

#include <string>

namespace lv {

// Decodes a JPEG file at full size and full quality into an ARGB32 raster (alpha 255).
// Every decoder error, warning-level corruption included, becomes an lv::Error naming the file.
QImage DecodeJpeg(const std::string& fileName);

} // namespace lv
