// Damaged and hostile files for the readers behind decoder libraries: each either gives a
// finite duration no longer than the intact file's or refuses with one of its messages;
// never a crash. Run under AddressSanitizer too.
#include "Audio/AudioFile.h"
#include "platform/Errors.h"

#include "AudioFixtures.h"
#include "ExternalFixtures.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <regex>

namespace {

using namespace lvtest;

struct FormatCase {
    const char* name;
    const char* extension;
    // Makes a valid file at path; false when the encoder is missing or fails.
    bool (*make)(const TempDir& dir, const std::string& path);
    // The refusals the reader may give; "%s" stands for the path.
    const char* messages;
    // Length counted from the data (a cut file is shorter), not declared by a header.
    bool lengthFromData;
};

std::vector<std::string> sine(int rate, int channels) {
    return {"-f",  "lavfi",
            "-i",  "sine=frequency=330:duration=1.5",
            "-ar", std::to_string(rate),
            "-ac", std::to_string(channels)};
}

bool makeWith(const std::string& codec, const std::string& path) {
    std::vector<std::string> args = sine(44100, 2);
    args.insert(args.end(), {"-c:a", codec});
    return haveProgram("ffmpeg") && ffmpegMake(args, path);
}

const FormatCase kFormats[] = {
    {"Ogg", ".ogg", [](const TempDir&, const std::string& p) { return makeWith("libvorbis", p); },
     "\"%s\" is not a Ogg bitstream", true},
    {"Wma", ".wma", [](const TempDir&, const std::string& p) { return makeWith("wmav2", p); },
     "Failed to [a-zA-Z0-9 ]+ - 0x[0-9a-f]{8}|This Windows Media file contains too many "
     "outputs \\([0-9]+\\)|WMA doesn't contains Audio data",
     false},
    {"Ac3", ".ac3", [](const TempDir&, const std::string& p) { return makeWith("ac3", p); },
     "Invalid AC3 file", true},
    {"Mpc", ".mpc",
     [](const TempDir& dir, const std::string& p) {
         std::string wav = dir.file("source.wav");
         writeToneWav(wav, 44100, 2, 1.5);
         return haveProgram("mpcenc") && mpcencMake(wav, p);
     },
     "\"%s\" is not a MPC bitstream", false},
    {"Ape", ".ape",
     [](const TempDir&, const std::string& p) {
         writeFile(p, apeFile(2, 44100, 16, 66150));
         return true;
     },
     "\"%s\" is not a Monkey's Audio file", false},
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

std::string escapeRegex(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

class ExternalHostile : public ::testing::TestWithParam<FormatCase> {
protected:
    void SetUp() override {
        m_valid = m_dir.file(std::string("valid") + GetParam().extension);
        if (!GetParam().make(m_dir, m_valid))
            GTEST_SKIP() << "the encoder is needed";
        m_bytes = readFile(m_valid);
        m_full = open(m_bytes, GetParam().extension);
        ASSERT_GT(m_full, 0);
    }

    // Opens the bytes under the extension; the duration in seconds, or -1 after a refusal
    // with one of the messages of that extension's reader.
    double open(const Bytes& bytes, const std::string& extension, const char* messages = nullptr) {
        std::string path = m_dir.file("hostile" + extension);
        writeFile(path, bytes);
        try {
            return FacadeSeconds(path);
        } catch (const lv::Error& e) {
            std::string pattern = messages ? messages : GetParam().messages;
            pattern = std::regex_replace(pattern, std::regex("%s"), escapeRegex(path));
            EXPECT_TRUE(std::regex_match(e.what(), std::regex(pattern))) << e.what();
            return -1;
        }
    }

    double open(const Bytes& bytes) { return open(bytes, GetParam().extension); }

    TempDir m_dir;
    std::string m_valid;
    Bytes m_bytes;
    double m_full = 0;
};

TEST_P(ExternalHostile, EmptyAndTruncatedFiles) {
    EXPECT_EQ(open({}), -1);
    // Every cut through the headers, a sample of the rest, and every cut near the end.
    for (std::size_t n = 1; n < m_bytes.size();
         n += (n < 256 || n + 16 > m_bytes.size()) ? 1 : 97) {
        double seconds = open(Bytes(m_bytes.begin(), m_bytes.begin() + std::ptrdiff_t(n)));
        // A declared length may survive the cut, and the demuxer may estimate one from the
        // bit rate when the header's file size disagrees; neither may run away.
        EXPECT_LE(seconds, GetParam().lengthFromData ? m_full + 1e-6 : 2 * m_full) << n << " bytes";
    }
}

TEST_P(ExternalHostile, RandomBytesAndDamagedHeaders) {
    std::mt19937 random(7);
    for (int round = 0; round < 30; ++round) {
        Bytes noise(random() % 30000);
        for (auto& b : noise)
            b = std::uint8_t(random());
        EXPECT_EQ(open(noise), -1) << "noise " << round;
    }
    for (int round = 0; round < 150; ++round) {
        Bytes damaged = m_bytes;
        for (int k = 0; k < 1 + round % 6; ++k)
            damaged[random() % std::min<std::size_t>(damaged.size(), 400)] = std::uint8_t(random());
        open(damaged);
    }
}

TEST_P(ExternalHostile, OtherFormatsUnderThisName) {
    // This format's file under every other reader's extension, and a WAV under its own.
    for (const FormatCase& other : kFormats) {
        if (std::string(other.extension) == GetParam().extension)
            continue;
        EXPECT_EQ(open(m_bytes, other.extension, other.messages), -1) << other.extension;
    }
    std::string wav = m_dir.file("tone.wav");
    writeToneWav(wav, 8000, 1, 1);
    EXPECT_EQ(open(readFile(wav)), -1);
}

INSTANTIATE_TEST_SUITE_P(Formats, ExternalHostile, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
