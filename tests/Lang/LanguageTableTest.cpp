#include "Lang/LanguageTable.h"
#include "Lang/LanguagePack.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

namespace {

void writePack(const std::string& file, const std::string& name) {
    lv::TPack pack;
    pack.Header.Name = name;
    pack.Header.Info = "info";
    pack.Header.TargetVersion = lv::PackVersion(1, 0, 0, 1);
    lv::WritePack(file, pack);
}

lv::TFoundPack found(std::uint32_t packed) {
    return {packed, "", ""};
}

} // namespace

TEST(LanguageTable, TableOrderAndPackFileNames) {
    const auto& table = lv::LanguageTable();
    ASSERT_EQ(table.size(), 146u);
    EXPECT_EQ(table[0], 0x0000);
    EXPECT_EQ(table[1], 0x0400);
    EXPECT_EQ(table[2], 0x0436);
    EXPECT_EQ(table[57], 0x040C);
    EXPECT_EQ(table.back(), 0x042A);
    EXPECT_EQ(std::set<std::uint16_t>(table.begin(), table.end()).size(), table.size());

    EXPECT_EQ(lv::PackFileName("/p/", "LMV_", lv::PackedLanguageId(0, 0x040C)),
              "/p/LMV_0000040C.SPK");
    EXPECT_EQ(lv::PackFileName("", "X", lv::PackedLanguageId(0x1A, 0x0C0A)), "X001A0C0A.SPK");
}

TEST(LanguageTable, ScanListsPacksInTableThenIndexOrder) {
    lvtest::TempDir dir;
    const std::string folder = dir.path().string() + "/";
    auto name = [&](std::uint32_t packed) { return lv::PackFileName(folder, "LMV_", packed); };
    writePack(name(0x0001040C), "French 2");
    writePack(name(0x0000040C), "French 1");
    writePack(name(0x0003040C), "French 4"); // behind a missing 0002040C
    std::ofstream(name(0x00000407)) << "not a pack";
    writePack(name(0x00010407), "German 2");
    writePack(name(0x00000409), "English");
    writePack(lv::PackFileName(folder, "OTHER_", 0x00000413), "Dutch");
    writePack(name(0x00000000), "Neutral");

    std::vector<std::string> skipped;
    const auto packs =
        lv::ScanPacks(folder, "LMV_", [&](const std::string& why) { skipped.push_back(why); });
    EXPECT_EQ(skipped, std::vector<std::string>{"Not a language file: " + name(0x00000407)});
    std::vector<std::uint32_t> ids;
    for (const auto& p : packs)
        ids.push_back(p.Packed);
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{0x00000409, 0x0000040C, 0x0001040C, 0x00010407}));
    ASSERT_EQ(packs.size(), 4u);
    EXPECT_EQ(packs[1].File, name(0x0000040C));
    EXPECT_EQ(packs[1].Display, "French 1 [1.0.0.1] - info");
    EXPECT_EQ(packs[1].Revision, 4);
}

TEST(LanguageTable, SelectLanguageByStoredValueThenLanguage) {
    const std::vector<lv::TFoundPack> packs = {found(0x00000409), found(0x0000040C),
                                               found(0x0001040C), found(0x00010407)};
    EXPECT_EQ(lv::SelectLanguage(packs, 0x0001040C, 0x0409), 2);
    EXPECT_EQ(lv::SelectLanguage(packs, 0x0002040C, 0x0409), 1) << "same LANGID";
    EXPECT_EQ(lv::SelectLanguage(packs, 0x0C0C, 0x0409), 1) << "same primary language";
    EXPECT_EQ(lv::SelectLanguage(packs, 0x0807, 0x0409), 3);
    EXPECT_EQ(lv::SelectLanguage(packs, 0x0410, 0x040C), -1) << "no fallback to the user's";
    EXPECT_EQ(lv::SelectLanguage(packs, -1, 0x040C), 1);
    EXPECT_EQ(lv::SelectLanguage(packs, -1, 0x0C07), 3);
    EXPECT_EQ(lv::SelectLanguage(packs, -1, 0x0809), 0);
    EXPECT_EQ(lv::SelectLanguage(packs, -1, 0x0410), -1);
    EXPECT_EQ(lv::SelectLanguage({}, 0x040C, 0x040C), -1);
}

TEST(LanguageTable, LangIdFromLocaleNames) {
    const std::pair<const char*, std::uint16_t> cases[] = {
        {"fr_CA", 0x0C0C},
        {"fr-BE", 0x080C},
        {"fr_CH.UTF-8", 0x100C},
        {"fr_FR", 0x040C},
        {"fr_SN", 0x040C},
        {"fr", 0x040C},
        {"de_AT", 0x0C07},
        {"de_CH", 0x0807},
        {"de_DE.UTF-8", 0x0407},
        {"en_GB", 0x0809},
        {"en_US", 0x0409},
        {"EN", 0x0409},
        {"es_MX", 0x080A},
        {"pt_BR", 0x0416},
        {"pt_PT", 0x0816},
        {"zh_CN", 0x0804},
        {"zh_TW", 0x0404},
        {"zh-Hans", 0x0804},
        {"sv_FI", 0x081D},
        {"nb_NO", 0x0414},
        {"no", 0x0414},
        {"sr_RS@latin", 0x081A},
        {"ja_JP.eucJP", 0x0411},
        {"xx_YY", 0},
        {"C", 0},
        {"", 0},
    };
    for (const auto& [locale, id] : cases)
        EXPECT_EQ(lv::LangIdFromLocale(locale), id) << locale;

    // Each language the program knows lands on a table entry of its primary language.
    const std::pair<const char*, int> languages[] = {
        {"en", 0x09}, {"fr", 0x0C}, {"de", 0x07}, {"es", 0x0A}, {"it", 0x10}, {"nl", 0x13},
        {"pt", 0x16}, {"sv", 0x1D}, {"da", 0x06}, {"nb", 0x14}, {"fi", 0x0B}, {"pl", 0x15},
        {"cs", 0x05}, {"sk", 0x1B}, {"hu", 0x0E}, {"ro", 0x18}, {"ru", 0x19}, {"uk", 0x22},
        {"bg", 0x02}, {"el", 0x08}, {"tr", 0x1F}, {"ar", 0x01}, {"he", 0x0D}, {"ja", 0x11},
        {"ko", 0x12}, {"zh", 0x04}, {"ca", 0x03}, {"hr", 0x1A}, {"sl", 0x24}, {"et", 0x25},
        {"lv", 0x26}, {"lt", 0x27}, {"is", 0x0F}, {"id", 0x21}, {"th", 0x1E}, {"vi", 0x2A},
        {"hi", 0x39}, {"fa", 0x29}, {"ms", 0x3E}, {"eu", 0x2D},
    };
    const auto& table = lv::LanguageTable();
    for (const auto& [language, primary] : languages) {
        const std::uint16_t id = lv::LangIdFromLocale(language);
        EXPECT_EQ(id, primary | 0x400) << language;
        EXPECT_NE(std::find(table.begin(), table.end(), id), table.end()) << language;
    }
}

TEST(LanguageTable, OnlyASwitchAsksForTheTemplate) {
    for (const char* yes : {"-co", "/CO", "-Co", "/copy"})
        EXPECT_TRUE(lv::IsTemplateSwitch(yes)) << yes;
    for (const char* no : {"/code/show.lmv", "/content/a.lmv", "show.lmv", "-c", "co", ""})
        EXPECT_FALSE(lv::IsTemplateSwitch(no)) << no;
}
