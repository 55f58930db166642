#include "Lang/Storefile.h"
#include "Lang/LanguagePack.h"
#include "platform/Errors.h"
#include "platform/Files.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

std::vector<std::uint8_t> head(std::uint32_t count) {
    std::vector<std::uint8_t> b(lv::kPackSignature, lv::kPackSignature + 17);
    put32(b, count);
    return b;
}

std::string readText(lv::TStorefile& s, bool advance) {
    std::string text;
    s.ReadString(text, advance);
    return text;
}

} // namespace

TEST(Storefile, RecordLayoutOnDiskAndEmptyStore) {
    lvtest::TempDir dir;
    const std::string file = dir.file("a/b/store.spk");
    {
        lv::TStorefile s;
        s.Signature = lv::kPackSignature;
        s.Filename = file;
        ASSERT_TRUE(s.Open()) << "the folders are created";
        EXPECT_TRUE(s.AtEnd());
    }
    EXPECT_EQ(fileBytes(file), head(0));
    {
        lv::TStorefile s;
        s.Signature = lv::kPackSignature;
        s.Filename = file;
        ASSERT_TRUE(s.Open());
        EXPECT_EQ(s.Count(), 0);
        EXPECT_TRUE(s.AtEnd());
        EXPECT_EQ(s.PayloadSize(), -1);
        EXPECT_EQ(s.AppendRecord(-7, {0xA1, 0xB2, 0xC3}), 1);
    }
    std::vector<std::uint8_t> expected = head(1);
    put32(expected, 11);
    put32(expected, std::uint32_t(-7));
    expected.insert(expected.end(), {0xA1, 0xB2, 0xC3});
    put32(expected, 15);
    EXPECT_EQ(fileBytes(file), expected);

    // A bare name is taken in the current directory.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path() / "a/b");
    lv::TStorefile s;
    s.Signature = lv::kPackSignature;
    s.Filename = "store.spk";
    const bool opened = s.Open();
    std::filesystem::current_path(cwd);
    ASSERT_TRUE(opened);
    EXPECT_EQ(s.Filename, file);
    EXPECT_EQ(s.Count(), 1);
}

TEST(Storefile, NavigatesAndReadsWithAndWithoutAdvance) {
    lvtest::TempDir dir;
    const std::string file = dir.file("nav.spk");
    const std::vector<std::string> texts = {"", "a", "bbbbbbbbbbbb", "ccc", "dd", "eeeee"};
    {
        lv::TStorefile s;
        s.Signature = "SIG";
        s.Filename = file;
        ASSERT_TRUE(s.Open());
        for (std::size_t i = 0; i < texts.size(); ++i)
            ASSERT_EQ(s.AppendString(int(i) + 100, texts[i]), int(i) + 1);
        EXPECT_EQ(s.AppendInteger(9, -2), 7);
    }
    lv::TStorefile s;
    s.Signature = "SIG";
    s.Filename = file;
    ASSERT_TRUE(s.Open());
    ASSERT_EQ(s.Count(), 7);
    EXPECT_EQ(s.Index(), 0);
    std::string text;
    EXPECT_EQ(s.ReadString(text, false), 100);
    EXPECT_EQ(s.Index(), 0);
    s.Next();
    EXPECT_EQ(s.ReadString(text, true), 101);
    EXPECT_EQ(text, "a");
    EXPECT_EQ(s.Index(), 2);
    EXPECT_EQ(s.PayloadSize(), 12);
    std::vector<std::uint8_t> part;
    EXPECT_EQ(s.ReadRecord(part, 3, false), 102);
    EXPECT_EQ(std::string(part.begin(), part.end()), "bbb");
    s.Previous();
    EXPECT_EQ(readText(s, false), "a");

    for (int target : {5, 3, 0, 4, 1, 6, 2}) {
        s.GoTo(target);
        EXPECT_EQ(s.Index(), target);
        std::string got;
        EXPECT_EQ(s.ReadString(got, false), target == 6 ? 9 : 100 + target);
        if (target < 6) {
            EXPECT_EQ(got, texts[std::size_t(target)]) << "GoTo " << target;
        }
    }
    s.GoTo(-1);
    s.GoTo(7);
    EXPECT_EQ(s.Index(), 2);

    s.Last();
    EXPECT_EQ(s.Index(), 6);
    std::int32_t value = 0;
    EXPECT_EQ(s.ReadInteger(value, true), 9);
    EXPECT_EQ(value, -2);
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(s.Index(), 7);
    s.Next();
    EXPECT_EQ(s.Index(), 7);
    s.Previous();
    EXPECT_EQ(s.Index(), 6);
    s.First();
    s.Previous();
    EXPECT_EQ(s.Index(), 0);
    EXPECT_EQ(readText(s, false), "");
    EXPECT_FALSE(s.AtEnd());
}

TEST(Storefile, AppendsOnlyAtTheEndAndNeverWhenReadOnly) {
    lvtest::TempDir dir;
    const std::string file = dir.file("append.spk");
    {
        lv::TStorefile s;
        s.Filename = file;
        ASSERT_TRUE(s.Open());
        s.AppendString(1, "one");
        s.AppendString(2, "two");
    }
    const auto before = fileBytes(file);
    {
        lv::TStorefile s;
        s.Filename = file;
        ASSERT_TRUE(s.Open());
        EXPECT_EQ(s.AppendString(3, "three"), 0);
        s.Last();
        EXPECT_EQ(s.AppendString(3, "three"), 0);
        s.Close();
        EXPECT_EQ(fileBytes(file), before);
        ASSERT_TRUE(s.Open());
        s.Last();
        s.Next();
        EXPECT_EQ(s.AppendString(3, "three"), 3);
    }
    const auto after = fileBytes(file);
    EXPECT_EQ(after.size(), before.size() + 17);

    lv::TStorefile s;
    s.Filename = file;
    s.ReadOnly = true;
    ASSERT_TRUE(s.Open());
    s.Last();
    s.Next();
    ASSERT_TRUE(s.AtEnd());
    try {
        s.AppendInteger(4, 4);
        ADD_FAILURE() << "a read-only store appended";
    } catch (const lv::Error& e) {
        EXPECT_STREQ(e.what(), "Attempt to write a data while in ReadOnly mode");
    }
    s.Close();
    EXPECT_EQ(fileBytes(file), after);

    lv::TStorefile missing;
    missing.Filename = dir.file("none.spk");
    missing.ReadOnly = true;
    EXPECT_FALSE(missing.Open());
    EXPECT_FALSE(lv::FileExists(missing.Filename));
}

TEST(Storefile, ClearEmptiesAnOpenStoreAndDeletesAClosedOne) {
    lvtest::TempDir dir;
    const std::string file = dir.file("clear.spk");
    lv::TStorefile s;
    s.Signature = lv::kPackSignature;
    s.Filename = file;
    ASSERT_TRUE(s.Open());
    s.AppendString(1, "x");
    s.AppendString(2, "y");
    s.Clear();
    EXPECT_TRUE(s.IsOpen());
    EXPECT_EQ(s.Count(), 0);
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(s.AppendString(3, "z"), 1);
    s.Close();
    EXPECT_EQ(fileBytes(file).size(), 21u + 13u);
    s.Clear();
    EXPECT_FALSE(lv::FileExists(file));
    EXPECT_FALSE(s.IsOpen());
}

TEST(Storefile, DamagedFilesEndTheWalkWithoutReadingPastTheEnd) {
    lvtest::TempDir dir;
    const std::string file = dir.file("bad.spk");
    auto open = [&](lv::TStorefile& s) {
        s.Signature = lv::kPackSignature;
        s.Filename = file;
        s.ReadOnly = true;
        return s.Open();
    };
    // One good record, then a second one whose length field is replaced.
    auto withSecondLength = [&](std::uint32_t count, std::uint32_t length) {
        auto b = head(count);
        put32(b, 9);
        put32(b, 1);
        b.push_back('g');
        put32(b, 13);
        put32(b, length);
        put32(b, 2);
        b.insert(b.end(), {'b', 'a', 'd'});
        put32(b, 15);
        writeBytes(file, b);
    };
    for (std::uint32_t length : {0u, 7u, 0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu, 12u, 10u}) {
        withSecondLength(2, length);
        lv::TStorefile s;
        ASSERT_TRUE(open(s));
        EXPECT_EQ(readText(s, true), "g");
        EXPECT_TRUE(s.AtEnd()) << "length " << length;
        EXPECT_EQ(s.PayloadSize(), -1);
        std::vector<std::uint8_t> data;
        EXPECT_EQ(s.ReadRecord(data, -1, true), 0);
        EXPECT_TRUE(data.empty());
        s.First();
        s.Last();
        EXPECT_EQ(s.Index(), 1);
        EXPECT_TRUE(s.AtEnd());
    }

    // A count far beyond the bytes is cut to what they can hold.
    withSecondLength(0x7FFFFFFF, 11);
    {
        lv::TStorefile s;
        ASSERT_TRUE(open(s));
        EXPECT_EQ(s.Count(), 2);
        s.Last();
        EXPECT_EQ(s.Index(), 1);
        EXPECT_EQ(readText(s, false), "bad");
        s.Previous();
        EXPECT_EQ(readText(s, false), "g");
    }

    // A back length that does not lead to a record start is not followed.
    withSecondLength(2, 11);
    auto b = fileBytes(file);
    b[b.size() - 4] = 14;
    writeBytes(file, b);
    {
        lv::TStorefile s;
        ASSERT_TRUE(open(s));
        s.Next();
        EXPECT_TRUE(s.AtEnd()) << "the second record's back length is wrong";
        s.Last();
        EXPECT_TRUE(s.AtEnd());
        EXPECT_EQ(s.PayloadSize(), -1);
    }

    // Wrong signature: closed, and the file is left as it was.
    b = head(0);
    b[16] = 'X';
    writeBytes(file, b);
    lv::TStorefile s;
    s.Signature = lv::kPackSignature;
    s.Filename = file;
    EXPECT_FALSE(s.Open());
    EXPECT_FALSE(s.IsOpen());
    EXPECT_TRUE(s.AtEnd());
    s.Close();
    EXPECT_EQ(fileBytes(file), b);
}
