#include "app/gui/ElidedComboBox.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace lv {

TElidedComboBox::TElidedComboBox(QWidget* parent) : QComboBox(parent) {
    connect(model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                for (int i = first; i <= last; ++i)
                    setItemData(i, itemText(i), Qt::ToolTipRole);
            });
    connect(this, &QComboBox::currentIndexChanged, this, &TElidedComboBox::updateToolTip);
}

QString TElidedComboBox::DisplayedText() const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    if (option.editable)
        return option.currentText;
    // Where the style draws the label: the edit field less a pixel each side, and the icon.
    int width =
        style()
            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this)
            .width() -
        2;
    if (!option.currentIcon.isNull())
        width -= option.iconSize.width() + 4;
    return fontMetrics().elidedText(option.currentText, Qt::ElideRight, width);
}

void TElidedComboBox::paintEvent(QPaintEvent*) {
    // QComboBox's own painting, with the text cut where it is cut.
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = DisplayedText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void TElidedComboBox::resizeEvent(QResizeEvent* event) {
    QComboBox::resizeEvent(event);
    updateToolTip();
}

void TElidedComboBox::updateToolTip() {
    const QString shown = DisplayedText();
    setToolTip(shown == currentText() ? QString() : currentText());
}

} // namespace lv
