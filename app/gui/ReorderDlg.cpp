#include "app/gui/ReorderDlg.h"

#include "Common/FrameServer.h"
#include "Common/PictureList.h"
#include "platform/Errors.h"
#include "project/Shuffle.h"

#include "ui_ReorderDlg.h"

#include <QHeaderView>
#include <QTreeWidgetItem>

#include <chrono>
#include <random>

namespace lv {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

enum Column { kNumber = 0, kText = 1, kPhoto = 2 };

} // namespace

TReorderDlg::TReorderDlg(TPictureList& pictures, TFrameServer& thumbServer, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ReorderDlg>()), m_pictures(pictures),
      m_thumbServer(thumbServer) {
    ui->setupUi(this);
    resize(519, 634);
    ui->lst->header()->setSectionResizeMode(kNumber, QHeaderView::ResizeToContents);
    ui->lst->header()->setSectionResizeMode(kText, QHeaderView::ResizeToContents);
    connect(ui->lst, &QTreeWidget::currentItemChanged, this, &TReorderDlg::lstChange);
    connect(ui->lst, &QTreeWidget::itemClicked, this, &TReorderDlg::lstChange);
    connect(ui->change_btn, &QPushButton::clicked, this, &TReorderDlg::change_btnClick);
    connect(ui->del_btn, &QPushButton::clicked, this, &TReorderDlg::del_btnClick);
    connect(ui->txt, &QLineEdit::textEdited, this, &TReorderDlg::txtChange);
    connect(ui->shuffle_btn, &QPushButton::clicked, this, &TReorderDlg::shuffle_btnClick);
    connect(ui->exit_btn, &QPushButton::clicked, this, &QDialog::reject);
}

TReorderDlg::~TReorderDlg() = default;

QTreeWidgetItem* TReorderDlg::row(int i) const {
    return ui->lst->topLevelItem(i);
}

int TReorderDlg::Selected() const {
    auto* item = ui->lst->currentItem();
    return item && item->isSelected() ? ui->lst->indexOfTopLevelItem(item) : -1;
}

void TReorderDlg::fill() {
    ui->lst->clear();
    QList<QTreeWidgetItem*> rows;
    for (std::size_t i = 0; i < m_pictures.Count(); ++i)
        rows << new QTreeWidgetItem(
            {QString::number(i + 1), q(m_pictures.PictureTexts[i]), q(m_pictures.PicturePaths[i])});
    ui->lst->addTopLevelItems(rows);
}

void TReorderDlg::Open(int preselected) {
    m_shuffling = false;
    fill();
    ui->img->hide();
    ui->sel_grp->setTitle(QString());
    ui->txt->clear();
    ui->pos_txt->setRange(1, std::max<int>(1, int(m_pictures.Count())));
    ui->pos_txt->setValue(1);
    if (preselected >= 0 && preselected < int(m_pictures.Count())) {
        select(preselected);
        const int count = int(m_pictures.Count());
        ui->lst->scrollToItem(row(preselected < count - 3 ? preselected + 2 : preselected));
    }
}

void TReorderDlg::select(int i) {
    ui->lst->setCurrentItem(row(i));
    row(i)->setSelected(true);
    lstChange();
}

void TReorderDlg::lstChange() {
    const int i = Selected();
    if (m_shuffling || m_deleting || i < 0)
        return;
    ui->img->hide();
    QImage frame;
    try {
        m_thumbServer.RenderFrame(frame, i);
        ui->img->setPixmap(QPixmap::fromImage(frame));
        ui->img->show();
    } catch (const Error&) {
        // An unusable picture has no preview; the run reports it.
    }
    ui->sel_grp->setTitle(q(m_pictures.PicturePaths[std::size_t(i)]));
    ui->txt->setText(q(m_pictures.PictureTexts[std::size_t(i)]));
    ui->pos_txt->setValue(i + 1);
}

void TReorderDlg::txtChange(const QString& text) {
    const int i = Selected();
    if (i < 0)
        return;
    m_pictures.PictureTexts.Set(std::size_t(i), text.toStdString());
    row(i)->setText(kText, text);
}

void TReorderDlg::renumber(int from, int to) {
    for (int i = std::max(0, from); i <= to && i < ui->lst->topLevelItemCount(); ++i)
        row(i)->setText(kNumber, QString::number(i + 1));
}

void TReorderDlg::move(int from, int to) {
    m_pictures.Move(std::size_t(from), std::size_t(to));
    QTreeWidgetItem* item = ui->lst->takeTopLevelItem(from);
    ui->lst->insertTopLevelItem(to, item);
    renumber(std::min(from, to), std::max(from, to));
    ui->lst->clearSelection();
    select(to);
    ui->lst->setFocus();
}

void TReorderDlg::change_btnClick() {
    const int i = Selected();
    if (i < 0)
        return;
    const int target = ui->pos_txt->value() - 1;
    if (target != i)
        move(i, target);
}

void TReorderDlg::del_btnClick() {
    const int i = Selected();
    if (i < 0)
        return;
    // Taking the row moves Qt's current item, which must not show a picture of the lists
    // while they and the table disagree.
    m_deleting = true;
    ui->lst->clearSelection();
    ui->lst->setCurrentItem(nullptr);
    delete ui->lst->takeTopLevelItem(i);
    m_pictures.Delete(std::size_t(i));
    m_deleting = false;
    ui->pos_txt->setMaximum(std::max(1, ui->pos_txt->maximum() - 1));
    ui->img->hide();
    ui->sel_grp->setTitle(QString());
    ui->txt->clear(); // nothing is selected any more, so a second Delete removes nothing
    renumber(i, ui->lst->topLevelItemCount() - 1);
}

void TReorderDlg::shuffle_btnClick() {
    m_shuffling = true;
    std::mt19937 random(std::uint32_t(std::chrono::steady_clock::now().time_since_epoch().count()));
    const auto moves = ShuffleMoves(int(m_pictures.Count()), [&random](int m) {
        return std::uniform_int_distribution<int>(0, m - 1)(random);
    });
    for (auto [from, to] : moves)
        if (from != to)
            move(from, to);
    m_shuffling = false;
    ui->lst->clearSelection();
    ui->lst->setCurrentItem(nullptr);
}

} // namespace lv
