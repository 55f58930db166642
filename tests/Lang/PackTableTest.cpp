#include "Lang/PackTable.h"
#include "platform/Errors.h"

#include <QImage>

#include <gtest/gtest.h>

TEST(PackTable, ATableMarksItsTranslatedRowsAndSurvivesItsTextForm) {
    lv::TPack english;
    english.Header.FontName = "Sans Serif";
    lv::TPackEntry label;
    label.Path = "MainDlg.time_lbl";
    label.Caption = {1, "Time\tper picture"};
    label.Hint = {18, "Shown \\ hint"};
    lv::TPackEntry list;
    list.Path = "MainDlg.main_ts";
    list.Items = {3, "Empty picture list\r\npictures"};
    english.Entries = {label, list};
    lv::TPack french = english;
    french.Entries[0].Caption = {0x21, "Durée"};
    french.Entries[1].Items = {0x23, "Liste vide\r\nimages"};

    lv::TPackTable table = lv::TableFromPacks(english, &french);
    table.Header.LangId = 0x040C;
    table.FlagSpec = "vertical #002395 #FFFFFF #ED2939";
    const std::string text = lv::FormatTable(table);
    EXPECT_NE(text.find("MainDlg.time_lbl\tcaption\tTime\\tper picture\tDurée\n"),
              std::string::npos);
    EXPECT_NE(
        text.find("MainDlg.main_ts\titems\tEmpty picture list\\npictures\tListe vide\\nimages"),
        std::string::npos);

    const lv::TPack pack = lv::PackFromTable(lv::ParseTable(text));
    EXPECT_EQ(pack.Header.LangId, 0x040C);
    ASSERT_EQ(pack.Entries.size(), 2u);
    EXPECT_EQ(pack.Entries[0].Caption.Id, 0x21);
    EXPECT_EQ(pack.Entries[0].Caption.Text, "Durée");
    EXPECT_EQ(pack.Entries[0].Hint.Id, 18 | 0x20) << "an untranslated row shows the English";
    EXPECT_EQ(pack.Entries[0].Hint.Text, "Shown \\ hint");
    EXPECT_EQ(pack.Entries[1].Items.Id, 0x23);
    EXPECT_EQ(pack.Entries[1].Items.Text, "Liste vide\r\nimages");
    QImage flag;
    ASSERT_TRUE(flag.loadFromData(pack.Header.Flag.data(), int(pack.Header.Flag.size()), "BMP"));
    EXPECT_EQ(flag.size(), QSize(42, 28));
    EXPECT_EQ(flag.pixel(2, 14) & 0xFFFFFF, 0x002395u);
    EXPECT_EQ(flag.pixel(40, 14) & 0xFFFFFF, 0xED2939u);

    // A pack's own flag survives its table.
    lv::TPack withFlag = pack;
    const lv::TPackTable again = lv::TableFromPacks(english, &withFlag);
    EXPECT_EQ(lv::PackFromTable(lv::ParseTable(lv::FormatTable(again))).Header.Flag,
              pack.Header.Flag);

    for (const char* bad : {"@langid\tzz\n", "MainDlg.x\tcaption\tonly three\n", "@nope\tx\n",
                            "MainDlg.x\ttitle\ta\tb\n"})
        EXPECT_THROW(lv::PackFromTable(lv::ParseTable(bad)), lv::Error) << bad;
    EXPECT_THROW(lv::DrawFlag("stars #FFFFFF #000000"), lv::Error);
}
