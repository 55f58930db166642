#include "app/gui/CodecConfigDlg.h"

#include "ui_CodecConfigDlg.h"

#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>

namespace lv {

TCodecConfigDlg::TCodecConfigDlg(const QString& codecLine, std::vector<TCodecSetting> settings,
                                 QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::CodecConfigDlg>()), m_settings(std::move(settings)) {
    ui->setupUi(this);
    ui->codec_lbl->setText(codecLine);
    for (const auto& s : m_settings) {
        QWidget* field = nullptr;
        if (!s.choices.empty()) {
            auto* box = new QComboBox(this);
            for (const auto& choice : s.choices)
                box->addItem(QString::fromStdString(choice));
            box->setCurrentIndex(s.value);
            field = box;
        } else {
            auto* spin = new QSpinBox(this);
            spin->setRange(s.minimum, s.maximum);
            spin->setValue(s.value);
            field = spin;
        }
        field->setObjectName(QString::fromStdString(s.name));
        ui->settings_lay->addRow(QString::fromStdString(s.label), field);
        m_fields.push_back(field);
    }
    connect(ui->ok_btn, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->cancel_btn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->defaults_btn, &QPushButton::clicked, this, &TCodecConfigDlg::restoreDefaults);
}

TCodecConfigDlg::~TCodecConfigDlg() = default;

std::vector<TCodecSetting> TCodecConfigDlg::Settings() const {
    std::vector<TCodecSetting> result = m_settings;
    for (std::size_t i = 0; i < result.size(); ++i) {
        if (auto* box = qobject_cast<QComboBox*>(m_fields[i]))
            result[i].value = box->currentIndex();
        else if (auto* spin = qobject_cast<QSpinBox*>(m_fields[i]))
            result[i].value = spin->value();
    }
    return result;
}

void TCodecConfigDlg::restoreDefaults() {
    for (std::size_t i = 0; i < m_settings.size(); ++i) {
        if (auto* box = qobject_cast<QComboBox*>(m_fields[i]))
            box->setCurrentIndex(m_settings[i].defaultValue);
        else if (auto* spin = qobject_cast<QSpinBox*>(m_fields[i]))
            spin->setValue(m_settings[i].defaultValue);
    }
}

} // namespace lv
