#include "app/gui/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace lv {

namespace {

const QColor kBlue(50, 80, 160);

QPixmap canvas() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QIcon sign(const QString& letter) {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(QRectF(4, 4, 56, 56));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 64, 64), Qt::AlignCenter, letter);
    return QIcon(pixmap);
}

} // namespace

QIcon SettingsIcon() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const double a = i * M_PI / teeth;
        const double r = i % 2 ? 22 : 29;
        const QPointF pt(32 + r * std::cos(a), 32 + r * std::sin(a));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    gear.addEllipse(QPointF(32, 32), 9, 9);
    gear.setFillRule(Qt::OddEvenFill);
    p.fillPath(gear, kBlue);
    return QIcon(pixmap);
}

QIcon HelpIcon() {
    return sign(QStringLiteral("?"));
}

QIcon AboutIcon() {
    return sign(QStringLiteral("i"));
}

QIcon PlayIcon() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(QRectF(4, 4, 56, 56));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(25, 18), QPointF(47, 32), QPointF(25, 46)}));
    return QIcon(pixmap);
}

namespace {

QPixmap disc(const QColor& ring) {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient shine(QPointF(24, 22), 40);
    shine.setColorAt(0, QColor(235, 240, 250));
    shine.setColorAt(1, QColor(150, 165, 200));
    p.setPen(QPen(ring, 3));
    p.setBrush(shine);
    p.drawEllipse(QRectF(5, 5, 54, 54));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(32, 32), 8, 8);
    return pixmap;
}

} // namespace

QIcon BurnIcon() {
    QPixmap pixmap = disc(kBlue);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 90, 30));
    QPainterPath flame;
    flame.moveTo(48, 60);
    flame.cubicTo(36, 58, 38, 44, 46, 36);
    flame.cubicTo(46, 44, 52, 44, 52, 38);
    flame.cubicTo(60, 46, 58, 58, 48, 60);
    p.drawPath(flame);
    return QIcon(pixmap);
}

QIcon DvdIcon() {
    QPixmap pixmap = disc(QColor(120, 40, 140));
    QPainter p(&pixmap);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(120, 40, 140));
    p.drawText(QRectF(0, 40, 64, 20), Qt::AlignCenter, QStringLiteral("DVD"));
    return QIcon(pixmap);
}

QIcon FolderIcon() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 170, 60));
    p.drawRoundedRect(QRectF(6, 14, 24, 12), 3, 3);
    p.setBrush(QColor(245, 200, 90));
    p.drawRoundedRect(QRectF(6, 20, 52, 34), 4, 4);
    return QIcon(pixmap);
}

} // namespace lv
