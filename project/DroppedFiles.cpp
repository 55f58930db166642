#include "project/DroppedFiles.h"

#include "platform/Files.h"

#include <QByteArray>

namespace lv {

bool IsSoundtrackDrop(const std::vector<std::string>& files) {
    return files.size() == 1 && ExtractFileExt(files.front()) == ".mp3";
}

std::vector<std::string> DroppedFilePaths(const QList<QUrl>& urls) {
    std::vector<std::string> paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        // The decoded path would go through UTF-16, which replaces what is not UTF-8.
        std::string path =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
        if (path.empty())
            continue;
        if (!url.host().isEmpty())
            path = "//" + url.host().toStdString() + path;
        paths.push_back(std::move(path));
    }
    return paths;
}

} // namespace lv
