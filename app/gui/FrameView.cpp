#include "app/gui/FrameView.h"

#include <QPainter>
#include <QResizeEvent>

namespace lv {

TFrameView::TFrameView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TFrameView::SetImage(const QImage& image) {
    m_image = image;
    m_text.clear();
    update();
}

void TFrameView::SetText(const QString& text) {
    m_text = text;
    m_image = QImage();
    update();
}

void TFrameView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!m_image.isNull()) {
        // Scaled already: drawn pixel for pixel, unless the view shrank since.
        const QSize image = m_image.deviceIndependentSize().toSize();
        QRect target(QPoint(), image.scaled(size(), Qt::KeepAspectRatio));
        if (image.width() <= width() && image.height() <= height())
            target.setSize(image);
        target.moveCenter(rect().center());
        p.drawImage(target, m_image);
    } else if (!m_text.isEmpty()) {
        p.setPen(Qt::white);
        p.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, m_text);
    }
}

void TFrameView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Q_EMIT Resized(event->size());
}

} // namespace lv
