#include "app/gui/AboutDlg.h"

#include "app/gui/HelpPage.h"
#include "app/run/Startup.h"
#include "log/KLog.h"
#include "platform/Registry.h"

#include "ui_AboutDlg.h"

#include <QFileInfo>
#include <QUrl>

namespace lv {

TAboutDlg::TAboutDlg(std::function<void(const QUrl&)> openUrl, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::AboutDlg>()) {
    ui->setupUi(this);
    QFont big = ui->name_lbl->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    ui->name_lbl->setFont(big);
    ui->version_lbl->setText(QString::fromStdString(ProgramCaption()));
    const QString settings = QFileInfo(QString::fromStdString(SettingsFilePath())).absolutePath();
    ui->links_lbl->setText(
        QStringLiteral("<a href=\"%1\">Help</a> &nbsp; <a href=\"%2\">Settings folder</a>")
            .arg(HelpPageUrl().toString(), QUrl::fromLocalFile(settings).toString()));
    connect(ui->links_lbl, &QLabel::linkActivated, this,
            [openUrl](const QString& link) { openUrl(QUrl(link)); });
    connect(ui->ok_btn, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutDlg::~TAboutDlg() = default;

} // namespace lv
