#include "Common/FrameServer.h"

#include "platform/Files.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace lv {

namespace {

long double panStep(int size, int n) {
    return n >= 2 ? (long double)size / 4 / (n - 1) : (long double)size;
}

int nearest(long double v) {
    return int(std::llrint(v));
} // ties to even

// nearest(c x 0.6) for every channel value: the band's darkening.
const std::array<std::uint8_t, 256>& darkenTable() {
    static const std::array<std::uint8_t, 256> table = [] {
        std::array<std::uint8_t, 256> t{};
        for (int c = 0; c < 256; ++c)
            t[std::size_t(c)] = std::uint8_t(nearest((long double)c * 0.6L));
        return t;
    }();
    return table;
}

// Caption texts are drawn at twice the font size, then reduced by 2. Up to 576 pixels on the
// frame's shorter side the geometry is fixed; larger (HD) frames scale it with that side, so
// that the caption stays readable on a television instead of shrinking to a sliver (30 pixels
// at 1080 rows), and a portrait frame's caption fits its width.
struct CaptionGeometry {
    int fontPixels = 16; // 12 points at 96 dpi
    int textTop = 20;    // texts start this many rows above the bottom
    int numberLeft = 10;
    int textLeftOfMiddle = 50;

    explicit CaptionGeometry(int shorterSide) {
        if (shorterSide <= 576)
            return;
        const double scale = shorterSide / 576.0;
        fontPixels = int(std::lround(16 * scale));
        textTop = int(std::lround(20 * scale));
        numberLeft = int(std::lround(10 * scale));
        textLeftOfMiddle = int(std::lround(50 * scale));
    }
};

// The first row the caption band darkens.
int darkRowsTop(int h) {
    return std::min(int(std::floor(h * 0.93)), h - 28);
}

} // namespace

// Coverage (0..255) of the white caption texts over the rows Hd - 20 .. Hd - 1.
struct TFrameServer::CaptionCache {
    int index = -1;
    int count = -1;
    int width = -1;
    int height = -1;
    std::string text;
    int top = 0; // first frame row of the mask
    int rows = 0;
    std::vector<std::uint8_t> coverage; // width x rows

    bool matches(int i, int c, int w, int h, const std::string& t) const {
        return i == index && c == count && w == width && h == height && t == text;
    }

    void build(int i, int c, int w, int h, const std::string& t) {
        index = i;
        count = c;
        width = w;
        height = h;
        text = t;
        const CaptionGeometry g(std::min(w, h));
        top = std::max(0, h - g.textTop);
        rows = h - top;
        const int originShift = (h - g.textTop) - top; // < 0 only for frames under 20 rows
        coverage.assign(std::size_t(w) * std::size_t(rows), 0);
        if (rows <= 0 || w <= 0)
            return;

        QImage big(2 * w, 2 * rows, QImage::Format_ARGB32_Premultiplied);
        big.fill(Qt::transparent);
        {
            QPainter p(&big);
            QFont font(QStringLiteral("MS Sans Serif"));
            font.setPixelSize(2 * g.fontPixels);
            p.setFont(font);
            p.setPen(Qt::white);
            const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine;
            char number[64];
            std::snprintf(number, sizeof number, "Picture : %d / %d", i + 1, c);
            const qreal y = 2.0 * originShift;
            const QString numberText = QString::fromUtf8(number);
            p.drawText(QRectF(2.0 * g.numberLeft, y, 4.0 * w, 4.0 * rows), flags, numberText);
            // On a narrow frame the text starts after the number rather than over it.
            const qreal numberEnd =
                2.0 * g.numberLeft + QFontMetricsF(font).horizontalAdvance(numberText);
            const qreal textLeft =
                std::max(2.0 * (w / 2 - g.textLeftOfMiddle), numberEnd + g.fontPixels);
            p.drawText(QRectF(textLeft, y, 4.0 * w, 4.0 * rows), flags, QString::fromStdString(t));
        }
        // Reduce by 2: each pixel is the mean of its 2 x 2 block.
        for (int yy = 0; yy < rows; ++yy) {
            const auto* r0 = reinterpret_cast<const QRgb*>(big.constScanLine(2 * yy));
            const auto* r1 = reinterpret_cast<const QRgb*>(big.constScanLine(2 * yy + 1));
            for (int xx = 0; xx < w; ++xx) {
                const int sum = qAlpha(r0[2 * xx]) + qAlpha(r0[2 * xx + 1]) + qAlpha(r1[2 * xx]) +
                                qAlpha(r1[2 * xx + 1]);
                coverage[std::size_t(yy) * std::size_t(w) + std::size_t(xx)] =
                    std::uint8_t((sum + 2) / 4);
            }
        }
    }
};

TFrameServer::TFrameServer(const TStringList& picturePaths, const TStringList* pictureTexts,
                           int framesPerPicture, int frameHeight, int frameWidth,
                           bool dynamicPictures, bool crossFade, bool textOverlay)
    : m_paths(picturePaths), m_texts(pictureTexts), m_n(std::max(1, framesPerPicture)),
      m_f(crossFade ? (m_n / 20) * 6 : 0), m_height(frameHeight), m_width(frameWidth),
      m_stepY(panStep(frameHeight, m_n)), m_stepX(panStep(frameWidth, m_n)),
      m_dynamic(dynamicPictures), m_crossFade(crossFade), m_textOverlay(textOverlay),
      m_fader(m_fadeA, m_fadeB, m_f), m_caption(std::make_unique<CaptionCache>()),
      m_watch(picturePaths.Watch([this] {
          m_currentIndex = -1;
          m_nextIndex = -1;
      })) {}

// A prefetch still running is waited for: it reads the list and the fitted size of this server.
TFrameServer::~TFrameServer() = default;

int TFrameServer::FrameCount() const {
    const int count = int(m_paths.Count());
    return count * m_n + (count - 1) * m_f;
}

void TFrameServer::RenderFrame(QImage& dest, int i) {
    const int p = m_n + m_f;
    const int k = i / p, r = i % p;
    if (r < m_n) {
        // Past a fade its frames are no longer needed: a 4K pair is 66 MB.
        if (m_fadeIndex != -1) {
            m_fadeIndex = -1;
            m_fadeA = QImage();
            m_fadeB = QImage();
        }
        RenderPicture(k, r, dest);
    } else {
        RenderFade(k, r - m_n, dest);
    }
    if (m_textOverlay)
        DrawCaption(dest);
}

std::unique_ptr<TImageFile> TFrameServer::LoadFitted(int k) const {
    const int w = m_dynamic ? m_width * 4 / 3 : m_width;
    const int h = m_dynamic ? m_height * 4 / 3 : m_height;
    return std::make_unique<TImageFile>(m_paths[std::size_t(k)], w, h, m_thumbnails, m_readAhead);
}

// The prefetched picture k, or null when none is ready for k. A prefetch of another picture
// is dropped; a failed prefetch rethrows here, like a load in this thread would.
std::unique_ptr<TImageFile> TFrameServer::TakePrefetched(int k) {
    if (!m_next.valid())
        return nullptr;
    const bool wanted = m_nextIndex == k;
    m_nextIndex = -1;
    auto next = std::move(m_next);
    if (!wanted) {
        // A jump (a preview's scrub) does not wait for the picture it no longer needs: that
        // load ends on its own thread while picture k loads here. One such load at most.
        if (m_dropped.valid())
            m_dropped.wait();
        m_dropped = std::move(next);
        return nullptr;
    }
    return next.get();
}

void TFrameServer::LoadPicture(int k, bool nextNow) {
    if (k == m_currentIndex)
        return;
    m_current.reset();
    m_currentIndex = -1;
    std::unique_ptr<TImageFile> picture = TakePrefetched(k);
    // A jump into a fade needs k + 1 as well: it loads beside k. Otherwise k has the machine
    // to itself, and the next one loads once it is there.
    if (picture || nextNow)
        PrefetchAfter(k);
    m_current = picture ? std::move(picture) : LoadFitted(k);
    m_currentIndex = k;
    PrefetchAfter(k);
    // A dropped load that has ended gives its picture's memory back.
    if (m_dropped.valid() &&
        m_dropped.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        m_dropped = {};
}

// Loads picture k + 1 on another thread while picture k is shown (and fades in).
void TFrameServer::PrefetchAfter(int k) {
    if (m_prefetch && !m_next.valid() && k + 1 < int(m_paths.Count())) {
        m_nextIndex = k + 1;
        m_next = std::async(std::launch::async, [this, k] { return LoadFitted(k + 1); });
    }
}

void TFrameServer::PanOffsets(int k, int s, int& x, int& y) const {
    if (!m_dynamic) {
        x = y = 0;
        return;
    }
    const int back = m_n - 1 - s;
    switch (k % 4) {
    case 0:
        x = nearest(s * m_stepX), y = nearest(s * m_stepY);
        break;
    case 1:
        x = nearest(s * m_stepX), y = nearest(back * m_stepY);
        break;
    case 2:
        x = nearest(back * m_stepX), y = nearest(back * m_stepY);
        break;
    default:
        x = nearest(back * m_stepX), y = nearest(s * m_stepY);
        break;
    }
}

void TFrameServer::RenderPicture(int k, int s, QImage& dest) {
    LoadPicture(k);
    int x = 0, y = 0;
    PanOffsets(k, s, x, y);
    m_current->CopyWindow(x, y, dest, m_width, m_height);
}

void TFrameServer::RenderFrame(TDib& dib, int i, QImage& scratch) {
    const int p = m_n + m_f;
    const int k = i / p, r = i % p;
    if (r < m_n) {
        RenderFrame(scratch, i);
        ImageToDib(scratch, dib);
        return;
    }
    PrepareFade(k, scratch);
    scratch = QImage();
    dib.SetSize(m_width, m_height);
    // Bands above the caption, then the caption's rows in one band of their own.
    constexpr int kBandRows = 64;
    const int captionTop = m_textOverlay ? CaptionFirstRow(m_width, m_height) : m_height;
    QImage band;
    for (int y = 0; y < m_height;) {
        const int rows = y < captionTop ? std::min(kBandRows, captionTop - y) : m_height - y;
        m_fader.BlendRows(r - m_n, y, rows, band);
        if (y >= captionTop)
            DrawCaption(band, y, m_height);
        ImageToDibRows(band, dib, y);
        y += rows;
    }
}

void TFrameServer::RenderFade(int k, int t, QImage& dest) {
    PrepareFade(k, dest);
    m_fader.Blend(t, dest);
}

void TFrameServer::PrepareFade(int k, QImage& dest) {
    if (k != m_fadeIndex) {
        m_fadeIndex = -1; // a failure half-way leaves no stale pair behind
        LoadPicture(k, true);
        RenderPicture(k, m_n - 1, m_fadeA);
        // dest holds no frame of the fade yet: its memory goes back while picture k + 1 loads.
        // Picture k + 1 stays loaded for the whole fade: its first frame is read in place.
        dest = QImage();
        LoadPicture(k + 1);
        int x = 0, y = 0;
        PanOffsets(k + 1, 0, x, y);
        m_fadeB = m_current->Window(x, y, m_width, m_height);
        m_fadeIndex = k;
    }
}

// A reference into the text list, so that a frame allocates nothing; without a text list the
// file name is kept in `scratch`.
const std::string& TFrameServer::CaptionText(int k, std::string& scratch) const {
    if (m_texts && k < int(m_texts->Count()))
        return (*m_texts)[std::size_t(k)];
    scratch = m_texts ? std::string() : ExtractFileName(m_paths[std::size_t(k)]);
    return scratch;
}

int TFrameServer::CaptionFirstRow(int w, int h) {
    return std::max(0, std::min(darkRowsTop(h), h - CaptionGeometry(std::min(w, h)).textTop));
}

void TFrameServer::DrawCaption(QImage& dest, int top, int frameHeight) {
    const int w = dest.width(), h = frameHeight > 0 ? frameHeight : dest.height();
    const int y0 = darkRowsTop(h);
    const auto& dark = darkenTable();
    const auto row = [&](int y) { return reinterpret_cast<QRgb*>(dest.scanLine(y - top)); };
    for (int y = std::max(top, y0); y < h; ++y) {
        auto* line = row(y);
        for (int x = 0; x < w; ++x) {
            const QRgb c = line[x];
            line[x] = 0xFF000000u | (QRgb(dark[qRed(c)]) << 16) | (QRgb(dark[qGreen(c)]) << 8) |
                      dark[qBlue(c)];
        }
    }
    const int index = m_currentIndex;
    if (index == -1)
        return;
    const int count = int(m_paths.Count());
    const std::string& text = CaptionText(index, m_captionScratch);
    if (!m_caption->matches(index, count, w, h, text))
        m_caption->build(index, count, w, h, text);
    const CaptionCache& cap = *m_caption;
    for (int yy = std::max(0, top - cap.top); yy < cap.rows; ++yy) {
        auto* line = row(cap.top + yy);
        const std::uint8_t* cov = cap.coverage.data() + std::size_t(yy) * std::size_t(w);
        for (int x = 0; x < w; ++x) {
            const unsigned a = cov[x];
            if (a == 0)
                continue;
            const QRgb c = line[x];
            auto over = [a](unsigned v) { return v + ((255 - v) * a + 127) / 255; };
            line[x] = 0xFF000000u | (over(qRed(c)) << 16) | (over(qGreen(c)) << 8) | over(qBlue(c));
        }
    }
}

} // namespace lv
