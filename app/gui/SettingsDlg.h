#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class SettingsDlg;
}

namespace lv {

// "Settings": the language of the program. Until language packs are installed it shows the
// one language there is.
class TSettingsDlg : public QDialog {
    Q_OBJECT
public:
    explicit TSettingsDlg(QWidget* parent = nullptr);
    ~TSettingsDlg() override;

private:
    std::unique_ptr<Ui::SettingsDlg> ui;
};

} // namespace lv
