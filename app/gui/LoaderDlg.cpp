#include "app/gui/LoaderDlg.h"

#include "platform/Errors.h"
#include "project/LoaderThd.h"

#include "ui_LoaderDlg.h"

#include <QCloseEvent>

namespace lv {

TLoaderDlg::TLoaderDlg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::LoaderDlg>()) {
    ui->setupUi(this);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

TLoaderDlg::~TLoaderDlg() = default;

void TLoaderDlg::Run(int first, int last, std::function<void(int slot)> loadSlot) {
    TLoaderThd thread;
    thread.First = first;
    thread.Last = last;
    thread.LoadSlot = std::move(loadSlot);
    thread.Progress = [this](int k) { ui->pb->setValue(k); };
    ui->pb->setRange(0, std::max(0, last - first));
    ui->pb->setValue(0);
    connect(&thread, &QThread::finished, this, [this] {
        m_loading = false;
        accept();
    });
    m_loading = true;
    thread.start();
    exec();
    // A loop that ended early (the program quitting) leaves the thread to its destructor,
    // which lets a call it is blocked on through.
    if (thread.isFinished() && !thread.ErrorMessage().empty())
        throw Error(thread.ErrorMessage());
}

void TLoaderDlg::closeEvent(QCloseEvent* event) {
    if (m_loading)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TLoaderDlg::reject() {
    if (!m_loading)
        QDialog::reject();
}

} // namespace lv
