#include "app/gui/HelpPage.h"

#include "platform/Files.h"

#include <QFileInfo>

namespace lv {

QUrl HelpPageUrl(const QString& anchor) {
    const QString folder = QString::fromStdString(ProgramFolder());
    QString page = folder + "help.html";
    if (!QFileInfo::exists(page))
        page = QFileInfo(folder + "../share/lumivane/help.html").absoluteFilePath();
    QUrl url = QUrl::fromLocalFile(page);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    return url;
}

} // namespace lv
