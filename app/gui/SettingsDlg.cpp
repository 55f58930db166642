#include "app/gui/SettingsDlg.h"

#include "ui_SettingsDlg.h"

namespace lv {

TSettingsDlg::TSettingsDlg(QWidget* parent, TLangList* languages)
    : QDialog(parent), ui(std::make_unique<Ui::SettingsDlg>()) {
    ui->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ui->lng->SetLanguageList(languages);
}

TSettingsDlg::~TSettingsDlg() = default;

} // namespace lv
