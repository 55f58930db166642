#include "Common/ImageFile.h"

#include "Common/JpegDecoder.h"
#include "platform/Errors.h"
#include "platform/Files.h"

#include <QImageReader>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <memory>

extern "C" {
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace lv {

namespace {

std::string lowerExt(const std::string& fileName) {
    std::string ext = ExtractFileExt(fileName);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

QImage decodeBmp(const std::string& fileName) {
    if (!FileExists(fileName))
        throw Error("Cannot open picture file " + fileName);
    QImageReader reader(QString::fromStdString(fileName), "bmp");
    reader.setAutoDetectImageFormat(false); // the extension decides, not the content
    QImage image = reader.read();
    if (image.isNull())
        throw Error("Cannot decode picture file " + fileName + ": " +
                    reader.errorString().toStdString());
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage load(const std::string& fileName) {
    const std::string ext = lowerExt(fileName);
    if (ext == ".jpg" || ext == ".jpeg")
        return DecodeJpeg(fileName);
    if (ext == ".bmp")
        return decodeBmp(fileName);
    throw Error("No decoder for picture file " + fileName);
}

struct SwsDeleter {
    void operator()(SwsContext* c) const { sws_freeContext(c); }
};

// Scaling runs on at most two threads: the machine this is built for has two cores, and the
// encoder may be busy on the other one.
constexpr int kScaleThreads = 2;

} // namespace

TImageFile::TImageFile(const std::string& fileName) : m_raster(load(fileName)) {}

TImageFile::TImageFile(const std::string& fileName, int width, int height) : TImageFile(fileName) {
    Fit(width, height);
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
    std::unique_ptr<SwsContext, SwsDeleter> ctx(sws_alloc_context());
    if (!ctx)
        throw Error("Cannot create the picture scaler");
    av_opt_set_int(ctx.get(), "srcw", src.width(), 0);
    av_opt_set_int(ctx.get(), "srch", src.height(), 0);
    av_opt_set_int(ctx.get(), "src_format", AV_PIX_FMT_BGRA, 0);
    av_opt_set_int(ctx.get(), "dstw", w, 0);
    av_opt_set_int(ctx.get(), "dsth", h, 0);
    av_opt_set_int(ctx.get(), "dst_format", AV_PIX_FMT_BGRA, 0);
    av_opt_set_int(ctx.get(), "sws_flags",
                   SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP, 0);
    // Mitchell-Netravali: the bicubic family with B = C = 1/3.
    av_opt_set_double(ctx.get(), "param0", 1.0 / 3.0, 0);
    av_opt_set_double(ctx.get(), "param1", 1.0 / 3.0, 0);
    av_opt_set_int(ctx.get(), "threads", kScaleThreads, 0);
    if (sws_init_context(ctx.get(), nullptr, nullptr) < 0)
        throw Error("Cannot scale a picture of " + std::to_string(src.width()) + "x" +
                    std::to_string(src.height()) + " to " + std::to_string(w) + "x" +
                    std::to_string(h));
    const uint8_t* srcData[4] = {src.constBits(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {int(src.bytesPerLine()), 0, 0, 0};
    uint8_t* dstData[4] = {dest.scanLine(y) + std::size_t(x) * 4, nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(dest.bytesPerLine()), 0, 0, 0};
    sws_scale(ctx.get(), srcData, srcStride, 0, src.height(), dstData, dstStride);
}

void TImageFile::Fit(int width, int height) {
    if (std::int64_t(width) * height == 0 || m_raster.isNull())
        return;
    const FitMargins m = ComputeFitMargins(m_raster.width(), m_raster.height(), width, height);
    QImage source = std::move(m_raster);
    m_raster = QImage(width, height, QImage::Format_ARGB32);
    if (m_raster.isNull())
        throw Error("Cannot fit a picture into " + std::to_string(width) + "x" +
                    std::to_string(height));
    m_raster.fill(0xFF000000u);
    ScaleMitchell(source, m_raster, m.horizontal, m.vertical, width - 2 * m.horizontal,
                  height - 2 * m.vertical);
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
