#include "Common/Orientation.h"

#include <libexif/exif-data.h>

#include <cstring>
#include <memory>

namespace lv {

namespace {

struct ExifDataDeleter {
    void operator()(ExifData* d) const { exif_data_unref(d); }
};

} // namespace

int ExifOrientation(const unsigned char* data, std::size_t size) {
    if (size < 6 || std::memcmp(data, "Exif\0\0", 6) != 0)
        return 1;
    std::unique_ptr<ExifData, ExifDataDeleter> exif(exif_data_new());
    if (!exif)
        return 1;
    exif_data_load_data(exif.get(), data, unsigned(size));
    ExifEntry* entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || entry->size < 2)
        return 1;
    const int value = exif_get_short(entry->data, exif_data_get_byte_order(exif.get()));
    return value >= 1 && value <= 8 ? value : 1;
}

std::string ExifThumbnail(const unsigned char* data, std::size_t size) {
    if (size < 6 || std::memcmp(data, "Exif\0\0", 6) != 0)
        return {};
    std::unique_ptr<ExifData, ExifDataDeleter> exif(exif_data_new());
    if (!exif)
        return {};
    exif_data_load_data(exif.get(), data, unsigned(size));
    if (!exif->data || exif->size == 0)
        return {};
    return std::string(reinterpret_cast<const char*>(exif->data), exif->size);
}

void OrientInto(const QImage& stored, int orientation, QImage& dest, int x, int y) {
    const int w = stored.width(), h = stored.height();
    const int uw = SwapsAxes(orientation) ? h : w, uh = SwapsAxes(orientation) ? w : h;
    for (int v = 0; v < uh; ++v) {
        auto* out = reinterpret_cast<QRgb*>(dest.scanLine(y + v)) + x;
        if (!SwapsAxes(orientation)) {
            const int sy = orientation == 3 || orientation == 4 ? h - 1 - v : v;
            const auto* in = reinterpret_cast<const QRgb*>(stored.constScanLine(sy));
            if (orientation == 2 || orientation == 3)
                for (int u = 0; u < uw; ++u)
                    out[u] = in[w - 1 - u];
            else
                std::memcpy(out, in, std::size_t(uw) * sizeof(QRgb));
            continue;
        }
        // Upright row v is stored column v (5, 6) or w - 1 - v (7, 8), read downwards for 5 and
        // 8 and upwards for 6 and 7.
        const int sx = orientation == 5 || orientation == 6 ? v : w - 1 - v;
        const bool up = orientation == 6 || orientation == 7;
        for (int u = 0; u < uw; ++u)
            out[u] = reinterpret_cast<const QRgb*>(stored.constScanLine(up ? h - 1 - u : u))[sx];
    }
}

QImage Oriented(const QImage& stored, int orientation) {
    if (orientation == 1)
        return stored;
    QImage upright(SwapsAxes(orientation) ? stored.height() : stored.width(),
                   SwapsAxes(orientation) ? stored.width() : stored.height(),
                   QImage::Format_ARGB32);
    OrientInto(stored, orientation, upright, 0, 0);
    return upright;
}

} // namespace lv
