#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class QUrl;

namespace Ui {
class AboutDlg;
}

namespace lv {

// The program's name, its version and links to its help page and its folders.
class TAboutDlg : public QDialog {
    Q_OBJECT
public:
    // openUrl opens a link the user clicks.
    TAboutDlg(std::function<void(const QUrl&)> openUrl, QWidget* parent = nullptr);
    ~TAboutDlg() override;

private:
    std::unique_ptr<Ui::AboutDlg> ui;
};

} // namespace lv
