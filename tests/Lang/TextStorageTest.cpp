#include "Lang/TextStorage.h"

#include <QVariant>

#include <gtest/gtest.h>

TEST(TextStorage, TranslatesByEnglishKeyAndKeepsEnglishForUnusedLines) {
    const QStringList english = {
        "Soundtrack too short or too many picture loaded. Using minimal picture duration.",
        "Empty picture list",
        "File not found :",
        "Invalid output file",
        "Visual options disabled due to incompatible temporal settings",
        "Processing Video",
        "An error has occured. Please reset the application.",
        "Aborted by user.",
        "Processing Audio",
        "unused",
        "pictures",
        "An error occured while processing video. Please choose another codec or different "
        "settings and retry.",
        "Convertion to DVD requires a third party product from ZOQ Software. Do you want to "
        "download it now ?",
        "Ardisk is required to burn CDs or DVDs. Do you want to download it now ?",
    };
    lv::TTextStorage texts;
    texts.SetEnglish(english);
    EXPECT_EQ(texts.Translate("Processing Audio"), "Processing Audio");

    QStringList french;
    for (int i = 0; i < english.size(); ++i)
        french << QStringLiteral("fr %1").arg(i + 1);
    french[10] = "images";
    french[1] = "unused";
    // Packs set the list through the property, as for any other component.
    ASSERT_TRUE(texts.setProperty("Items", french));
    EXPECT_EQ(texts.property("Items").toStringList(), french);

    EXPECT_EQ(texts.Translate("PICTURES"), "images");
    EXPECT_EQ(texts.Translate("Processing Video"), "fr 6");
    EXPECT_EQ(texts.Translate("Empty picture list"), "Empty picture list");
    EXPECT_EQ(texts.Translate("Not a message"), "Not a message");

    texts.SetItems(QStringList{"one"});
    EXPECT_EQ(texts.Translate("Invalid output file"), "Invalid output file");
}
