// Damaged and hostile files through the facade: every reader either gives a finite,
// non-negative duration or refuses with its own message; never a crash, hang or huge
// allocation. Run under AddressSanitizer too.
#include "Audio/AudioFile.h"
#include "Audio/Mpeg/FrameLoader.h"
#include "platform/Errors.h"

#include "AudioFixtures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <set>

namespace {

using namespace lvtest;

struct ReaderCase {
    const char* name;
    const char* extension;
    Bytes (*validFile)();
    std::set<std::string> (*messages)(const std::string& path);
};

Bytes validWav() {
    Bytes info = concat({Bytes{'I', 'N', 'F', 'O'}, chunk("ISFT", Bytes(7, 'x')), Bytes{0}});
    return riffWave({chunk("fmt ", pcmFormat(2, 22050, 16, true)), chunk("LIST", info),
                     chunk("data", tonePcm(22050, 2, 0.01))});
}

Bytes validMp3() {
    Bytes tag = {'T', 'A', 'G'};
    tag.resize(128, 0x20);
    return concat({id3v2Tag({0, 0, 0, 40}, 40), Bytes(20, 0),
                   repeat(mpegFrame(mpegWord(3, 3, 9, 0, 1), 418), 6), tag});
}

std::set<std::string> wavMessages(const std::string& path) {
    return {
        "Bad .wav format. RIFF chunk not found",  "Bad .wav format. 1st chunk is not an RIFF chunk",
        "Bad .wav format. Can't find FMT chunk",  "Bad .wav format. Only PCM data is supported",
        "Bad .wav format. Can't find audio data", "Impossible d'ouvrir le fichier " + path};
}

std::set<std::string> mpegMessages(const std::string& path) {
    return {"Invalid MPEG file " + path};
}

const ReaderCase kReaders[] = {
    {"Wav", ".wav", &validWav, &wavMessages},
    {"Mpeg", ".mp3", &validMp3, &mpegMessages},
};

class HostileInput : public ::testing::TestWithParam<ReaderCase> {
protected:
    // Opens the bytes as a file of the reader's kind; returns the duration in seconds, or -1
    // after a refusal with one of the reader's messages.
    double open(const Bytes& bytes) {
        writeFile(m_path, bytes);
        try {
            return FacadeSeconds(m_path);
        } catch (const lv::Error& e) {
            EXPECT_EQ(GetParam().messages(m_path).count(e.what()), 1u) << e.what();
            return -1;
        }
    }

    TempDir m_dir;
    std::string m_path = m_dir.file(std::string("hostile") + GetParam().extension);
};

TEST_P(HostileInput, EmptyAndTruncatedFiles) {
    EXPECT_EQ(open({}), -1);
    Bytes valid = GetParam().validFile();
    double full = open(valid);
    ASSERT_GT(full, 0);
    // Every cut in the headers and near the end, a sample of those in between.
    for (std::size_t n = 1; n < valid.size(); n += (n < 300 || n + 30 > valid.size()) ? 1 : 37) {
        Bytes prefix(valid.begin(), valid.begin() + std::ptrdiff_t(n));
        double seconds = open(prefix);
        EXPECT_LE(seconds, full + 1e-9) << n << " bytes";
    }
}

TEST_P(HostileInput, RandomBytesAndDamagedFiles) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 40; ++round) {
        Bytes noise(random() % 20000);
        for (auto& b : noise)
            b = std::uint8_t(random());
        // Now and then a sync byte pair, to reach the header checks.
        for (std::size_t i = 0; i + 1 < noise.size(); i += 1 + random() % 300) {
            noise[i] = 0xFF;
            noise[i + 1] = std::uint8_t(0xE0 | random());
        }
        open(noise);
    }
    Bytes valid = GetParam().validFile();
    for (int round = 0; round < 200; ++round) {
        Bytes damaged = valid;
        for (int k = 0; k < 1 + round % 8; ++k)
            damaged[random() % damaged.size()] = std::uint8_t(random());
        open(damaged);
    }
}

TEST_P(HostileInput, SizesPointingFarPastTheEnd) {
    Bytes valid = GetParam().validFile();
    // Every 4-byte field set to a huge value, one at a time.
    for (std::size_t at = 0; at + 4 <= std::min<std::size_t>(valid.size(), 200); ++at) {
        for (std::uint8_t fill : {0x7F, 0xFF}) {
            Bytes damaged = valid;
            std::fill_n(damaged.begin() + std::ptrdiff_t(at), 4, fill);
            open(damaged);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, HostileInput, ::testing::ValuesIn(kReaders),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostileMpeg, AHugeSparseFileDoesNotPresetAHugeIndex) {
    TempDir dir;
    std::string path = dir.file("sparse.mp3");
    // The smallest frames (24 bytes) followed by a hole of 3 GiB: the first frame's length
    // would preset room for 134 million frames.
    writeFile(path, repeat(mpegFrame(mpegWord(2, 3, 1, 1), 24), 3));
    std::error_code ec;
    std::filesystem::resize_file(path, 3ull << 30, ec);
    if (ec)
        GTEST_SKIP() << "no sparse file here: " << ec.message();
    lv::TFrameLoader loader(path);
    EXPECT_EQ(loader.FrameCount(), 1);
    EXPECT_LE(loader.IndexCapacity(), std::size_t(1) << 20);
}

} // namespace
