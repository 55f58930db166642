#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace lvtest {

// The caption a control shows: a window's title, a group's title, a button's, label's or
// action's text, a menu's title.
inline QString caption(QObject* o) {
    if (auto* m = qobject_cast<QMenu*>(o))
        return m->title();
    if (auto* w = qobject_cast<QWidget*>(o); w && w->isWindow())
        return w->windowTitle();
    if (auto* g = qobject_cast<QGroupBox*>(o))
        return g->title();
    if (auto* b = qobject_cast<QAbstractButton*>(o))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(o))
        return l->text();
    if (auto* a = qobject_cast<QAction*>(o))
        return a->text();
    return QString();
}

// Push buttons have a minimum width of the style's own, so they are measured by the area
// their text is drawn in; the other controls by what their layout needs to show it.
inline bool fitsCaption(QWidget* w) {
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(b);
        option.text = b->text();
        const QRect area = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
        return b->fontMetrics().horizontalAdvance(b->text()) <= area.width();
    }
    return w->width() >= w->minimumSizeHint().width();
}

} // namespace lvtest
