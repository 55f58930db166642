#include "app/gui/LanguageChoice.h"

#include "Lang/LanguagePack.h"
#include "app/gui/LangList.h"

#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QVBoxLayout>

namespace lv {

namespace {

constexpr int kRowHeight = 32;
constexpr int kFlagHeight = 28;

// The pack's flag inside a one-pixel frame of RGB(255, 251, 240).
QIcon flagIcon(const std::string& packFile) {
    const std::vector<std::uint8_t> bmp = PackFlag(packFile);
    QImage flag;
    if (!bmp.empty())
        flag.loadFromData(bmp.data(), int(bmp.size()), "BMP");
    if (flag.isNull())
        return {};
    // Bounded both ways: a pack's flag may claim any shape.
    flag = flag.scaled(QSize(48, kFlagHeight - 2), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPixmap framed(flag.width() + 2, kFlagHeight);
    framed.fill(QColor(255, 251, 240));
    QPainter p(&framed);
    p.drawImage(1, 1, flag);
    return QIcon(framed);
}

} // namespace

TLanguageChoice::TLanguageChoice(QWidget* parent)
    : QWidget(parent), m_banner(new QLabel(this)), m_rows(new QListWidget(this)) {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Raised);
    m_banner->setMinimumHeight(16);
    QFont bold = m_banner->font();
    bold.setBold(true);
    m_banner->setFont(bold);
    m_rows->setIconSize(QSize(48, kFlagHeight));
    m_rows->setUniformItemSizes(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_banner);
    layout->addWidget(line);
    layout->addWidget(m_rows, 1);
    connect(m_rows, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { rowClicked(m_rows->row(item)); });
}

void TLanguageChoice::SetLanguageList(TLangList* list) {
    m_list = list;
    m_rows->clear();
    if (!list)
        return;
    list->ScanPacks();
    for (const auto& pack : list->Packs()) {
        // The flag of the language's first pack stands for all its packs.
        const std::string first =
            PackFileName(list->PacksFolder(), list->FilePrefix, LangIdOf(pack.Packed));
        auto* item = new QListWidgetItem(flagIcon(first), QString::fromStdString(pack.Display));
        item->setSizeHint(QSize(0, kRowHeight));
        m_rows->addItem(item);
    }
    connect(list, &TLangList::AfterLanguageSwitch, this, &TLanguageChoice::afterSwitch);
    afterSwitch();
}

void TLanguageChoice::afterSwitch() {
    if (!m_list)
        return;
    m_rows->setCurrentRow(m_list->LanguageIndex());
    m_banner->setText("  " + m_list->Banner());
}

void TLanguageChoice::rowClicked(int row) {
    if (!m_list)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct RestoreCursor {
        ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
    } restore; // also when the pack is refused with an error
    QApplication::processEvents();
    m_list->SetLanguageIndex(row);
    m_banner->setText("  " + m_list->Banner());
    Q_EMIT Clicked();
}

} // namespace lv
