#pragma once

#include <QString>
#include <QUrl>

namespace lv {

// The help page shipped with the program (it works offline), in ProgramDataFolder().
// `anchor` picks a section ("codecs").
QUrl HelpPageUrl(const QString& anchor = {});

} // namespace lv
