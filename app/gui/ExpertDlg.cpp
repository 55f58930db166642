#include "app/gui/ExpertDlg.h"

#include "ui_ExpertDlg.h"

namespace lv {

TExpertDlg::TExpertDlg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::ExpertDlg>()) {
    ui->setupUi(this);
    connect(ui->ok_btn, &QPushButton::clicked, this, &QDialog::accept);
}

TExpertDlg::~TExpertDlg() = default;

bool TExpertDlg::SingleFrame() const {
    return ui->sng_chk->isChecked();
}

void TExpertDlg::SetSingleFrame(bool on) {
    ui->sng_chk->setChecked(on);
}

} // namespace lv
