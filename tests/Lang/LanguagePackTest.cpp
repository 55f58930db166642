#include "Lang/LanguagePack.h"
#include "Lang/Storefile.h"
#include "platform/Errors.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

std::string errorOf(const std::string& file) {
    try {
        lv::ReadPack(file);
    } catch (const lv::Error& e) {
        return e.what();
    }
    return {};
}

std::string JoinTimes(const std::string& piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

struct TStore {
    lv::TStorefile s;
    explicit TStore(const std::string& file) {
        s.Signature = lv::kPackSignature;
        s.Filename = file;
        if (!s.Open())
            throw std::runtime_error("cannot create " + file);
    }
    void text(std::int32_t id, const std::string& t) { s.AppendString(id, t); }
    void integer(std::int32_t id, std::int32_t v) { s.AppendInteger(id, v); }
};

// A pack written record by record as a program of that revision wrote it: two entries.
void writeByHand(const std::string& file, int revision) {
    TStore p(file);
    p.integer(0, 0x040C | revision << 16);
    p.text(1, "PackName");
    p.text(2, "Banner");
    p.text(3, "PackInfo");
    p.text(4, "n1\rn2");
    p.s.AppendRecord(5, {});
    p.integer(512, std::int32_t(lv::PackVersion(1, 2, 0, 5)));
    if (revision >= 2) {
        p.integer(516, 42);
        p.text(517, "s1");
        p.text(518, "s2");
    }
    p.text(513, "ime");
    p.text(514, "Arial");
    p.integer(515, 0x1EE);
    if (revision >= 4)
        p.integer(516, 11);
    for (int i = 0; i < 2; ++i) {
        p.text(529, i == 0 ? "Form.Button" : "Form.Label");
        if (revision >= 3)
            p.integer(768, i + 1);
        p.text(lv::kTranslated, i == 0 ? "OK" : "L");
        p.text(lv::kTranslated | lv::kShowHintFlag, i == 0 ? "Press" : "");
        p.text(0, "");
    }
}

lv::TPack samplePack() {
    lv::TPack pack;
    auto& h = pack.Header;
    h.LangId = 0x040C;
    h.Name = "Français";
    h.Banner = "banner";
    h.Info = "info";
    h.Notes = {"line 1", "", "line 3"};
    h.Flag = {'B', 'M', 1, 0, 3};
    h.TargetVersion = lv::PackVersion(2, 1, 0, 14);
    h.Rev2Integer = 77;
    h.Rev2String1 = "s1";
    h.Rev2String2 = "s2";
    h.InputMethod = "im";
    h.FontName = "Tahoma";
    h.Charset = 0xEE;
    h.MinFontSize = 10;
    lv::TPackEntry start;
    start.Path = "TMainDlg.Start";
    start.Alignment = 1;
    start.Caption = {lv::kTranslated, "Go"};
    start.Hint = {lv::kTranslated | lv::kShowHintFlag, "Start it"};
    lv::TPackEntry codec;
    codec.Path = "TMainDlg.Codec";
    codec.Alignment = 2;
    codec.Items = {lv::kTranslated, "a\r\nb"};
    pack.Entries = {start, codec};
    return pack;
}

} // namespace

TEST(LanguagePack, Revision4RoundTripsWithItsRecordIdsInOrder) {
    lvtest::TempDir dir;
    const std::string file = dir.file("packs/LMV_0000040C.SPK");
    const lv::TPack pack = samplePack();
    lv::WritePack(file, pack);
    const lv::TPack read = lv::ReadPack(file);
    const auto& h = read.Header;
    EXPECT_EQ(h.LangId, 0x040C);
    EXPECT_EQ(h.Revision, 4);
    EXPECT_EQ(h.Name, pack.Header.Name);
    EXPECT_EQ(h.Banner, "banner");
    EXPECT_EQ(h.Info, "info");
    EXPECT_EQ(h.Notes, pack.Header.Notes);
    EXPECT_EQ(h.Flag, pack.Header.Flag);
    EXPECT_EQ(h.TargetVersion, pack.Header.TargetVersion);
    EXPECT_EQ(h.Rev2Integer, 77);
    EXPECT_EQ(h.Rev2String1, "s1");
    EXPECT_EQ(h.Rev2String2, "s2");
    EXPECT_EQ(h.InputMethod, "im");
    EXPECT_EQ(h.FontName, "Tahoma");
    EXPECT_EQ(h.Charset, 0xEE);
    EXPECT_EQ(h.MinFontSize, 10);
    ASSERT_EQ(read.Entries.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto &a = read.Entries[i], &b = pack.Entries[i];
        EXPECT_EQ(a.Path, b.Path);
        EXPECT_EQ(a.Alignment, b.Alignment);
        EXPECT_EQ(a.Caption.Id, b.Caption.Id);
        EXPECT_EQ(a.Caption.Text, b.Caption.Text);
        EXPECT_EQ(a.Hint.Id, b.Hint.Id);
        EXPECT_EQ(a.Hint.Text, b.Hint.Text);
        EXPECT_EQ(a.Items.Id, b.Items.Id);
        EXPECT_EQ(a.Items.Text, b.Items.Text);
    }
    EXPECT_TRUE(read.Entries[0].Hint.Applies());
    EXPECT_FALSE(read.Entries[0].Items.Applies());
    EXPECT_EQ(lv::PackDisplayString(file), pack.Header.Name + " [2.1.0.14] - info");
    EXPECT_EQ(lv::PackFlag(file), pack.Header.Flag);

    lv::TStorefile s;
    s.Signature = lv::kPackSignature;
    s.Filename = file;
    s.ReadOnly = true;
    ASSERT_TRUE(s.Open());
    std::int32_t first = 0;
    s.ReadInteger(first, false);
    EXPECT_EQ(first, 0x0004040C);
    std::vector<std::int32_t> ids;
    std::vector<std::uint8_t> data;
    while (!s.AtEnd())
        ids.push_back(s.ReadRecord(data, 0, true));
    const std::vector<std::int32_t> expected = {0,   1,   2,    3,    4,   5,   512,
                                                516, 517, 518,  513,  514, 515, 516, // header
                                                530, 768, 0x20, 0x30, 0,             // two texts
                                                529, 768, 0,    0,    0x20};
    EXPECT_EQ(ids, expected);
    s.Close();

    lv::TPack shorter = pack;
    shorter.Entries.pop_back();
    lv::WritePack(file, shorter);
    EXPECT_EQ(lv::ReadPack(file).Entries.size(), 1u) << "the old file is replaced";
}

TEST(LanguagePack, EarlierRevisionsReadTheirOwnRecords) {
    lvtest::TempDir dir;
    for (int revision = 1; revision <= 4; ++revision) {
        SCOPED_TRACE(revision);
        const std::string file = dir.file("rev" + std::to_string(revision) + ".spk");
        writeByHand(file, revision);
        EXPECT_EQ(lv::PackDisplayString(file), "PackName [1.2.0.5] - PackInfo");
        const lv::TPack pack = lv::ReadPack(file);
        const auto& h = pack.Header;
        EXPECT_EQ(h.Revision, revision);
        EXPECT_EQ(h.LangId, 0x040C);
        EXPECT_EQ(h.Notes, (std::vector<std::string>{"n1", "n2"}));
        EXPECT_TRUE(h.Flag.empty());
        EXPECT_EQ(h.TargetVersion, lv::PackVersion(1, 2, 0, 5));
        EXPECT_EQ(h.Rev2Integer, revision >= 2 ? 42 : 0);
        EXPECT_EQ(h.Rev2String2, revision >= 2 ? "s2" : "");
        EXPECT_EQ(h.InputMethod, "ime");
        EXPECT_EQ(h.FontName, "Arial");
        EXPECT_EQ(h.Charset, 0xEE) << "only the low byte counts";
        EXPECT_EQ(h.MinFontSize, revision == 4 ? 11 : 9);
        ASSERT_EQ(pack.Entries.size(), 2u);
        const auto& e = pack.Entries[1];
        EXPECT_EQ(e.Path, "Form.Label");
        EXPECT_EQ(e.Alignment, revision >= 3 ? 2 : 0);
        EXPECT_EQ(e.Caption.Text, "L");
        EXPECT_EQ(e.Caption.Id, lv::kTranslated);
        EXPECT_EQ(e.Hint.Id, lv::kTranslated | lv::kShowHintFlag);
        EXPECT_EQ(pack.Entries[0].Hint.Text, "Press");
    }
}

TEST(LanguagePack, Revision0EntriesFollowTheirKind) {
    lvtest::TempDir dir;
    const std::string file = dir.file("old.spk");
    {
        TStore p(file);
        p.s.AppendRecord(0, {0x07, 0x04});
        p.text(1, "Deutsch");
        p.text(2, "");
        p.text(3, "Alt");
        p.text(4, "");
        p.text(5, "");
        p.text(6, "Form.Button");
        p.text(1, "OK");
        p.text(1, "Press");
        p.text(11, "Form.Combo");
        p.text(1, "Combo");
        p.text(0, "");
        p.text(1, "x\r\ny");
        p.text(12, "Form.Texts");
        p.text(1, "t1\r\nt2");
        p.text(3, "Form.Panel");
        p.text(13, "Form.Menu");
        p.text(1, "File");
        p.text(0, "");
        p.text(7, "Form.Cut"); // its hint is missing
        p.text(1, "Cut");
    }
    EXPECT_EQ(lv::PackDisplayString(file), "Deutsch - Alt");
    const lv::TPack pack = lv::ReadPack(file);
    EXPECT_EQ(pack.Header.Revision, 0);
    EXPECT_EQ(pack.Header.LangId, 0x0407);
    EXPECT_EQ(pack.Header.Name, "Deutsch");
    ASSERT_EQ(pack.Entries.size(), 5u);
    const auto& e = pack.Entries;
    EXPECT_EQ(e[0].Kind, 6);
    EXPECT_EQ(e[0].Path, "Form.Button");
    EXPECT_EQ(e[0].Caption.Text, "OK");
    EXPECT_EQ(e[0].Hint.Text, "Press");
    EXPECT_EQ(e[1].Kind, 11);
    EXPECT_EQ(e[1].Items.Text, "x\r\ny");
    EXPECT_EQ(e[1].Hint.Text, "");
    EXPECT_EQ(e[2].Kind, 12);
    EXPECT_EQ(e[2].Items.Text, "t1\r\nt2");
    EXPECT_EQ(e[2].Caption.Text, "");
    EXPECT_EQ(e[3].Kind, 3);
    EXPECT_EQ(e[3].Path, "Form.Panel");
    EXPECT_EQ(e[4].Kind, 13);
    EXPECT_EQ(e[4].Path, "Form.Menu");
    EXPECT_EQ(e[4].Caption.Text, "File");
}

TEST(LanguagePack, RefusesOtherRevisionsShortPacksAndOtherFiles) {
    lvtest::TempDir dir;
    const std::string rev5 = dir.file("rev5.spk");
    writeByHand(rev5, 5);
    EXPECT_EQ(errorOf(rev5), "Format not supported in this revision: " + rev5);
    EXPECT_EQ(lv::ReadPackListing(rev5).Revision, 5) << "listed all the same";

    const std::string five = dir.file("five.spk");
    {
        TStore p(five);
        p.integer(0, 0x0001040C);
        for (int id = 1; id < 5; ++id)
            p.text(id, "x");
    }
    EXPECT_NE(errorOf(five), "");
    EXPECT_EQ(lv::PackDisplayString(five), "");

    const std::string other = dir.file("other.spk");
    const std::string text = "ZOQ LANGUAGE FILX and more than enough bytes for a count";
    writeBytes(other, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    EXPECT_NE(errorOf(other), "");
    EXPECT_EQ(lv::PackDisplayString(other), "");
    EXPECT_TRUE(lv::PackFlag(other).empty());
    EXPECT_NE(errorOf(dir.file("missing.spk")), "");
    EXPECT_EQ(lv::PackDisplayString(dir.file("missing.spk")), "");
}

TEST(LanguagePack, DamagedPacksAreReadCleanlyOrRefused) {
    lvtest::TempDir dir;
    const std::string file = dir.file("pack.spk");
    lv::TPack pack = samplePack();
    pack.Entries.clear();
    lv::WritePack(file, pack);
    const std::size_t headerEnd = fileBytes(file).size();
    lv::WritePack(file, samplePack());
    const std::vector<std::uint8_t> good = fileBytes(file);

    const std::string cut = dir.file("cut.spk");
    std::size_t lastEntries = 0;
    for (std::size_t size = 0; size < good.size(); ++size) {
        writeBytes(cut, good.data(), size);
        const bool refused = !errorOf(cut).empty();
        EXPECT_EQ(refused, size < headerEnd) << "cut at " << size;
        if (!refused) {
            const std::size_t entries = lv::ReadPack(cut).Entries.size();
            EXPECT_GE(entries, lastEntries) << "cut at " << size;
            EXPECT_LT(entries, 2u) << "cut at " << size;
            lastEntries = entries;
        }
        lv::PackDisplayString(cut);
        lv::PackFlag(cut);
    }
    EXPECT_EQ(lastEntries, 1u);

    // Every field replaced by lengths and counts that lie.
    const std::string bad = dir.file("bad.spk");
    for (std::size_t at = 17; at + 4 <= good.size(); ++at) {
        for (std::uint32_t value : {0u, 8u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
            std::vector<std::uint8_t> b = good;
            for (int i = 0; i < 4; ++i)
                b[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
            writeBytes(bad, b.data(), b.size());
            EXPECT_NO_THROW({
                try {
                    lv::ReadPack(bad);
                } catch (const lv::Error&) {
                }
                lv::PackDisplayString(bad);
                lv::PackFlag(bad);
            }) << "value "
               << value << " at " << at;
        }
    }
}

// What a pack may set is bounded: a caption of megabytes once made the window 32767 pixels
// wide and took 900 MB. Texts are cut on a whole UTF-8 character, lists to their first lines,
// an entry whose name is too long to be a component's is refused; each cut is noted.
TEST(LanguagePack, TextsBeyondTheBoundsAreCutAndNoted) {
    lvtest::TempDir dir;
    const std::string file = dir.file("big.spk");
    const std::string text(lv::kMaxPackText, 'a');
    const std::string line = "line\r\n";
    std::string lines;
    for (std::size_t i = 0; i < lv::kMaxPackLines; ++i)
        lines += line;
    const std::string longLines = JoinTimes("\xC3\xA9", 20000) + "\r\nb";
    const struct {
        const char* what;
        std::string path, caption, hint, items;
        std::size_t entries, captionBytes, hintBytes, itemLines;
        std::string noted; // "" for nothing
    } cases[] = {
        {"at the bounds", "F.c", text, text, lines, 1, text.size(), text.size(), lv::kMaxPackLines,
         ""},
        {"caption of 20 MB", "F.c", std::string(20u << 20, 'x'), "h", "i", 1, lv::kMaxPackText, 1,
         1, "caption of F.c cut to 2048 bytes"},
        {"hint cut inside a character", "F.c", "c", "h" + JoinTimes("\xC3\xA9", 5000), "", 1, 1,
         lv::kMaxPackText - 1, 0, "hint of F.c cut to 2048 bytes"},
        {"too many lines", "F.c", "c", "", lines + lines, 1, 1, 0, lv::kMaxPackLines,
         "items of F.c cut to 256 lines of at most 2048 bytes"},
        {"too long a line", "F.c", "c", "", longLines, 1, 1, 0, 2,
         "items of F.c cut to 256 lines of at most 2048 bytes"},
        {"name too long", "F." + text, "c", "", "", 0, 0, 0, 0,
         "an entry whose name is longer than 2048 bytes was refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        lv::TPack pack = samplePack();
        pack.Entries.resize(1);
        auto& e = pack.Entries[0];
        e.Path = c.path;
        e.Caption.Text = c.caption;
        e.Hint.Text = c.hint;
        e.Items.Text = c.items;
        lv::TPackEntry next;
        next.Path = "F.next";
        next.Caption = {lv::kTranslated, "after"};
        pack.Entries.push_back(next);
        lv::WritePack(file, pack);
        const lv::TPack read = lv::ReadPack(file);
        ASSERT_EQ(read.Entries.size(), c.entries + 1);
        EXPECT_EQ(read.Entries.back().Caption.Text, "after") << "the rest of the pack applies";
        if (c.entries == 1) {
            const auto& r = read.Entries[0];
            EXPECT_EQ(r.Caption.Text, c.caption.substr(0, c.captionBytes));
            EXPECT_EQ(r.Hint.Text, c.hint.substr(0, c.hintBytes));
            const auto readLines = lv::SplitPackLines(r.Items.Text);
            EXPECT_EQ(readLines.size(), c.itemLines);
            const auto writtenLines = lv::SplitPackLines(c.items);
            for (std::size_t i = 0; i < readLines.size(); ++i)
                EXPECT_EQ(readLines[i], writtenLines[i].substr(0, readLines[i].size()));
            for (const auto& l : readLines)
                EXPECT_LE(l.size(), lv::kMaxPackText);
        }
        if (c.noted.empty())
            EXPECT_TRUE(read.Cuts.empty());
        else
            EXPECT_EQ(read.Cuts,
                      std::vector<std::string>{"Language file " + file + ": " + c.noted});
    }
}

TEST(LanguagePack, VersionsAndLines) {
    EXPECT_EQ(lv::PackVersion(1, 2, 0, 5), 0x01020005u);
    EXPECT_EQ(lv::VersionText(lv::PackVersion(1, 2, 3, 1023)), "1.2.3.1023");
    EXPECT_EQ(lv::VersionText(lv::PackVersion(257, 258, 65, 1025)), "1.2.1.1");
    EXPECT_EQ(lv::PackVersionText("2,1,0,14"), lv::PackVersion(2, 1, 0, 14));
    EXPECT_EQ(lv::PackVersionText("v1.0 build 7.3.9.9"), lv::PackVersion(1, 7, 3, 9));
    EXPECT_EQ(lv::PackVersionText("3.4"), lv::PackVersion(3, 4, 0, 0));

    using L = std::vector<std::string>;
    EXPECT_EQ(lv::SplitPackLines("a\r\nb\nc\rd"), (L{"a", "b", "c", "d"}));
    EXPECT_EQ(lv::SplitPackLines("a\r\n\r\nb\r\n"), (L{"a", "", "b"}));
    EXPECT_EQ(lv::SplitPackLines("\n"), (L{""}));
    EXPECT_EQ(lv::SplitPackLines(""), L{});
    EXPECT_EQ(lv::JoinPackLines({"a", "", "b"}), "a\r\n\r\nb");
}
