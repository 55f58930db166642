#pragma once

#include <optional>
#include <string>

namespace lv {

// Where other programs register the tools the done dialog hands a video to: string values
// under this key, each the full path of the tool's executable or its folder. The key is read
// from the user's settings store, then from a system-wide file of the same layout
// (SystemProductsFile()), which an installed tool's package would write.
inline constexpr const char* kProductsKey = "HKEY_LOCAL_MACHINE\\Software\\ZOQ";

// The system-wide registration file: $LUMIVANE_SYSTEM_SETTINGS_DIR/Lumivane.ini when that is
// set (tests), else /etc/xdg/Lumivane/Lumivane.ini.
std::string SystemProductsFile();

// The executable of a registered tool: the value `valueName` when it names an existing file,
// else that value taken as a folder (trailing separator added when missing) + `executable`
// when that exists; empty when neither store registers an existing one. A value is taken as
// written (IniRawValue), then, when that names nothing, as the settings library reads it, so
// that the quoted and escaped form it writes works too.
std::string FindProduct(const std::string& valueName, const std::string& executable);

// The value of `keyPath` (registry spelling: "HKEY_LOCAL_MACHINE\\Software\\ZOQ\\ArdiskCD") in
// an INI text, as written: what follows the first "=" of its line up to the line's end,
// blanks trimmed at both ends; nothing is unquoted or unescaped, so commas, semicolons,
// quotes and "#" are part of it. A line's key path is its section's name, "\\", and the
// text before the "="; "/" counts as "\\". Lines starting with ";" or "#" are comments. The
// last matching line wins; nullopt when there is none.
std::optional<std::string> IniRawValue(const std::string& iniText, const std::string& keyPath);

} // namespace lv
