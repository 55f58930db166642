#pragma once

#include <QString>
#include <QUrl>

namespace lv {

// The help page installed with the program (it works offline): beside the executable in
// the build tree, in share/lumivane/ of the install prefix otherwise. `anchor` picks a
// section ("codecs").
QUrl HelpPageUrl(const QString& anchor = {});

} // namespace lv
