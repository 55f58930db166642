#include "platform/Registry.h"
#include "platform/RegularFile.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>

#include <cstdlib>

namespace lv {

namespace {

QString keyOf(const std::string& keyPath, const std::string& name) {
    QString key = QString::fromStdString(keyPath);
    key.replace('\\', '/');
    return key + '/' + QString::fromStdString(name);
}

} // namespace

std::string SettingsFilePath() {
    if (const char* dir = std::getenv("LUMIVANE_SETTINGS_DIR"); dir && *dir)
        return std::string(dir) + "/Lumivane.ini";
    return (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            "/Lumivane/Lumivane.ini")
        .toStdString();
}

std::string ReadRegString(const std::string& keyPath, const std::string& name) {
    // A pipe or a device in the settings' place would block: it reads as unreadable.
    if (!NoneOrRegularFile(SettingsFilePath()))
        return {};
    QSettings s(QString::fromStdString(SettingsFilePath()), QSettings::IniFormat);
    return s.value(keyOf(keyPath, name)).toString().toStdString();
}

void WriteRegString(const std::string& keyPath, const std::string& name, const std::string& value) {
    if (!NoneOrRegularFile(SettingsFilePath()))
        return;
    QSettings s(QString::fromStdString(SettingsFilePath()), QSettings::IniFormat);
    s.setValue(keyOf(keyPath, name), QString::fromStdString(value));
    s.sync();
}

} // namespace lv
