#include "Common/ImageFile.h"

#include "Common/BmpReader.h"
#include "Common/JpegDecoder.h"
#include "Common/Orientation.h"
#include "Common/StripScaler.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/SharedThumbnails.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <functional>
#include <future>

namespace lv {

namespace {

std::string lowerExt(const std::string& fileName) {
    std::string ext = ExtractFileExt(fileName);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

bool isJpeg(const std::string& ext) {
    return ext == ".jpg" || ext == ".jpeg";
}

QImage load(const std::string& fileName) {
    const std::string ext = lowerExt(fileName);
    if (isJpeg(ext)) {
        const int orientation = TJpegReader(fileName).Orientation();
        return Oriented(DecodeJpeg(fileName), orientation);
    }
    if (ext == ".bmp")
        return TBmpReader(fileName).ReadWhole();
    throw Error("No decoder for picture file " + fileName);
}

// Rows handed to the scaler at a time: a JPEG's MCU row is at most 16 rows high.
constexpr int kStripRows = 16;

// Targets no larger than this are previews (the thumbnails, the organise box): no video frame
// the program offers is this small, so frames keep the full-size decoding.
constexpr int kPreviewMaxWidth = 160, kPreviewMaxHeight = 120;

using RowReader = std::function<int(uchar* rows, qsizetype stride, int maxRows)>;

// Scales a picture read by strips (stored srcW x srcH, turned upright by `orientation`) into the
// rectangle m of dest, whose size is the upright fitted size.
void scaleStrips(int srcW, int srcH, int orientation, const RowReader& read, QImage& dest,
                 const FitMargins& m, bool readAhead) {
    const int w = dest.width() - 2 * m.horizontal, h = dest.height() - 2 * m.vertical;
    auto strip = [&](int rows) {
        QImage s(srcW, rows, QImage::Format_ARGB32);
        if (s.isNull())
            throw Error("Cannot allocate rows of " + std::to_string(srcW) + " pixels");
        return s;
    };
    auto feedAll = [&](TStripScaler* scaler) {
        if (!readAhead) {
            QImage rows = strip(kStripRows);
            for (int row = 0; row < srcH;) {
                const int got = read(rows.bits(), rows.bytesPerLine(), kStripRows);
                if (got == 0)
                    break;
                if (scaler)
                    scaler->Feed(rows.constBits(), rows.bytesPerLine(), got);
                row += got;
            }
            return;
        }
        // The next strip is decoded on another thread while this one is scaled: the picture
        // is there in about the time of the slower half. Strips of up to 1 MB, so that the
        // handing over costs little and memory stays flat.
        const int count = std::clamp(int((1 << 20) / (std::int64_t(srcW) * 4)), kStripRows, 64);
        QImage strips[2] = {strip(count), strip(count)};
        auto readInto = [&](QImage* s) { return read(s->bits(), s->bytesPerLine(), count); };
        std::future<int> next = std::async(std::launch::async, readInto, &strips[0]);
        for (int row = 0, current = 0; row < srcH; current ^= 1) {
            const int got = next.get();
            if (got == 0)
                break;
            row += got;
            if (row < srcH)
                next = std::async(std::launch::async, readInto, &strips[current ^ 1]);
            if (scaler)
                scaler->Feed(strips[current].constBits(), strips[current].bytesPerLine(), got);
        }
    };
    if (w <= 0 || h <= 0) {
        feedAll(nullptr); // nothing to draw, but a damaged file is still an error
        return;
    }
    if (orientation == 1) {
        TStripScaler scaler(srcW, srcH, dest, m.horizontal, m.vertical, w, h);
        feedAll(&scaler);
        return;
    }
    // Scaled as stored, then turned: only the fitted picture is ever turned, whatever the
    // picture's size.
    QImage stored(SwapsAxes(orientation) ? h : w, SwapsAxes(orientation) ? w : h,
                  QImage::Format_ARGB32);
    TStripScaler scaler(srcW, srcH, stored, 0, 0, stored.width(), stored.height());
    feedAll(&scaler);
    OrientInto(stored, orientation, dest, m.horizontal, m.vertical);
}

QImage blackRaster(int width, int height) {
    QImage raster(width, height, QImage::Format_ARGB32);
    if (raster.isNull())
        throw Error("Cannot fit a picture into " + std::to_string(width) + "x" +
                    std::to_string(height));
    raster.fill(0xFF000000u);
    return raster;
}

// A camera's embedded preview stands in for the photo in a thumbnail when it shows the same
// shape and is at least as large as the thumbnail's picture: no need to decode megabytes.
// As stored (not turned), ARGB32; null when it does not serve.
QImage embeddedPreview(const TJpegReader& jpeg, int storedFitW, int storedFitH) {
    const std::string& bytes = jpeg.EmbeddedThumbnail();
    if (bytes.empty())
        return {};
    // Its header first: a preview larger than the photo is none, and decoding it would cost
    // memory that the photo's own pixel claim does not bound.
    QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "JPG");
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > jpeg.Width() || size.height() > jpeg.Height() ||
        size.width() < storedFitW || size.height() < storedFitH)
        return {};
    QImage preview = reader.read();
    if (preview.isNull() || preview.width() < storedFitW || preview.height() < storedFitH)
        return {};
    const double photo = double(jpeg.Width()) / jpeg.Height();
    const double shown = double(preview.width()) / preview.height();
    if (std::abs(shown / photo - 1.0) > 0.01)
        return {}; // letterboxed or cropped by the camera
    return preview.convertToFormat(QImage::Format_ARGB32);
}

bool isPreviewSize(int width, int height) {
    return width <= kPreviewMaxWidth && height <= kPreviewMaxHeight;
}

// Decodes and fits in one pass: only the fitted picture and a strip of rows are in memory.
// A preview may come from the camera's embedded one or from reduced decoding.
QImage loadFitted(const std::string& fileName, int width, int height, bool preview,
                  bool readAhead = false) {
    const std::string ext = lowerExt(fileName);
    if (isJpeg(ext)) {
        TJpegReader jpeg(fileName);
        const int o = jpeg.Orientation();
        const int uw = SwapsAxes(o) ? jpeg.Height() : jpeg.Width();
        const int uh = SwapsAxes(o) ? jpeg.Width() : jpeg.Height();
        const FitMargins m = ComputeFitMargins(uw, uh, width, height);
        int denom = 1;
        if (preview) {
            const int fw = width - 2 * m.horizontal, fh = height - 2 * m.vertical;
            if (QImage embedded =
                    embeddedPreview(jpeg, SwapsAxes(o) ? fh : fw, SwapsAxes(o) ? fw : fh);
                !embedded.isNull()) {
                QImage raster = blackRaster(width, height);
                ScaleMitchell(Oriented(embedded, o), raster, m.horizontal, m.vertical, fw, fh);
                return raster;
            }
            denom = JpegScaleDenom(jpeg.Width(), jpeg.Height(), SwapsAxes(o) ? fh : fw,
                                   SwapsAxes(o) ? fw : fh);
        }
        jpeg.Start(denom);
        QImage raster = blackRaster(width, height);
        scaleStrips(
            jpeg.OutputWidth(), jpeg.OutputHeight(), o,
            [&](uchar* rows, qsizetype stride, int n) { return jpeg.ReadRows(rows, stride, n); },
            raster, m, readAhead);
        jpeg.Finish();
        return raster;
    }
    if (ext == ".bmp") {
        TBmpReader bmp(fileName);
        if (bmp.Streamed()) {
            const FitMargins m = ComputeFitMargins(bmp.Width(), bmp.Height(), width, height);
            QImage raster = blackRaster(width, height);
            scaleStrips(
                bmp.Width(), bmp.Height(), 1,
                [&](uchar* rows, qsizetype stride, int n) { return bmp.ReadRows(rows, stride, n); },
                raster, m, readAhead);
            return raster;
        }
    }
    return {};
}

// The upright size and the orientation of a picture that loads by strips, from its header;
// false for the others.
bool uprightSize(const std::string& fileName, int& width, int& height, int& orientation) {
    const std::string ext = lowerExt(fileName);
    orientation = 1;
    if (isJpeg(ext)) {
        const TJpegReader jpeg(fileName);
        orientation = jpeg.Orientation();
        width = SwapsAxes(orientation) ? jpeg.Height() : jpeg.Width();
        height = SwapsAxes(orientation) ? jpeg.Width() : jpeg.Height();
        return true;
    }
    if (ext == ".bmp") {
        const TBmpReader bmp(fileName);
        width = bmp.Width();
        height = bmp.Height();
        return bmp.Streamed();
    }
    return false;
}

// A preview through the shared thumbnail cache: the cached thumbnail scaled down when one of
// the picture's shape is there, else a normal-size one made, kept and scaled down. Null when
// the cache cannot serve.
QImage previewThroughCache(const std::string& fileName, int width, int height,
                           const TSharedThumbnails& cache) {
    int uw = 0, uh = 0, o = 1;
    if (!uprightSize(fileName, uw, uh, o) || uw <= 0 || uh <= 0)
        return {};
    const FitMargins m = ComputeFitMargins(uw, uh, width, height);
    const int fw = width - 2 * m.horizontal, fh = height - 2 * m.vertical;
    if (fw <= 0 || fh <= 0)
        return {};
    // The shorter side, as the longer one makes it, within a pixel of rounding.
    auto ofShape = [&](const QImage& t) {
        return uw >= uh ? std::abs(t.height() - double(t.width()) * uh / uw) <= 1
                        : std::abs(t.width() - double(t.height()) * uw / uh) <= 1;
    };
    QImage thumb = cache.Find(fileName, QSize(fw, fh), o == 1);
    if (thumb.isNull() || !ofShape(thumb)) {
        const double k = std::min(1.0, double(TSharedThumbnails::kNormalSize) / std::max(uw, uh));
        const int bw = std::max(1, int(std::lround(uw * k))),
                  bh = std::max(1, int(std::lround(uh * k)));
        if (bw < fw || bh < fh)
            return {};
        thumb = loadFitted(fileName, bw, bh, true);
        if (thumb.isNull())
            return {};
        // The box's rounding may leave a bar of a pixel: not in a thumbnail others show.
        if (const FitMargins bars = ComputeFitMargins(uw, uh, bw, bh);
            bars.horizontal || bars.vertical)
            thumb = thumb.copy(bars.horizontal, bars.vertical, bw - 2 * bars.horizontal,
                               bh - 2 * bars.vertical);
        cache.Store(fileName, thumb); // a thumbnail not kept is only made again
    }
    QImage raster = blackRaster(width, height);
    ScaleMitchell(thumb, raster, m.horizontal, m.vertical, fw, fh);
    return raster;
}

} // namespace

TImageFile::TImageFile(const std::string& fileName) : m_raster(load(fileName)) {}

TImageFile::TImageFile(const std::string& fileName, int width, int height,
                       const TSharedThumbnails* thumbnails, bool readAhead) {
    const bool preview = isPreviewSize(width, height);
    if (thumbnails && preview && std::int64_t(width) * height > 0)
        m_raster = previewThroughCache(fileName, width, height, *thumbnails);
    if (m_raster.isNull() && std::int64_t(width) * height > 0)
        m_raster = loadFitted(fileName, width, height, preview, readAhead);
    if (m_raster.isNull()) {
        m_raster = load(fileName);
        Fit(width, height);
    }
}

FitMargins ComputeFitMargins(int picWidth, int picHeight, int frameWidth, int frameHeight) {
    const float picAspect = float(picWidth) / float(picHeight);
    const float frameAspect = float(frameWidth) / float(frameHeight);
    const long double picW = picWidth, picH = picHeight;
    FitMargins m;
    if (picAspect > frameAspect) {
        const long double v = (frameWidth / picW) * (picW / frameAspect - picH) / 2;
        m.vertical = int(std::llrint(v)); // default rounding: nearest, ties to even
    } else {
        const long double h = (frameHeight / picH) * (picH * frameAspect - picW) / 2;
        m.horizontal = int(std::llrint(h));
    }
    return m;
}

void ScaleMitchell(const QImage& src, QImage& dest, int x, int y, int w, int h) {
    if (w <= 0 || h <= 0 || src.isNull())
        return;
    TStripScaler scaler(src.width(), src.height(), dest, x, y, w, h);
    scaler.Feed(src.constBits(), src.bytesPerLine(), src.height());
}

void TImageFile::Fit(int width, int height) {
    if (std::int64_t(width) * height == 0 || m_raster.isNull())
        return;
    const FitMargins m = ComputeFitMargins(m_raster.width(), m_raster.height(), width, height);
    QImage source = std::move(m_raster);
    m_raster = blackRaster(width, height);
    ScaleMitchell(source, m_raster, m.horizontal, m.vertical, width - 2 * m.horizontal,
                  height - 2 * m.vertical);
}

QImage TImageFile::Window(int x, int y, int w, int h) const {
    if (x >= 0 && y >= 0 && x + w <= m_raster.width() && y + h <= m_raster.height() &&
        m_raster.format() == QImage::Format_ARGB32)
        return QImage(m_raster.constScanLine(y) + std::size_t(x) * 4, w, h, m_raster.bytesPerLine(),
                      QImage::Format_ARGB32);
    QImage copy;
    CopyWindow(x, y, copy, w, h);
    return copy;
}

void TImageFile::CopyWindow(int x, int y, QImage& dest, int w, int h) const {
    if (dest.width() != w || dest.height() != h || dest.format() != QImage::Format_ARGB32)
        dest = QImage(w, h, QImage::Format_ARGB32);
    const int srcW = m_raster.width(), srcH = m_raster.height();
    // The part of the window that lies on the picture.
    const int x0 = std::clamp(x, 0, srcW), x1 = std::clamp(x + w, 0, srcW);
    const bool inside = x >= 0 && y >= 0 && x + w <= srcW && y + h <= srcH;
    if (!inside)
        dest.fill(0xFF000000u);
    for (int row = 0; row < h; ++row) {
        const int sy = y + row;
        if (sy < 0 || sy >= srcH || x1 <= x0)
            continue;
        const auto* s = reinterpret_cast<const QRgb*>(m_raster.constScanLine(sy)) + x0;
        auto* d = reinterpret_cast<QRgb*>(dest.scanLine(row)) + (x0 - x);
        std::memcpy(d, s, std::size_t(x1 - x0) * sizeof(QRgb));
    }
}

} // namespace lv
