#pragma once

#include "Lang/LanguagePack.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QObject;
class QWidget;

namespace lv {

// Language packs over Qt's object tree. A form's components are its named descendants,
// each addressed as form name + "." + its own name (the form owns every control, whatever
// widget holds it for layout); the form itself is its own name. Unnamed objects and Qt's
// internal ones ("qt_...") are not listed, and neither is a name or path in `Excluded`
// (compared without regard to case); their named children still are.
//
// What a pack's texts become here: the caption is a window's title, a group box's title, a
// button's, label's or action's text, a menu's title (else a line edit's text); the hint is
// the tool tip, shown only while the object's "ShowHint" property is on; items are the
// lines of a combo box, a list widget, a table's column headers or a text storage, replaced
// in place (never more or
// fewer) with the selection kept; alignment is that of labels and line edits.
class TLanguageRecord {
public:
    QStringList Excluded;

    // name -> object for every listed component of the forms, in listing order.
    std::vector<std::pair<std::string, QObject*>>
    Components(const std::vector<QWidget*>& forms) const;

    // Applies a pack to the forms; `mainWindow`'s font family is the one a pack's font
    // replaces. Throws lv::Error "Format not supported in this revision" for a pack that
    // ReadPack refused so (the caller reads it).
    void Apply(const TPack& pack, const std::vector<QWidget*>& forms, QWidget* mainWindow) const;

    // The forms' current texts as a template pack: revision 4, LANGID 0, nothing marked
    // translated. `reportError` gets "Exception <message> - component No <n>" for a
    // component that could not be read.
    TPack Template(const std::vector<QWidget*>& forms, QWidget* mainWindow,
                   const std::function<void(const QString&)>& reportError) const;
};

} // namespace lv
