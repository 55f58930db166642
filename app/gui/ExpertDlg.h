#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class ExpertDlg;
}

namespace lv {

// "Expert Options": single-frame mode on or off. "Ok" closes it accepted; closing it any
// other way changes nothing.
class TExpertDlg : public QDialog {
    Q_OBJECT
public:
    explicit TExpertDlg(QWidget* parent = nullptr);
    ~TExpertDlg() override;

    bool SingleFrame() const;
    void SetSingleFrame(bool on);

private:
    std::unique_ptr<Ui::ExpertDlg> ui;
};

} // namespace lv
