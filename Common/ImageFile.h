#pragma once

#include <QImage>

#include <string>

namespace lv {

class TSharedThumbnails;

// One picture file as a 32-bit ARGB raster (QImage::Format_ARGB32, 0xAARRGGBB), fitted
// into a target size without cropping or distortion: scaled with the Mitchell-Netravali
// filter to the largest size that fits, centred, black bars around.
// Used by one thread at a time.
class TImageFile {
public:
    // Loads the file at full size, turned upright by its EXIF orientation; the decoder follows
    // the extension (".bmp", ".jpg", ".jpeg", any case), not the content. Throws lv::Error
    // naming the file when it cannot be opened, has no decoder, does not decode, claims more
    // pixels than it holds or is too large to hold in memory.
    explicit TImageFile(const std::string& fileName);
    // The same picture as loading, then Fit(width, height), but decoded by strips straight
    // into the fitted size, so that the memory needed does not grow with the picture. Targets
    // of thumbnail size decode large JPEGs reduced first, and go through the shared thumbnail
    // cache when one is given. With readAhead, a picture read by strips is decoded on a
    // second thread while the first scales it: the same picture, sooner, for a caller that
    // waits for it.
    TImageFile(const std::string& fileName, int width, int height,
               const TSharedThumbnails* thumbnails = nullptr, bool readAhead = false);

    // Scales and centres the picture into width x height with black bars. Does nothing when
    // width x height is 0.
    void Fit(int width, int height);

    // dest becomes w x h (reallocated only when its size or format differs) and receives the
    // w x h pixels whose top-left corner is (x, y), unscaled. Pixels outside the picture are
    // black.
    void CopyWindow(int x, int y, QImage& dest, int w, int h) const;
    // The same window to read: the picture's own pixels, valid while this object lives and
    // is not fitted again, when the window lies on the picture; else a copy.
    QImage Window(int x, int y, int w, int h) const;

    const QImage& Raster() const { return m_raster; }

private:
    QImage m_raster;
};

// Margins of a picture fitted into a frame: the bars' thickness on each side.
struct FitMargins {
    int horizontal = 0; // m_h: left and right bars
    int vertical = 0;   // m_v: top and bottom bars
};

// The fitting arithmetic: single-precision aspect ratios, extended-precision margins,
// nearest integer with ties to even.
FitMargins ComputeFitMargins(int picWidth, int picHeight, int frameWidth, int frameHeight);

// Resamples src (ARGB32) into the rectangle (x, y, w, h) of dest with the Mitchell-Netravali
// cubic (B = C = 1/3). Pixels of dest outside the rectangle are untouched.
void ScaleMitchell(const QImage& src, QImage& dest, int x, int y, int w, int h);

} // namespace lv
