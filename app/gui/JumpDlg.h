#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class JumpDlg;
}

namespace lv {

// "Jump To...": a track bar over the first picture the strip shows, 0 .. count - 5, and the
// range it would show. "Ok" accepts, "Cancel" or Escape rejects.
class TJumpDlg : public QDialog {
    Q_OBJECT
public:
    explicit TJumpDlg(QWidget* parent = nullptr);
    ~TJumpDlg() override;

    void Setup(int count, int position);
    int Position() const;

private:
    void trkChange();

    std::unique_ptr<Ui::JumpDlg> ui;
    int m_count = 0;
};

} // namespace lv
