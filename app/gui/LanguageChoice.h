#pragma once

#include <QWidget>

class QLabel;
class QListWidget;

namespace lv {

class TLangList;

// The installed languages, one row of 32 pixels each with the pack's flag and its name;
// a click switches to that language at once. The label above shows the current pack's
// banner.
class TLanguageChoice : public QWidget {
    Q_OBJECT
public:
    explicit TLanguageChoice(QWidget* parent = nullptr);

    // Scans the list's packs and shows them; follows its switches from now on.
    void SetLanguageList(TLangList* list);

Q_SIGNALS:
    // After a switch by click.
    void Clicked();

private:
    void afterSwitch();
    void rowClicked(int row);

    TLangList* m_list = nullptr;
    QLabel* m_banner;
    QListWidget* m_rows;
};

} // namespace lv
