#include "app/gui/LanguageRecord.h"

#include "Lang/TextStorage.h"
#include "platform/Errors.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTreeWidget>
#include <QWidget>

#include <algorithm>

namespace lv {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string lower(const std::string& s) {
    return QString::fromStdString(s).toLower().toStdString();
}

// --- the one table of what a pack's properties are on Qt's objects ---

bool hasCaption(QObject* o) {
    auto* w = qobject_cast<QWidget*>(o);
    return (w && w->isWindow()) || qobject_cast<QGroupBox*>(o) ||
           qobject_cast<QAbstractButton*>(o) || qobject_cast<QLabel*>(o) ||
           qobject_cast<QAction*>(o) || qobject_cast<QMenu*>(o);
}

QString caption(QObject* o) {
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
    return {};
}

void setCaption(QObject* o, const QString& text) {
    if (auto* m = qobject_cast<QMenu*>(o))
        m->setTitle(text);
    else if (auto* w = qobject_cast<QWidget*>(o); w && w->isWindow())
        w->setWindowTitle(text);
    else if (auto* g = qobject_cast<QGroupBox*>(o))
        g->setTitle(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(o))
        b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(o))
        l->setText(text);
    else if (auto* a = qobject_cast<QAction*>(o))
        a->setText(text);
}

QLineEdit* textOf(QObject* o) {
    return qobject_cast<QLineEdit*>(o);
}

bool hasHint(QObject* o) {
    return qobject_cast<QWidget*>(o) || qobject_cast<QAction*>(o);
}

// Qt shows a tool tip whenever there is one; "ShowHint" keeps the hint and hides it.
bool hasShowHint(QObject* o) {
    return qobject_cast<QWidget*>(o) != nullptr;
}

bool showHint(QObject* o) {
    const QVariant v = o->property("ShowHint");
    return !v.isValid() || v.toBool();
}

// An action's hint is its status tip: Qt makes up a tool tip from its text.
QString hint(QObject* o) {
    const QVariant kept = o->property("Hint");
    if (kept.isValid())
        return kept.toString();
    if (auto* w = qobject_cast<QWidget*>(o))
        return w->toolTip();
    if (auto* a = qobject_cast<QAction*>(o))
        return a->statusTip();
    return {};
}

void setHint(QObject* o, const QString& text, bool show) {
    o->setProperty("Hint", text);
    if (auto* w = qobject_cast<QWidget*>(o)) {
        w->setProperty("ShowHint", show);
        w->setToolTip(show ? text : QString());
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        a->setStatusTip(text);
    }
}

// A table's column headers count as its items.
bool hasItems(QObject* o) {
    return qobject_cast<QComboBox*>(o) || qobject_cast<QListWidget*>(o) ||
           qobject_cast<QTreeWidget*>(o) || qobject_cast<TTextStorage*>(o);
}

QStringList items(QObject* o) {
    QStringList lines;
    if (auto* c = qobject_cast<QComboBox*>(o))
        for (int i = 0; i < c->count(); ++i)
            lines << c->itemText(i);
    else if (auto* l = qobject_cast<QListWidget*>(o))
        for (int i = 0; i < l->count(); ++i)
            lines << l->item(i)->text();
    else if (auto* tree = qobject_cast<QTreeWidget*>(o))
        for (int i = 0; i < tree->columnCount(); ++i)
            lines << tree->headerItem()->text(i);
    else if (auto* t = qobject_cast<TTextStorage*>(o))
        lines = t->Items();
    return lines;
}

// Line i of the list becomes line i of the pack, for the lines the list has; the selection
// stays where it was.
void replaceItems(QObject* o, const std::vector<std::string>& lines) {
    const int n = int(std::min<std::size_t>(lines.size(), std::size_t(items(o).size())));
    if (auto* c = qobject_cast<QComboBox*>(o)) {
        const int selected = c->currentIndex();
        for (int i = 0; i < n; ++i)
            c->setItemText(i, q(lines[std::size_t(i)]));
        c->setCurrentIndex(selected);
    } else if (auto* l = qobject_cast<QListWidget*>(o)) {
        const int selected = l->currentRow();
        for (int i = 0; i < n; ++i)
            l->item(i)->setText(q(lines[std::size_t(i)]));
        l->setCurrentRow(selected);
    } else if (auto* tree = qobject_cast<QTreeWidget*>(o)) {
        for (int i = 0; i < n; ++i)
            tree->headerItem()->setText(i, q(lines[std::size_t(i)]));
    } else if (auto* t = qobject_cast<TTextStorage*>(o)) {
        QStringList current = t->Items();
        for (int i = 0; i < n; ++i)
            current[i] = q(lines[std::size_t(i)]);
        t->SetItems(current);
    }
}

void setAlignment(QObject* o, int alignment) {
    if (alignment != 1 && alignment != 2)
        return;
    const Qt::Alignment horizontal = alignment == 1 ? Qt::AlignRight : Qt::AlignLeft;
    if (auto* l = qobject_cast<QLabel*>(o))
        l->setAlignment((l->alignment() & Qt::AlignVertical_Mask) | horizontal);
    else if (auto* e = qobject_cast<QLineEdit*>(o))
        e->setAlignment((e->alignment() & Qt::AlignVertical_Mask) | horizontal);
}

QString captionOrText(QObject* o) {
    if (hasCaption(o))
        return caption(o);
    if (auto* e = textOf(o))
        return e->text();
    return {};
}

void setCaptionOrText(QObject* o, const QString& text) {
    if (hasCaption(o))
        setCaption(o, text);
    else if (auto* e = textOf(o))
        e->setText(text);
}

// A dialog opened from the form (another form, a file dialog, a message box) owns what it
// holds, though Qt makes it the form's child.
bool ownedBy(QObject* o, QWidget* form) {
    for (QObject* p = o; p && p != form; p = p->parent())
        if (qobject_cast<QDialog*>(p))
            return false;
    return true;
}

} // namespace

std::vector<std::pair<std::string, QObject*>>
TLanguageRecord::Components(const std::vector<QWidget*>& forms) const {
    std::vector<std::pair<std::string, QObject*>> list;
    auto excluded = [&](const QString& name, const QString& path) {
        return Excluded.contains(name, Qt::CaseInsensitive) ||
               Excluded.contains(path, Qt::CaseInsensitive);
    };
    for (QWidget* form : forms) {
        const QString formName = form->objectName();
        if (formName.isEmpty())
            continue;
        if (!excluded(formName, formName))
            list.emplace_back(formName.toStdString(), form);
        for (QObject* o : form->findChildren<QObject*>()) {
            const QString name = o->objectName();
            if (name.isEmpty() || name.startsWith("qt_"))
                continue;
            if (!ownedBy(o, form))
                continue;
            const QString path = formName + "." + name;
            if (!excluded(name, path))
                list.emplace_back(path.toStdString(), o);
        }
    }
    return list;
}

void TLanguageRecord::Apply(const TPack& pack, const std::vector<QWidget*>& forms,
                            QWidget* mainWindow) const {
    const auto components = Components(forms);
    std::map<std::string, QObject*> byPath;
    for (const auto& [path, o] : components)
        byPath.emplace(lower(path), o);
    const int revision = pack.Header.Revision;

    if (revision >= 1) {
        // Fonts that follow the main window's take the pack's font and its smallest size.
        const QString reference = mainWindow ? mainWindow->font().family() : QString();
        const QString packFont = q(pack.Header.FontName);
        for (const auto& [path, o] : components) {
            auto* w = qobject_cast<QWidget*>(o);
            if (!w)
                continue;
            QFont font = w->font();
            bool changed = false;
            if (!packFont.isEmpty() && font.family() == reference && packFont != reference) {
                font.setFamily(packFont);
                changed = true;
            }
            // Bounded: a pack's number must not make the window unusable.
            const int smallest = std::clamp(pack.Header.MinFontSize, 6, 24);
            if (revision == 4 && font.pointSize() > 0 && font.pointSize() < smallest) {
                font.setPointSize(smallest);
                changed = true;
            }
            if (changed)
                w->setFont(font);
        }
    }

    for (const TPackEntry& entry : pack.Entries) {
        const auto found = byPath.find(lower(entry.Path));
        if (found == byPath.end())
            continue;
        QObject* o = found->second;
        if (revision == 0) {
            // Kinds: 6-10 controls, 11 with items, 12 a text storage, 13 a menu item. An
            // empty text leaves the property as it is.
            const bool hasTexts = (entry.Kind >= 6 && entry.Kind <= 11) || entry.Kind == 13;
            if (hasTexts && !entry.Caption.Text.empty())
                setCaptionOrText(o, q(entry.Caption.Text));
            if (hasTexts && !entry.Hint.Text.empty() && hasHint(o))
                setHint(o, q(entry.Hint.Text), showHint(o));
            if ((entry.Kind == 11 || entry.Kind == 12) && !entry.Items.Text.empty() && hasItems(o))
                replaceItems(o, SplitPackLines(entry.Items.Text));
            continue;
        }
        if (revision >= 3)
            setAlignment(o, entry.Alignment);
        if (entry.Caption.Applies())
            setCaptionOrText(o, q(entry.Caption.Text));
        if (entry.Hint.Applies() && hasHint(o))
            setHint(o, q(entry.Hint.Text),
                    hasShowHint(o) ? (entry.Hint.Id & kShowHintFlag) != 0 : true);
        if (entry.Items.Applies() && hasItems(o))
            replaceItems(o, SplitPackLines(entry.Items.Text));
    }
}

TPack TLanguageRecord::Template(const std::vector<QWidget*>& forms, QWidget* mainWindow,
                                const std::function<void(const QString&)>& reportError) const {
    TPack pack;
    pack.Header.Revision = kPackRevision;
    pack.Header.LangId = 0;
    pack.Header.TargetVersion = PackVersionText(LUMIVANE_VERSION);
    pack.Header.FontName = mainWindow ? mainWindow->font().family().toStdString() : std::string();
    pack.Header.Charset = 1;
    pack.Header.MinFontSize = 8;
    const auto components = Components(forms);
    for (std::size_t n = 0; n < components.size(); ++n) {
        const auto& [path, o] = components[n];
        try {
            TPackEntry entry;
            entry.Path = path;
            const QString text = captionOrText(o);
            if (!text.trimmed().isEmpty())
                entry.Caption = {1, text.toStdString()};
            const QString tip = hasHint(o) ? hint(o) : QString();
            if (!tip.trimmed().isEmpty())
                entry.Hint = {hasShowHint(o) ? 2 + 16 * int(showHint(o)) : 18, tip.toStdString()};
            if (hasItems(o)) {
                std::vector<std::string> lines;
                for (const QString& line : items(o))
                    lines.push_back(line.toStdString());
                if (!lines.empty())
                    entry.Items = {3, JoinPackLines(lines)};
            }
            if (entry.Caption.Id || entry.Hint.Id || entry.Items.Id)
                pack.Entries.push_back(std::move(entry));
        } catch (const std::exception& e) {
            if (reportError)
                reportError(QStringLiteral("Exception %1 - component No %2")
                                .arg(QString::fromStdString(e.what()))
                                .arg(n));
        }
    }
    return pack;
}

} // namespace lv
