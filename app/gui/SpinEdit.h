#pragma once

#include <QSpinBox>

namespace lv {

// A spin edit of whole numbers that takes a typed decimal value too: it is taken to the
// nearest integer (ties to even) and brought into the limits instead of being refused.
class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString& text, int& pos) const override;
    int valueFromText(const QString& text) const override;
    void fixup(QString& text) const override;
};

} // namespace lv
