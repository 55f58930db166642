#include "app/gui/SettingsDlg.h"

#include "ui_SettingsDlg.h"

namespace lv {

TSettingsDlg::TSettingsDlg(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::SettingsDlg>()) {
    ui->setupUi(this);
    QFont bold = ui->banner_lbl->font();
    bold.setBold(true);
    ui->banner_lbl->setFont(bold);
    connect(ui->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

TSettingsDlg::~TSettingsDlg() = default;

} // namespace lv
