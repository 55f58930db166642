#include "app/gui/HelpPage.h"

#include "platform/Files.h"

namespace lv {

QUrl HelpPageUrl(const QString& anchor) {
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(ProgramDataFolder() + "help.html"));
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    return url;
}

} // namespace lv
