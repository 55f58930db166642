#include "app/gui/ProcessSuccessDlg.h"

#include "app/gui/BurnDlg.h"
#include "app/gui/Dialogs.h"
#include "app/gui/HelpPage.h"
#include "app/gui/Icons.h"
#include "app/run/AfterRun.h"
#include "platform/Errors.h"
#include "platform/Files.h"

#include "ui_ProcessSuccessDlg.h"

#include <QProcess>
#include <QStyle>
#include <QUrl>

namespace lv {

namespace {

QUrl fileUrl(const std::string& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path));
}

} // namespace

bool StartTool(const TCommand& command, qint64* pid) {
    QStringList arguments;
    for (const auto& a : command.Arguments)
        arguments << QString::fromStdString(a);
    return QProcess::startDetached(QString::fromStdString(command.Program), arguments, QString(),
                                   pid);
}

TProcessSuccessDlg::TProcessSuccessDlg(TDialogs& dialogs, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ProcessSuccessDlg>()), m_dialogs(dialogs) {
    ui->setupUi(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    ui->icon_img->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48));
    ui->play_btn->setIcon(PlayIcon());
    ui->burncd_btn->setIcon(BurnIcon());
    ui->dvd_btn->setIcon(DvdIcon());
    ui->folder_btn->setIcon(FolderIcon());
    auto on = [this](QToolButton* button, void (TProcessSuccessDlg::*handler)()) {
        connect(button, &QToolButton::clicked, this, [this, handler] {
            try {
                (this->*handler)();
            } catch (const std::exception& e) {
                m_dialogs.Error(this, QString::fromStdString(ErrorWithLocation(e)));
            }
        });
    };
    on(ui->play_btn, &TProcessSuccessDlg::play_btnClick);
    on(ui->folder_btn, &TProcessSuccessDlg::folder_btnClick);
    on(ui->dvd_btn, &TProcessSuccessDlg::dvd_btnClick);
    on(ui->burncd_btn, &TProcessSuccessDlg::burncd_btnClick);
}

TProcessSuccessDlg::~TProcessSuccessDlg() = default;

void TProcessSuccessDlg::play_btnClick() {
    m_dialogs.OpenUrl(fileUrl(VideoPath));
    accept();
}

void TProcessSuccessDlg::folder_btnClick() {
    m_dialogs.OpenUrl(fileUrl(ExtractFilePath(VideoPath)));
    accept();
}

bool TProcessSuccessDlg::offerDownload(const QString& text) {
    if (m_dialogs.Box(this, TBoxKind::Warning, Translate(text), true) != kBoxYes)
        return false;
    m_dialogs.OpenUrl(HelpPageUrl(QStringLiteral("tools")));
    return true;
}

void TProcessSuccessDlg::dvd_btnClick() {
    if (FindDvdConverter().empty() &&
        !offerDownload(QStringLiteral("Convertion to DVD requires a third party product from ZOQ "
                                      "Software. Do you want to download it now ?")))
        return;
    if (const std::string converter = FindDvdConverter(); !converter.empty())
        StartTool(DvdCommand(converter, VideoPath));
    accept();
}

void TProcessSuccessDlg::burncd_btnClick() {
    if (FindBurner().empty() &&
        !offerDownload(QStringLiteral(
            "Ardisk is required to burn CDs or DVDs. Do you want to download it now ?")))
        return;
    const std::string folder = BurnerProjectFolder();
    WriteBurnerProject(folder, VideoPath);
    TBurnDlg burn(m_dialogs, this);
    burn.ProjectCount = 1;
    burn.ProjectName = kBurnerProjectName;
    burn.ProjectFolder = folder;
    burn.Run();
    accept();
}

} // namespace lv
