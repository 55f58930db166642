#include "Common/FramesFader.h"

#include <cmath>

namespace lv {

TFramesFader::TFramesFader(const QImage& a, const QImage& b, int fadeFrames)
    : m_a(a), m_b(b), m_fadeFrames(fadeFrames) {}

void TFramesFader::Blend(int t, QImage& dest) {
    const int w = m_a.width(), h = m_a.height();
    if (dest.width() != w || dest.height() != h || dest.format() != QImage::Format_ARGB32)
        dest = QImage(w, h, QImage::Format_ARGB32);
    const float alpha = m_fadeFrames > 0 ? float(t) / float(m_fadeFrames) : 0.0f;
    for (int d = -255; d <= 255; ++d)
        m_delta[std::size_t(d + 255)] = std::int16_t(std::lrint(double(d) * double(alpha)));
    const std::int16_t* delta = m_delta.data() + 255;
    for (int y = 0; y < h; ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(m_a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(m_b.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(dest.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb a = pa[x], b = pb[x];
            const int ar = qRed(a), ag = qGreen(a), ab = qBlue(a);
            const unsigned r = unsigned(ar + delta[qRed(b) - ar]) & 0xFF;
            const unsigned g = unsigned(ag + delta[qGreen(b) - ag]) & 0xFF;
            const unsigned bl = unsigned(ab + delta[qBlue(b) - ab]) & 0xFF;
            out[x] = (r << 16) | (g << 8) | bl;
        }
    }
}

} // namespace lv
