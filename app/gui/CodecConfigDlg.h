#pragma once

#include "platform/Compressor.h"

#include <QDialog>

#include <memory>
#include <vector>

class QWidget;

namespace Ui {
class CodecConfigDlg;
}

namespace lv {

// The settings a compressor offers (quality, key-frame interval...), one field each: a
// number within its limits or a choice. The caller stores Settings() after "OK".
class TCodecConfigDlg : public QDialog {
    Q_OBJECT
public:
    TCodecConfigDlg(const QString& codecLine, std::vector<TCodecSetting> settings,
                    QWidget* parent = nullptr);
    ~TCodecConfigDlg() override;

    // The settings with the values of the fields.
    std::vector<TCodecSetting> Settings() const;

private:
    void restoreDefaults();

    std::unique_ptr<Ui::CodecConfigDlg> ui;
    std::vector<TCodecSetting> m_settings;
    std::vector<QWidget*> m_fields; // a QSpinBox or a QComboBox per setting
};

} // namespace lv
