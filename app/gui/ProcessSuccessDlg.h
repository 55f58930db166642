#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

namespace Ui {
class ProcessSuccessDlg;
}

namespace lv {

class TDialogs;
struct TCommand;

// "Done !": what to do with the finished video. "Play" and "Open Folder" go to the desktop's
// default applications; "DVD" and "Burn" hand the video to the tools registered for them,
// offering the download page when none is. Every button closes the dialog, except a declined
// download.
class TProcessSuccessDlg : public QDialog {
    Q_OBJECT
public:
    explicit TProcessSuccessDlg(TDialogs& dialogs, QWidget* parent = nullptr);
    ~TProcessSuccessDlg() override;

    std::string VideoPath;
    // The window's message lookup (its messages 13 and 14 are asked here).
    std::function<QString(const QString&)> Translate = [](const QString& s) { return s; };

public Q_SLOTS:
    void play_btnClick();
    void folder_btnClick();
    void dvd_btnClick();
    void burncd_btnClick();

private:
    // The download prompt: true when the user wants the page (it is then opened).
    bool offerDownload(const QString& text);

    std::unique_ptr<Ui::ProcessSuccessDlg> ui;
    TDialogs& m_dialogs;
};

// Starts a tool as a process of its own (no shell). False when it could not be started;
// `pid` gets its process id.
bool StartTool(const TCommand& command, qint64* pid = nullptr);

} // namespace lv
