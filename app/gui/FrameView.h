#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

namespace lv {

// A frame of the preview, drawn as it is (already scaled to fit) in the middle of a black
// field, or a line of text there when there is no frame to show.
class TFrameView : public QWidget {
    Q_OBJECT
public:
    explicit TFrameView(QWidget* parent = nullptr);

    void SetImage(const QImage& image);
    void SetText(const QString& text);
    const QImage& Image() const { return m_image; }

Q_SIGNALS:
    void Resized(QSize size);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage m_image;
    QString m_text;
};

} // namespace lv
