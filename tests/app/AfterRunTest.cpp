#include "app/run/AfterRun.h"
#include "platform/ExternalProducts.h"
#include "platform/Registry.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

void touch(const std::string& path) {
    std::ofstream(path) << "#!/bin/sh\n";
}

} // namespace

TEST(AfterRun, ToolsAreFoundByFileOrFolderInEitherStore) {
    lvtest::TempDir dir;
    std::filesystem::create_directory(dir.file("burner dir"));
    touch(dir.file("burner dir/ArdiskCd.exe"));
    const std::string exe = dir.file("burner dir/ArdiskCd.exe");
    const struct {
        std::string value, found;
    } cases[] = {
        {exe, exe},                          // the executable itself
        {dir.file("burner dir"), exe},       // its folder
        {dir.file("burner dir") + "/", exe}, // with the separator
        {dir.file("gone/ArdiskCd.exe"), ""}, // uninstalled since
        {"", ""},                            // never registered
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        lv::WriteRegString(lv::kProductsKey, lv::kBurnerValue, c.value);
        EXPECT_EQ(lv::FindBurner(), c.found);
    }

    // A tool registered system-wide only, and the second DVD converter when the first is not.
    setenv("LUMIVANE_SYSTEM_SETTINGS_DIR", dir.path().c_str(), 1);
    std::ofstream(dir.file("Lumivane.ini"))
        << "[HKEY_LOCAL_MACHINE]\nSoftware\\ZOQ\\Orvadisc=" << dir.file("burner dir") << "\n";
    touch(dir.file("burner dir/orvadisc.exe"));
    lv::WriteRegString(lv::kProductsKey, lv::kDvdValue, "");
    EXPECT_EQ(lv::FindDvdConverter(), dir.file("burner dir/orvadisc.exe"));
    lv::WriteRegString(lv::kProductsKey, lv::kDvdValue, exe);
    EXPECT_EQ(lv::FindDvdConverter(), exe) << "the first choice wins";
    unsetenv("LUMIVANE_SYSTEM_SETTINGS_DIR");
    lv::WriteRegString(lv::kProductsKey, lv::kDvdValue, "");
    lv::WriteRegString(lv::kProductsKey, lv::kBurnerValue, "");
}

TEST(AfterRun, CommandLinesAndTheBurnerProjectKeepEveryCharacterOfAPath) {
    lvtest::TempDir dir;
    const std::string folder = dir.path().string() + "/Vidéos \"d'été\"/";
    std::filesystem::create_directory(folder);
    const std::string video = folder + "show 1.avi";

    const lv::TCommand burn = lv::BurnerCommand("/opt/ardisk/ArdiskCd.exe", folder, "lmv", 1);
    EXPECT_EQ(burn.CommandLine, "/opt/ardisk/ArdiskCd.exe /fl \"" + folder + "lmv_0.adk\"");
    EXPECT_EQ(burn.Program, "/opt/ardisk/ArdiskCd.exe");
    EXPECT_EQ(burn.Arguments, (std::vector<std::string>{"/fl", folder + "lmv_0.adk"}));
    EXPECT_EQ(lv::BurnerCommand("b", "/p/", "x", 3).CommandLine, "b /fl \"/p/x_2.adk\"");

    const lv::TCommand dvd = lv::DvdCommand("/opt/dvd tool/Morvadisc.exe", video);
    EXPECT_EQ(dvd.CommandLine, "/opt/dvd tool/Morvadisc.exe \"" + video + "\"");
    EXPECT_EQ(dvd.Arguments, std::vector<std::string>{video});

    const std::string project = lv::WriteBurnerProject(folder, video);
    EXPECT_EQ(project, folder + "lmv_0.adk");
    std::ifstream in(project, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), video + "\r\n");
    EXPECT_THROW(lv::WriteBurnerProject(dir.file("missing/"), video), std::exception);
}
