#include "project/DroppedFiles.h"
#include "project/Shuffle.h"

#include <gtest/gtest.h>

#include <QUrl>

#include <string>

namespace {

// Applies the moves to a list of names as the organise dialog does.
std::string shuffled(std::string names, const std::function<int(int)>& random) {
    for (auto [from, to] : lv::ShuffleMoves(int(names.size()), random)) {
        const char c = names[std::size_t(from)];
        names.erase(std::size_t(from), 1);
        names.insert(names.begin() + to, c);
    }
    return names;
}

} // namespace

TEST(ListEdits, ShuffleMovesEachPositionInTurnToTheDrawnPlace) {
    int calls = 0;
    auto any = [&](int m) {
        ++calls;
        EXPECT_GE(m, 1);
        return m - 1;
    };
    // Two pictures always end B, A: position 1 stays, then position 2 moves to 1.
    EXPECT_EQ(shuffled("AB", any), "BA");
    EXPECT_EQ(shuffled("AB", [](int) { return 0; }), "BA");
    EXPECT_EQ(shuffled("A", any), "A");
    // Five pictures, draws 3, 0, 1, 3, 2: targets 3, 1, 1, 3, 2 (1-based).
    int k = 0;
    const int draws[] = {3, 0, 1, 3, 2};
    EXPECT_EQ(shuffled("ABCDE",
                       [&](int m) {
                           EXPECT_EQ(m, 4);
                           return draws[k++];
                       }),
              "AECDB");
    EXPECT_EQ(calls, 2);
}

TEST(ListEdits, OnlyOneLowerCaseMp3IsASoundtrack) {
    EXPECT_TRUE(lv::IsSoundtrackDrop({"/m/song.mp3"}));
    EXPECT_FALSE(lv::IsSoundtrackDrop({"/m/song.MP3"}));
    EXPECT_FALSE(lv::IsSoundtrackDrop({"/m/song.mp3", "/m/a.jpg"}));
    EXPECT_FALSE(lv::IsSoundtrackDrop({}));
}

// A file manager percent-encodes a name's bytes; a name that is not UTF-8 must not become
// another name on its way through text.
TEST(ListEdits, DroppedUrlsGiveTheirFilesNamesByteForByte) {
    const struct {
        QUrl url;
        std::vector<std::string> paths;
    } cases[] = {
        {QUrl::fromEncoded("file:///m/caf%E9%20%FF.jpg"), {"/m/caf\xE9 \xFF.jpg"}},
        {QUrl::fromLocalFile(QString::fromUtf8("/m/Vidéos/été.jpg")),
         {"/m/Vid\xC3\xA9os/\xC3\xA9t\xC3\xA9.jpg"}},
        {QUrl::fromEncoded("file:///m/100%25%20a%23b%3Fc.jpg"), {"/m/100% a#b?c.jpg"}},
        {QUrl::fromEncoded("file://server/share/a.jpg"), {"//server/share/a.jpg"}},
        {QUrl::fromEncoded("https://example.org/a.jpg"), {}},
        {QUrl::fromEncoded("file:"), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url.toEncoded().toStdString());
        EXPECT_EQ(lv::DroppedFilePaths({c.url}), c.paths);
    }
}
