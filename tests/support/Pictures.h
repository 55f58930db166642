#pragma once

#include <QImage>

#include <string>

namespace lvtest {

// A w x h ARGB32 picture of one colour.
QImage solidImage(int w, int h, QRgb colour);
// A picture with detail at every scale: smooth gradients plus fine stripes and a grid.
QImage detailedImage(int w, int h);
// Saves with the format given explicitly ("BMP", "JPG"), whatever the file's extension says.
void savePicture(const QImage& image, const std::string& path, const char* format,
                 int quality = 95);

} // namespace lvtest
