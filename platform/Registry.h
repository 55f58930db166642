#pragma once

#include <string>

namespace lv {

// The settings store that stands in for the registry: one INI file in the user's config
// folder, or in $LUMIVANE_SETTINGS_DIR when that is set (tests never touch the user's).
// Key paths keep their registry spelling, e.g. "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessaro\\Lumivane".
// Safe to call from any thread; every call opens and syncs the store.

inline constexpr const char* kSettingsKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessaro\\Lumivane";

// An absent value reads as an empty string.
std::string ReadRegString(const std::string& keyPath, const std::string& name);
void WriteRegString(const std::string& keyPath, const std::string& name, const std::string& value);

// The program's own key (kSettingsKey).
inline std::string ReadRegString(const std::string& name) {
    return ReadRegString(kSettingsKey, name);
}
inline void WriteRegString(const std::string& name, const std::string& value) {
    WriteRegString(kSettingsKey, name, value);
}

// Path of the INI file in use.
std::string SettingsFilePath();

} // namespace lv
