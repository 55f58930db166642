#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class SettingsDlg;
}

namespace lv {

class TLangList;

// "Settings": the language of the program. A click in the list switches at once; the
// window's close button closes it.
class TSettingsDlg : public QDialog {
    Q_OBJECT
public:
    TSettingsDlg(QWidget* parent, TLangList* languages);
    ~TSettingsDlg() override;

private:
    std::unique_ptr<Ui::SettingsDlg> ui;
};

} // namespace lv
