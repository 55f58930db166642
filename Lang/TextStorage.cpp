#include "Lang/TextStorage.h"

namespace lv {

void TTextStorage::SetEnglish(const QStringList& lines) {
    m_keys = lines;
    m_items = lines;
}

QString TTextStorage::Translate(const QString& english) const {
    for (qsizetype i = 0; i < m_keys.size(); ++i) {
        if (m_keys[i].compare(english, Qt::CaseInsensitive) != 0)
            continue;
        // A pack may hold fewer lines than the program, or mark a line as not translated.
        if (i >= m_items.size() || m_items[i] == QLatin1String("unused"))
            return english;
        return m_items[i];
    }
    return english;
}

} // namespace lv
