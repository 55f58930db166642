#include "platform/ExternalProducts.h"

#include "platform/Files.h"
#include "platform/Registry.h"

#include <QSettings>
#include <QString>

#include <cstdlib>

namespace lv {

namespace {

std::string fromSystemFile(const std::string& valueName) {
    QSettings s(QString::fromStdString(SystemProductsFile()), QSettings::IniFormat);
    QString key = QString::fromLatin1(kProductsKey);
    key.replace('\\', '/');
    return s.value(key + '/' + QString::fromStdString(valueName)).toString().toStdString();
}

std::string resolve(std::string path, const std::string& executable) {
    if (path.empty() || FileExists(path))
        return path;
    if (path.back() != '/')
        path += '/';
    path += executable;
    return FileExists(path) ? path : std::string();
}

} // namespace

std::string SystemProductsFile() {
    if (const char* dir = std::getenv("LUMIVANE_SYSTEM_SETTINGS_DIR"); dir && *dir)
        return std::string(dir) + "/Lumivane.ini";
    return "/etc/xdg/Lumivane/Lumivane.ini";
}

std::string FindProduct(const std::string& valueName, const std::string& executable) {
    std::string found = resolve(ReadRegString(kProductsKey, valueName), executable);
    if (found.empty())
        found = resolve(fromSystemFile(valueName), executable);
    return found;
}

} // namespace lv
