#include "platform/ExternalProducts.h"

#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/RegularFile.h"

#include <QSettings>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string_view>

namespace lv {

namespace {

// A pipe or a device in a settings file's place reads as an empty file.
std::string fileText(const std::string& path) {
    std::string why;
    std::FILE* file = OpenRegularFileStream(path, why);
    if (!file)
        return {};
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

// The settings library's reading: quotes removed, escapes undone, a comma makes a list.
std::string settingsValue(const std::string& iniFile, const std::string& keyPath) {
    if (!NoneOrRegularFile(iniFile))
        return {};
    QSettings s(QString::fromStdString(iniFile), QSettings::IniFormat);
    QString key = QString::fromStdString(keyPath);
    key.replace('\\', '/');
    return s.value(key).toString().toStdString();
}

std::string resolve(std::string path, const std::string& executable) {
    if (path.empty() || FileExists(path))
        return path;
    if (path.back() != '/')
        path += '/';
    path += executable;
    return FileExists(path) ? path : std::string();
}

std::string trimmed(std::string_view s) {
    constexpr std::string_view blanks = " \t\r\n\f\v";
    const auto first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return std::string(s.substr(first, s.find_last_not_of(blanks) - first + 1));
}

std::string withBackslashes(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

} // namespace

std::optional<std::string> IniRawValue(const std::string& iniText, const std::string& keyPath) {
    const std::string wanted = withBackslashes(keyPath);
    std::optional<std::string> value;
    std::string section;
    std::istringstream in(iniText);
    for (std::string line; std::getline(in, line);) {
        const std::string text = trimmed(line);
        if (text.empty() || text.front() == ';' || text.front() == '#')
            continue;
        if (text.front() == '[') {
            if (text.back() == ']')
                section =
                    withBackslashes(trimmed(std::string_view(text).substr(1, text.size() - 2)));
            continue;
        }
        const auto equals = text.find('=');
        if (equals == std::string::npos || section.empty())
            continue;
        if (section + '\\' + withBackslashes(trimmed(text.substr(0, equals))) == wanted)
            value = trimmed(std::string_view(text).substr(equals + 1));
    }
    return value;
}

std::string SystemProductsFile() {
    if (const char* dir = std::getenv("LUMIVANE_SYSTEM_SETTINGS_DIR"); dir && *dir)
        return std::string(dir) + "/Lumivane.ini";
    return "/etc/xdg/Lumivane/Lumivane.ini";
}

std::string FindProduct(const std::string& valueName, const std::string& executable) {
    const std::string keyPath = std::string(kProductsKey) + '\\' + valueName;
    for (const std::string& file : {SettingsFilePath(), SystemProductsFile()}) {
        if (const auto written = IniRawValue(fileText(file), keyPath))
            if (std::string found = resolve(*written, executable); !found.empty())
                return found;
        if (std::string found = resolve(settingsValue(file, keyPath), executable); !found.empty())
            return found;
    }
    return {};
}

} // namespace lv
