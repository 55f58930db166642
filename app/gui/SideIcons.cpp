#include "app/gui/SideIcons.h"

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

} // namespace lv
