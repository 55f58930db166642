#include "app/gui/BurnDlg.h"

#include "app/gui/Dialogs.h"
#include "app/gui/Icons.h"
#include "app/gui/ProcessSuccessDlg.h"
#include "app/run/AfterRun.h"
#include "platform/NamedMutex.h"

#include "ui_BurnDlg.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

namespace lv {

namespace {

class TLaunchEvent : public QEvent {
public:
    explicit TLaunchEvent(int n) : QEvent(TBurnDlg::kLaunchEvent), Project(n) {}
    const int Project;
};

// A process that has ended, even one nobody reaped yet, is not alive.
bool alive(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const int end = line.lastIndexOf(')');
    return end >= 0 && end + 2 < line.size() && line[end + 2] != 'Z';
}

} // namespace

TBurnDlg::TBurnDlg(TDialogs& dialogs, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::BurnDlg>()), m_dialogs(dialogs),
      m_timer(new QTimer(this)) {
    ui->setupUi(this);
    ui->logo_img->setPixmap(BurnIcon().pixmap(48));
    m_timer->setObjectName(QStringLiteral("tmr"));
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &TBurnDlg::tick);
    connect(ui->cancel_btn, &QPushButton::clicked, this, &QDialog::reject);
}

TBurnDlg::~TBurnDlg() = default;

bool TBurnDlg::Run() {
    m_burner = FindBurner();
    if (m_burner.empty() || ProjectCount < 1 || ProjectName.empty())
        return false;
    ui->prog->setRange(0, ProjectCount);
    ui->prog->setValue(0);
    Launched = 0;
    m_timer->start();
    const int result = m_dialogs.Exec(*this);
    m_timer->stop();
    Busy = false;
    return result == QDialog::Accepted;
}

void TBurnDlg::tick() {
    if (NamedMutexExists(kBurnerMutex) || Busy)
        return;
    if (Launched == ProjectCount) {
        accept();
        return;
    }
    ++Launched;
    ui->prog->setValue(Launched);
    QCoreApplication::postEvent(this, new TLaunchEvent(Launched));
}

bool TBurnDlg::event(QEvent* e) {
    if (e->type() != kLaunchEvent)
        return QDialog::event(e);
    launch(static_cast<TLaunchEvent*>(e)->Project);
    return true;
}

void TBurnDlg::launch(int n) {
    Busy = true;
    qint64 pid = 0;
    if (StartTool(BurnerCommand(m_burner, ProjectFolder, ProjectName, n), &pid)) {
        // Give the burner the time it needs to take its mutex, so that the next tick sees it
        // running; one that has ended already is not waited for.
        const QDeadlineTimer deadline(kStartWaitMs);
        // The window keeps answering meanwhile (Cancel, repaints); Busy holds the ticks back.
        while (!NamedMutexExists(kBurnerMutex) && !deadline.hasExpired() && alive(pid)) {
            QCoreApplication::processEvents();
            QThread::msleep(15);
        }
    }
    Busy = false;
}

} // namespace lv
