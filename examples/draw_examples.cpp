// Draws the example pictures of the bundled project. They are committed; run this only to
// make them again: lumivane-draw-examples OUTPUT_FOLDER
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>

namespace {

void caption(QPainter& p, const QRect& area, const QString& text) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(area.height() / 12);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(255, 255, 255, 220));
    p.drawText(area.adjusted(0, area.height() / 20, 0, 0), Qt::AlignHCenter | Qt::AlignTop, text);
}

QPainterPath ridge(int w, int h, double base, double amp, double freq, double phase) {
    QPainterPath path(QPointF(0, h));
    for (int x = 0; x <= w; x += 4)
        path.lineTo(x, h * base - amp * h *
                                      (0.6 * std::sin(x * freq + phase) +
                                       0.4 * std::sin(x * freq * 2.7 + phase * 1.3)));
    path.lineTo(w, h);
    path.closeSubpath();
    return path;
}

QImage landscape(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(40, 90, 170));
    sky.setColorAt(0.6, QColor(250, 190, 120));
    p.fillRect(img.rect(), sky);
    QRadialGradient sun(w * 0.7, h * 0.45, h * 0.12);
    sun.setColorAt(0, QColor(255, 250, 210));
    sun.setColorAt(1, QColor(255, 200, 80, 0));
    p.setBrush(sun);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(w * 0.7, h * 0.45), h * 0.12, h * 0.12);
    p.setBrush(QColor(60, 110, 70));
    p.drawPath(ridge(w, h, 0.62, 0.06, 0.008, 1.0));
    p.setBrush(QColor(30, 70, 40));
    p.drawPath(ridge(w, h, 0.78, 0.05, 0.013, 2.0));
    caption(p, img.rect(), QStringLiteral("Landscape"));
    return img;
}

QImage portrait(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(120, 170, 230));
    sky.setColorAt(1, QColor(230, 240, 250));
    p.fillRect(img.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 130, 110));
    p.drawRect(QRectF(w * 0.38, h * 0.25, w * 0.24, h * 0.75));
    p.setBrush(QColor(120, 60, 50));
    QPolygonF roof;
    roof << QPointF(w * 0.32, h * 0.26) << QPointF(w * 0.5, h * 0.08)
         << QPointF(w * 0.68, h * 0.26);
    p.drawPolygon(roof);
    p.setBrush(QColor(40, 40, 60));
    for (int i = 0; i < 5; ++i)
        p.drawRect(QRectF(w * 0.46, h * (0.33 + i * 0.12), w * 0.08, h * 0.06));
    p.setBrush(QColor(70, 130, 60));
    p.drawRect(QRectF(0, h * 0.92, w, h * 0.08));
    caption(p, img.rect(), QStringLiteral("Portrait"));
    return img;
}

QImage panorama(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, w, 0);
    sky.setColorAt(0, QColor(255, 160, 120));
    sky.setColorAt(1, QColor(90, 60, 140));
    p.fillRect(img.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 210, 230));
    p.drawPath(ridge(w, h, 0.55, 0.25, 0.006, 0.3));
    p.setBrush(QColor(70, 70, 100));
    p.drawPath(ridge(w, h, 0.8, 0.12, 0.011, 1.7));
    caption(p, img.rect(), QStringLiteral("Panorama"));
    return img;
}

QImage pattern(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(img.rect(), QColor(250, 245, 235));
    const QColor colours[] = {QColor(220, 60, 60), QColor(60, 160, 90), QColor(60, 90, 200),
                              QColor(240, 190, 40)};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        p.setBrush(colours[i]);
        p.drawEllipse(QPointF(w * (0.3 + 0.4 * (i % 2)), h * (0.3 + 0.4 * (i / 2))), w * 0.18,
                      h * 0.18);
    }
    return img;
}

QImage night(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(img.rect(), QColor(10, 15, 40));
    p.setPen(QColor(255, 255, 220));
    for (int i = 0; i < 120; ++i) // deterministic star field
        p.drawPoint((i * 97) % w, (i * 53 + i * i) % (h * 2 / 3));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 240, 200));
    p.drawEllipse(QPointF(w * 0.75, h * 0.25), h * 0.1, h * 0.1);
    p.setBrush(QColor(20, 30, 25));
    p.drawRect(QRectF(0, h * 0.8, w, h * 0.2));
    p.end();
    // An 8-bit palette bitmap: the other common BMP layout.
    return img.convertToFormat(QImage::Format_Indexed8);
}

bool save(const QImage& img, const QString& path, const char* format, int quality = 85) {
    const bool ok = img.save(path, format, quality);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    bool ok = save(landscape(1280, 960), out + "/landscape.jpg", "JPG");
    ok &= save(portrait(540, 720), out + "/portrait.jpeg", "JPG");
    ok &= save(panorama(1800, 450), out + "/panorama.JPG", "JPG");
    ok &= save(pattern(200, 200), out + "/pattern.bmp", "BMP");
    ok &= save(night(320, 240), out + "/night.bmp", "BMP");
    return ok ? 0 : 1;
}
