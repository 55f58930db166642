#include "support/Pictures.h"

#include <QPainter>
#include <QString>

#include <cmath>
#include <stdexcept>

namespace lvtest {

QImage solidImage(int w, int h, QRgb colour) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(colour);
    return img;
}

QImage detailedImage(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int r = int(127.5 + 127.5 * std::sin(x * 0.37) * std::cos(y * 0.11));
            const int g = (x * 255) / std::max(1, w - 1);
            const int b = ((x / 3 + y / 5) % 2) ? 230 : 20;
            line[x] = qRgb(r, g, b);
        }
    }
    return img;
}

void savePicture(const QImage& image, const std::string& path, const char* format, int quality) {
    if (!image.save(QString::fromStdString(path), format, quality))
        throw std::runtime_error("cannot save test picture " + path);
}

} // namespace lvtest
