#pragma once

#include <QDialog>
#include <QEvent>
#include <QTimer>

#include <memory>
#include <string>

namespace Ui {
class BurnDlg;
}

namespace lv {

class TDialogs;

// "Burn": hands the burner project files ProjectFolder + ProjectName + "_<i>.adk" to the
// registered burner one after the other. A timer ticks every second; while a burner runs
// (it holds the named mutex kBurnerMutex) or one is being started, the tick waits; otherwise
// it starts the burner for the next project, through the dialog's own event 1048, and one
// tick after the last burner has gone it closes the dialog with OK. "Cancel" closes it at
// any time; a burner already started goes on by itself.
class TBurnDlg : public QDialog {
    Q_OBJECT
public:
    // The private message that starts the burner for project n (its first parameter).
    static constexpr QEvent::Type kLaunchEvent = QEvent::Type(1048);
    static constexpr int kTickMs = 1000;
    // How long a started burner may take to show it runs before the next tick looks.
    static constexpr int kStartWaitMs = 10000;

    explicit TBurnDlg(TDialogs& dialogs, QWidget* parent = nullptr);
    ~TBurnDlg() override;

    int ProjectCount = 0;
    std::string ProjectName;
    std::string ProjectFolder; // with trailing separator
    int Launched = 0;
    bool Busy = false;

    // Shows the dialog and drives the burner; false without showing anything when no burner
    // is registered, ProjectCount < 1 or ProjectName is empty. True when it ended with OK.
    bool Run();

protected:
    bool event(QEvent* event) override;

private:
    void tick();
    void launch(int n);

    std::unique_ptr<Ui::BurnDlg> ui;
    TDialogs& m_dialogs;
    QTimer* m_timer; // child: language packs and tests find it by name
    std::string m_burner;
};

} // namespace lv
