#pragma once

#include <QDialog>

#include <memory>

class QTreeWidgetItem;

namespace Ui {
class ReorderDlg;
}

namespace lv {

class TFrameServer;
class TPictureList;

// "Organize": every picture in a table; the selected one with its preview, its path, its
// text (edited in place, at most 50 characters) and a new position to move it to; "Delete"
// and "Shuffle". Works on the list itself: every change is final at once, "Exit" only
// closes. The preview comes from the window's thumbnail server (picture i is its frame i).
class TReorderDlg : public QDialog {
    Q_OBJECT
public:
    TReorderDlg(TPictureList& pictures, TFrameServer& thumbServer, QWidget* parent = nullptr);
    ~TReorderDlg() override;

    // Fills the table and selects `preselected` (-1 for none). Call before showing.
    void Open(int preselected);
    // The selected row, -1 for none.
    int Selected() const;

public Q_SLOTS:
    void lstChange();
    void change_btnClick();
    void del_btnClick();
    void txtChange(const QString& text);
    void shuffle_btnClick();

private:
    void fill();
    void renumber(int from, int to);
    void select(int row);
    void move(int from, int to);
    QTreeWidgetItem* row(int i) const;

    std::unique_ptr<Ui::ReorderDlg> ui;
    TPictureList& m_pictures;
    TFrameServer& m_thumbServer;
    bool m_shuffling = false;
    bool m_deleting = false;
};

} // namespace lv
