#include "app/gui/SpinEdit.h"

#include "app/run/RunSettings.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace lv {

namespace {

// In the user's notation first ("2,5" where the comma is the decimal mark), then in C's.
bool parse(const QLocale& locale, const QString& text, double& value) {
    bool ok = false;
    value = locale.toDouble(text.trimmed(), &ok);
    if (!ok)
        value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value);
}

} // namespace

QValidator::State TSpinEdit::validate(QString& text, int&) const {
    double value = 0;
    if (parse(locale(), text, value))
        return QValidator::Acceptable;
    const QString t = text.trimmed();
    return t.isEmpty() || t == "-" || t == "+" || t == "." ? QValidator::Intermediate
                                                           : QValidator::Invalid;
}

int TSpinEdit::valueFromText(const QString& text) const {
    double value = 0;
    if (!parse(locale(), text, value))
        return this->value();
    value = std::clamp(value, double(minimum()), double(maximum()));
    return RoundSpinValue(value);
}

void TSpinEdit::fixup(QString& text) const {
    text = textFromValue(valueFromText(text));
}

} // namespace lv
