#include "Audio/WFileStream.h"
#include "platform/Errors.h"

#include "AudioFixtures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace lvtest;
using lv::TWFileStream;

std::string failure(const std::string& path, std::uint16_t mode, std::uint32_t rights = 0) {
    try {
        TWFileStream s(path, mode, rights);
    } catch (const lv::Error& e) {
        return e.what();
    }
    return "opened";
}

TEST(WFileStream, CreateWriteReopenAndRead) {
    TempDir dir;
    std::string path = dir.file("été 1.bin"); // UTF-8 names are plain paths
    {
        TWFileStream s(path, TWFileStream::fmCreate);
        Bytes data(40000);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = std::uint8_t(i * 7);
        EXPECT_EQ(s.Write(data.data(), std::int64_t(data.size())), 40000);
        EXPECT_EQ(s.Size(), 40000);
        EXPECT_EQ(s.Position(), 40000);
    }
    TWFileStream s(path, TWFileStream::fmOpenRead | TWFileStream::fmShareDenyNone);
    EXPECT_EQ(s.Size(), 40000);
    std::uint8_t b[4];
    // Small reads across the read-ahead boundary and after seeks both ways.
    for (std::int64_t pos : {0ll, 16382ll, 39998ll, 5ll, 20000ll, 16384ll}) {
        s.Seek(pos, TWFileStream::soBeginning);
        std::int64_t expected = std::min<std::int64_t>(4, 40000 - pos);
        ASSERT_EQ(s.Read(b, 4), expected) << pos;
        for (std::int64_t i = 0; i < expected; ++i)
            EXPECT_EQ(b[i], std::uint8_t((pos + i) * 7)) << pos + i;
        EXPECT_EQ(s.Position(), pos + expected);
    }
    EXPECT_EQ(s.Seek(-10, TWFileStream::soEnd), 39990);
    EXPECT_EQ(s.Seek(4, TWFileStream::soCurrent), 39994);
    // A large read bypasses the buffer; past the end nothing is read.
    Bytes all(50000);
    s.SetPosition(0);
    EXPECT_EQ(s.Read(all.data(), 50000), 40000);
    EXPECT_EQ(all[39999], std::uint8_t(39999 * 7));
    s.SetPosition(100000);
    EXPECT_EQ(s.Read(b, 4), 0);
    EXPECT_THROW(s.Seek(-1, TWFileStream::soBeginning), lv::Error);

    // fmCreate truncates.
    TWFileStream again(path, TWFileStream::fmCreate);
    EXPECT_EQ(again.Size(), 0);
}

TEST(WFileStream, OpenFailuresCarryTheRuntimeMessages) {
    TempDir dir;
    std::string missing = dir.file("missing.bin");
    EXPECT_EQ(failure(missing, 64), "Impossible d'ouvrir le fichier " + missing);
    EXPECT_EQ(failure("", 64), "Impossible d'ouvrir le fichier ");
    // Folders and FIFOs are not file streams (a FIFO would block the open).
    EXPECT_EQ(failure(dir.path().string(), 64),
              "Impossible d'ouvrir le fichier " + dir.path().string());
    std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(failure(fifo, 64), "Impossible d'ouvrir le fichier " + fifo);
    std::string inMissingFolder = dir.file("no/such/folder.bin");
    EXPECT_EQ(failure(inMissingFolder, TWFileStream::fmCreate),
              "Impossible de créer le fichier " + inMissingFolder);
    try {
        TWFileStream s(dir.file("x"), TWFileStream::fmCreate, 1);
        ADD_FAILURE() << "nonzero rights accepted";
    } catch (const lv::EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "Wrong rights");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("x")));
}

} // namespace
