#include "Audio/AudioFile.h"
#include "Audio/WavAudioFile.h"
#include "platform/Errors.h"
#include "platform/Files.h"

#include "AudioFixtures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>

#include <tuple>

namespace {

using namespace lvtest;

struct MaskCase {
    const char* name;
    const char* mask;
    bool matches;
};

class Mask : public ::testing::TestWithParam<MaskCase> {};

TEST_P(Mask, CoversTheWholeNameInAnyCase) {
    const MaskCase& c = GetParam();
    EXPECT_EQ(lv::MatchesMask(c.name, c.mask), c.matches) << c.name << " ~ " << c.mask;
}

INSTANTIATE_TEST_SUITE_P(
    Names, Mask,
    ::testing::Values(MaskCase{"/music/Song.MP3", "*.mp[123]", true},
                      MaskCase{"a.mp1", "*.mp[123]", true}, MaskCase{"a.Mp2", "*.mp[123]", true},
                      MaskCase{"a.mp4", "*.mp[123]", false}, MaskCase{"a.mp", "*.mp[123]", false},
                      MaskCase{"a.mp3.bak", "*.mp[123]", false},
                      MaskCase{"a.mp3x", "*.mp[123]", false}, MaskCase{".wav", "*.wav", true},
                      MaskCase{"x.wav/y.ogg", "*.wav", false}, MaskCase{"x.wav.wav", "*.wav", true},
                      MaskCase{"wav", "*.wav", false}, MaskCase{"ab", "a?", true},
                      MaskCase{"a", "a?", false}, MaskCase{"k.mp5", "*.mp[1-5]", true},
                      MaskCase{"k.mp6", "*.mp[1-5]", false}, MaskCase{"k.mpx", "*.mp[!123]", true},
                      MaskCase{"k.mp2", "*.mp[!123]", false}, MaskCase{"k.mp2", "*.mp[123", false},
                      MaskCase{"", "*", true},
                      MaskCase{"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c", false}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(AudioFile, KindFollowsTheMasksOfTheKindTable) {
    const std::pair<const char*, lv::TAudioKind> cases[] = {
        {"/x/Song.MP3", lv::akMpeg}, {"clip.asf", lv::akWma},  {"x.mp4", lv::akNone},
        {"a.WAV", lv::akWav},        {"b.wma", lv::akWma},     {"c.Ogg", lv::akOgg},
        {"d.ape", lv::akApe},        {"e.AC3", lv::akAc3},     {"f.mpc", lv::akMpc},
        {"g.mp2", lv::akMpeg},       {"noext", lv::akNone},    {"", lv::akNone},
        {"h.wav.txt", lv::akNone},   {"/x.mp3/y", lv::akNone},
    };
    for (const auto& [name, kind] : cases) {
        lv::TAudioFile audio;
        audio.SetFileName(name);
        EXPECT_EQ(audio.Kind(), kind) << name;
        EXPECT_EQ(lv::AudioKindOfName(name), kind) << name;
    }
}

TEST(AudioFile, NamesWithoutReaderDoNotOpen) {
    TempDir dir;
    // An existing file whose name matches no mask is not even read.
    for (const char* name : {"x.mp4", "x.mp3.bak", "noext", "x.wav "}) {
        std::string path = dir.file(name);
        writeFile(path,
                  riffWave({chunk("fmt ", pcmFormat(2, 44100, 16)), chunk("data", Bytes(400, 0))}));
        lv::TAudioFile audio;
        audio.SetFileName(path);
        EXPECT_EQ(audio.Kind(), lv::akNone) << name;
        EXPECT_FALSE(audio.Open()) << name;
        EXPECT_FALSE(audio.IsOpen()) << name;
        EXPECT_EQ(audio.Duration(), 0) << name;
        EXPECT_EQ(audio.Reader(), nullptr) << name;
    }
}

TEST(AudioFile, OpenOnceAndKeepTheFileWhileOpen) {
    TempDir dir;
    std::string wavPath = dir.file("one second.wav");
    // 44100 Hz, 16 bits, stereo, 176400 data bytes: one second.
    writeFile(wavPath,
              riffWave({chunk("fmt ", pcmFormat(2, 44100, 16)), chunk("data", Bytes(176400, 0))}));
    std::string mp3Path = dir.file("three.mp3");
    writeFile(mp3Path, repeat(mpegFrame(mpegWord(3, 3, 9, 0), 417), 3));

    lv::TAudioFile audio;
    EXPECT_EQ(audio.Kind(), lv::akNone);
    EXPECT_FALSE(audio.IsOpen());
    audio.SetFileName(wavPath);
    EXPECT_EQ(audio.Duration() * 86400, 1.0L) << "Duration opens when needed";
    EXPECT_TRUE(audio.IsOpen());
    lv::TAbstractAudioFile* reader = audio.Reader();
    ASSERT_NE(dynamic_cast<lv::TWavAudioFile*>(reader), nullptr);

    audio.SetFileName(mp3Path);
    EXPECT_EQ(audio.FileName(), wavPath);
    EXPECT_EQ(audio.Kind(), lv::akWav);
    EXPECT_TRUE(audio.Open());
    EXPECT_EQ(audio.Reader(), reader) << "a second Open keeps the reader";
    EXPECT_EQ(audio.Duration() * 86400, 1.0L);

    EXPECT_TRUE(audio.Close());
    EXPECT_FALSE(audio.IsOpen());
    EXPECT_EQ(audio.Reader(), nullptr);
    EXPECT_TRUE(audio.Close());
    audio.SetFileName(mp3Path);
    EXPECT_EQ(audio.Kind(), lv::akMpeg);
    EXPECT_NEAR(double(audio.Duration()) * 86400, 3 * 1152 / 44100.0, 1e-12);
}

TEST(AudioFile, ReaderRefusalsPassThroughAndLeaveItClosed) {
    TempDir dir;
    std::string path = dir.file("bad.wav");
    writeFile(path, Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0});
    lv::TAudioFile audio;
    audio.SetFileName(path);
    try {
        audio.Open();
        ADD_FAILURE() << "a bad file opened";
    } catch (const lv::Error& e) {
        EXPECT_STREQ(e.what(), "Bad .wav format. RIFF chunk not found");
    }
    EXPECT_FALSE(audio.IsOpen());
    EXPECT_THROW(audio.Duration(), lv::Error);

    lv::TAudioFile mp3;
    mp3.SetFileName(dir.file("absent.mp3"));
    try {
        mp3.Open();
        ADD_FAILURE() << "a missing file opened";
    } catch (const lv::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Invalid MPEG file " + dir.file("absent.mp3"));
    }
    EXPECT_FALSE(mp3.IsOpen());
}

TEST(AudioFile, DegenerateFormatsHaveNoDuration) {
    TempDir dir;
    std::string path = dir.file("zero.wav");
    // A PCM header with zero channels, rate or width: no bytes per second to divide by.
    for (auto [channels, rate, bits] :
         {std::tuple{0, 44100, 16}, std::tuple{2, 0, 16}, std::tuple{2, 44100, 0}}) {
        writeFile(path, riffWave({chunk("fmt ", pcmFormat(channels, rate, bits)),
                                  chunk("data", Bytes(400, 0))}));
        lv::TAudioFile audio;
        audio.SetFileName(path);
        ASSERT_TRUE(audio.Open());
        EXPECT_EQ(audio.Duration(), 0);
        EXPECT_EQ(audio.Reader()->Duration(), 0);
    }
}

TEST(AbstractAudioFile, TagsDefaultsAndTheBaseDuration) {
    TempDir dir;
    std::string path = dir.file("odd.wav");
    // 1 channel, 7 Hz, 4 bits, 42 bytes: the base divides by (1 x 7 x 4) div 8 = 3 bytes a
    // second (14 s); the facade's formula gives 42 / 7 / 4 x 8 = 12 s.
    writeFile(path, riffWave({chunk("fmt ", pcmFormat(1, 7, 4)), chunk("data", Bytes(42, 0))}));
    lv::TWavAudioFile wav(path);
    EXPECT_DOUBLE_EQ(wav.Duration() * 86400, 14.0);
    lv::TAudioFile audio;
    audio.SetFileName(path);
    EXPECT_NEAR(double(audio.Duration()) * 86400, 12.0, 1e-12);

    EXPECT_EQ(wav.TagKinds, 0u);
    EXPECT_EQ(wav.LeadingTagSize, 0);
    EXPECT_TRUE(wav.Tags.empty());
    EXPECT_TRUE(wav.Messages.empty());
    EXPECT_EQ(wav.FileName(), path);
    const std::string date =
        QLocale::system().toString(QDate(1999, 12, 31), QLocale::ShortFormat).toStdString();
    wav.Tags = {"TITLE=Song = one", "TRACK=12", "TRACKX=7", "YEAR=19x", "EMPTY=", "DATE=" + date};
    EXPECT_EQ(wav.GetTag("TITLE"), "Song = one");
    EXPECT_EQ(wav.GetTag("TRACK"), "12");
    EXPECT_EQ(wav.GetTag("TRACKX"), "7");
    EXPECT_EQ(wav.GetTag("TITL"), "");
    EXPECT_EQ(wav.GetTag("EMPTY"), "");
    EXPECT_EQ(wav.GetTagInt("TRACK"), 12);
    EXPECT_EQ(wav.GetTagInt("YEAR"), 0);
    EXPECT_EQ(wav.GetTagInt("MISSING"), 0);
    EXPECT_EQ(wav.GetTagDate("DATE"), 36525.0);
    EXPECT_EQ(wav.GetTagDate("TITLE"), 0.0);
    EXPECT_FALSE(wav.RemoveTags(lv::tkId3v1 | lv::tkId3v2));
    EXPECT_FALSE(wav.WriteTags(lv::tkId3v2));
    EXPECT_EQ(lv::FileSize(path), std::uint64_t(8 + 4 + 24 + 8 + 42)) << "the file is untouched";
}

} // namespace
