#include "app/gui/JumpDlg.h"

#include "ui_JumpDlg.h"

#include <algorithm>

namespace lv {

TJumpDlg::TJumpDlg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::JumpDlg>()) {
    ui->setupUi(this);
    QFont bold = ui->thumbstats_lbl->font();
    bold.setBold(true);
    ui->thumbstats_lbl->setFont(bold);
    connect(ui->trk, &QSlider::valueChanged, this, &TJumpDlg::trkChange);
    connect(ui->ok_btn, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->cancel_btn, &QPushButton::clicked, this, &QDialog::reject);
}

TJumpDlg::~TJumpDlg() = default;

void TJumpDlg::Setup(int count, int position) {
    m_count = count;
    ui->trk->setRange(0, std::max(0, count - 5));
    ui->trk->setValue(position);
    trkChange();
}

int TJumpDlg::Position() const {
    return ui->trk->value();
}

void TJumpDlg::trkChange() {
    const int p = ui->trk->value();
    ui->thumbstats_lbl->setText(
        QStringLiteral("%1 - %2 / %3").arg(p + 1).arg(std::min(m_count, p + 5)).arg(m_count));
}

} // namespace lv
