#include "platform/ExternalProducts.h"
#include "platform/Registry.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

TEST(ExternalProducts, IniValuesAreTakenAsWrittenUpToTheLineEnd) {
    const std::string key = "HKEY_LOCAL_MACHINE\\Software\\ZOQ\\ArdiskCD";
    const struct {
        const char* ini;
        std::optional<std::string> value;
    } cases[] = {
        {"[HKEY_LOCAL_MACHINE]\nSoftware\\ZOQ\\ArdiskCD=/opt/b,u;r\"n #1/\n", "/opt/b,u;r\"n #1/"},
        {"[HKEY_LOCAL_MACHINE]\r\n  Software\\ZOQ\\ArdiskCD = \t/opt/a b/ \r\n", "/opt/a b/"},
        {"[HKEY_LOCAL_MACHINE]\nSoftware\\ZOQ\\ArdiskCD=\"/opt/q\"\n", "\"/opt/q\""},
        {"[HKEY_LOCAL_MACHINE]\nSoftware\\ZOQ\\ArdiskCD=/a=b\n", "/a=b"},
        {"[HKEY_LOCAL_MACHINE]\nSoftware\\ZOQ\\ArdiskCD=\n", ""},
        {"[HKEY_LOCAL_MACHINE]\nSoftware\\ZOQ\\ArdiskCD=/old\nSoftware\\ZOQ\\ArdiskCD=/new",
         "/new"},
        {"[HKEY_LOCAL_MACHINE\\Software\\ZOQ]\nArdiskCD=/by/section\n", "/by/section"},
        {"[HKEY_LOCAL_MACHINE]\nSoftware/ZOQ/ArdiskCD=/slashes\n", "/slashes"},
        {"[HKEY_LOCAL_MACHINE]\n;Software\\ZOQ\\ArdiskCD=/comment\n", std::nullopt},
        {"[HKEY_LOCAL_MACHINE]\nSoftware\\ZOQ\\ArdiskCDX=/longer\n", std::nullopt},
        {"[HKEY_CURRENT_USER]\nSoftware\\ZOQ\\ArdiskCD=/other/section\n", std::nullopt},
        {"Software\\ZOQ\\ArdiskCD=/no/section\n", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        EXPECT_EQ(lv::IniRawValue(c.ini, key), c.value);
    }
}

// Folders the settings library's own syntax would misread, registered by hand in either store
// and written by the settings library itself. Blanks at either end of a value are trimmed:
// only the library's quoted form keeps them.
TEST(ExternalProducts, RegisteredFoldersWithAnyCharacterAreFound) {
    lvtest::TempDir dir;
    const char* const userStore = std::getenv("LUMIVANE_SETTINGS_DIR");
    const std::string keptUserStore = userStore ? userStore : "";
    std::filesystem::create_directory(dir.file("user"));
    std::filesystem::create_directory(dir.file("system"));
    setenv("LUMIVANE_SETTINGS_DIR", dir.file("user").c_str(), 1);
    setenv("LUMIVANE_SYSTEM_SETTINGS_DIR", dir.file("system").c_str(), 1);
    const struct {
        std::string folder;
        bool byHand, bySettings;
    } cases[] = {
        {"burn,er", true, true},
        {"a;b", true, true},
        {"q\"uote", true, true},
        {"sp ace", true, true},
        {"h#ash", true, true},
        {"back\\slash", true, true},
        {"=, \"; #", true, true},
        {" blanks around ", false, true},
        {"caf\xE9 latin-1", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string folder = dir.file(c.folder);
        std::filesystem::create_directory(folder);
        const std::string exe = folder + "/ArdiskCd.exe";
        std::ofstream(exe) << "#!/bin/sh\n";
        for (const char* store : {"user", "system"}) {
            SCOPED_TRACE(store);
            std::ofstream(dir.file(store) + "/Lumivane.ini")
                << "[HKEY_LOCAL_MACHINE]\nSoftware\\ZOQ\\ArdiskCD=" << folder << "\n";
            EXPECT_EQ(lv::FindProduct("ArdiskCD", "ArdiskCd.exe"), c.byHand ? exe : "");
            std::filesystem::remove(dir.file(store) + "/Lumivane.ini");
        }
        if (c.bySettings) {
            lv::WriteRegString(lv::kProductsKey, "ArdiskCD", folder);
            EXPECT_EQ(lv::FindProduct("ArdiskCD", "ArdiskCd.exe"), exe);
            std::filesystem::remove(dir.file("user/Lumivane.ini"));
        }
    }
    unsetenv("LUMIVANE_SYSTEM_SETTINGS_DIR");
    if (userStore)
        setenv("LUMIVANE_SETTINGS_DIR", keptUserStore.c_str(), 1);
    else
        unsetenv("LUMIVANE_SETTINGS_DIR");
}
