#pragma once

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class LoaderDlg;
}

namespace lv {

// "Thumbnails": a small modal progress dialog while the loader thread has the thumbnails of
// the strip rendered; it cannot be closed until the thread has ended.
class TLoaderDlg : public QDialog {
    Q_OBJECT
public:
    explicit TLoaderDlg(QWidget* parent = nullptr);
    ~TLoaderDlg() override;

    // Loads slots 0 .. last - first through loadSlot(k), called on this thread, and returns
    // when all are done. The first error a slot raised is thrown after the dialog closed.
    void Run(int first, int last, std::function<void(int slot)> loadSlot);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    std::unique_ptr<Ui::LoaderDlg> ui;
    bool m_loading = false;
};

} // namespace lv
