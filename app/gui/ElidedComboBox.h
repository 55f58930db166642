#pragma once

#include <QComboBox>

namespace lv {

// A combo box whose closed box ends a text too long for it with "…", keeping its start (a
// codec line's FourCC). The whole text stays readable as a tool tip: of every item in the
// list, and of the box while its text is cut (the box's own tool tip is replaced then).
class TElidedComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TElidedComboBox(QWidget* parent = nullptr);

    // The current text as the closed box shows it.
    QString DisplayedText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateToolTip();
};

} // namespace lv
