#pragma once

#include <QObject>
#include <QStringList>

namespace lv {

// A form's translatable messages: Items holds them, in English until a language pack
// replaces its lines; the English keys are the lines as first set (SetEnglish) and never
// change. Translate looks a message up by its English text.
class TTextStorage : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
public:
    explicit TTextStorage(QObject* parent = nullptr) : QObject(parent) {}

    // The English messages: keys and items at once.
    void SetEnglish(const QStringList& lines);
    QStringList Items() const { return m_items; }
    void SetItems(const QStringList& items) { m_items = items; }

    // The current-language text of `english`: found among the keys without regard to case
    // (first match), the item at that line; `english` itself when not found or when that
    // item is exactly "unused".
    QString Translate(const QString& english) const;

private:
    QStringList m_keys;
    QStringList m_items;
};

} // namespace lv
