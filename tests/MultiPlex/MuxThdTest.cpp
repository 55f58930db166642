#include "MultiPlex/MuxThd.h"
#include "MultiPlex/MP3FrameExtract.h"
#include "MultiPlex/TempVideo.h"

#include "MuxTestUtil.h"
#include "platform/AviFile.h"
#include "platform/Files.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

using lvtest::Bytes;

namespace {

bool haveTools() {
    return lvtest::haveProgram("ffmpeg") && lvtest::haveProgram("ffprobe") &&
           lvtest::haveProgram("lame");
}

// An MPEG-1 Layer III header in file order; mode 3 = single channel.
Bytes mp3Header(int bitrateIndex, int rateIndex, int mode = 0) {
    return {0xFF, 0xFB, std::uint8_t(bitrateIndex << 4 | rateIndex << 2), std::uint8_t(mode << 6)};
}

Bytes repeatFrame(const Bytes& header, int length, int count) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), length - 4, std::uint8_t(i));
    }
    return out;
}

// The samples of one stream of an AVI as our reader gives them.
std::vector<Bytes> readSamples(const std::string& path, std::uint32_t type,
                               std::vector<bool>* keys = nullptr) {
    std::vector<Bytes> samples;
    lv::PAVIFILE file;
    lv::PAVISTREAM stream;
    if (lv::AVIFileOpen(file, path, lv::OF_READ) != lv::AVIERR_OK ||
        lv::AVIFileGetStream(file, stream, type, 0) != lv::AVIERR_OK)
        return samples;
    const std::int32_t start = lv::AVIStreamStart(stream);
    for (std::int32_t i = start; i < start + lv::AVIStreamLength(stream); ++i) {
        std::int32_t bytes = 0;
        std::int32_t n = 0;
        EXPECT_EQ(lv::AVIStreamRead(stream, i, 1, nullptr, 0, &bytes, &n), lv::AVIERR_OK);
        Bytes sample(std::size_t(std::max(bytes, 1)));
        if (bytes > 0) {
            EXPECT_EQ(lv::AVIStreamRead(stream, i, 1, sample.data(), bytes, &bytes, &n),
                      lv::AVIERR_OK);
        }
        sample.resize(std::size_t(bytes));
        samples.push_back(std::move(sample));
        if (keys)
            keys->push_back(lv::AVIStreamFindSample(stream, i, lv::FIND_KEY) == i);
    }
    return samples;
}

} // namespace

TEST(MuxThd, RealSoundtracksAreCopiedFrameForFrame) {
    if (!haveTools())
        GTEST_SKIP() << "needs ffmpeg, ffprobe and lame";
    lvtest::TempDir dir;
    const std::string dibVideo = dir.file("dib.avi");
    lvtest::makeDibVideo(dibVideo, 40);
    // A compressed video with key and delta frames, written by another program.
    const std::string mpeg4Video = dir.file("mpeg4.avi");
    auto made = lvtest::runProcess(
        "ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-t", "2",
                   "-c:v", "mpeg4", "-g", "12", "-bf", "0", "-f", "avi", mpeg4Video});
    ASSERT_EQ(made.exitCode, 0) << made.err;

    struct Case {
        std::string name;
        std::vector<std::string> lameArgs;
        int rate;
        int channels;
        std::string video;
    };
    const std::vector<Case> cases = {
        {"cbr", {"--cbr", "-b", "128"}, 44100, 2, dibVideo},
        {"vbr", {"-V", "4"}, 44100, 2, mpeg4Video},
        {"mono22k", {"--cbr", "-b", "32", "-m", "m", "--resample", "22.05"}, 22050, 1, dibVideo},
        {"tagged",
         {"--cbr", "-b", "128", "--add-id3v2", "--pad-id3v2-size", "300", "--tt", "Title"},
         44100,
         2,
         mpeg4Video},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string mp3 =
            lvtest::makeMp3(dir.path().string(), c.name, c.lameArgs, c.rate, c.channels, 3.0);
        const Bytes soundtrack = lvtest::readAll(mp3);
        const Bytes frames = lvtest::withoutTags(soundtrack);
        if (c.name == "tagged") {
            // The fixture holds what it is meant to: tags at both ends.
            ASSERT_GT(soundtrack.size(), frames.size() + 300 + 128);
            ASSERT_EQ(std::memcmp(soundtrack.data(), "ID3", 3), 0);
        }
        const std::string out = dir.file(c.name + "-out.avi");
        const Bytes videoBefore = lvtest::readAll(c.video);

        lv::TMuxThd mux;
        mux.VideoFile = c.video;
        mux.AudioFile = mp3;
        mux.OutputFile = out;
        lvtest::MuxRecorder rec;
        rec.attach(mux);
        ASSERT_TRUE(lvtest::runToEnd(mux));
        ASSERT_FALSE(mux.Failed()) << mux.ErrorMessage();
        EXPECT_FALSE(mux.Aborted());
        EXPECT_FALSE(rec.calledOffMainThread);
        EXPECT_TRUE(rec.logged("Done"));
        EXPECT_EQ(lvtest::readAll(c.video), videoBefore);

        std::string errors;
        auto streams = lvtest::probeStreams(out, &errors);
        EXPECT_EQ(errors, "");
        ASSERT_EQ(streams.size(), 2u);
        auto source = lvtest::probeStreams(c.video);
        ASSERT_EQ(source.size(), 1u);
        EXPECT_EQ(streams[0].value("codec_type").toString(), "video");
        EXPECT_EQ(streams[0].value("codec_name"), source[0].value("codec_name"));
        EXPECT_EQ(streams[0].value("r_frame_rate"), source[0].value("r_frame_rate"));
        EXPECT_EQ(streams[0].value("nb_read_packets"), source[0].value("nb_read_packets"));
        EXPECT_EQ(streams[1].value("codec_type").toString(), "audio");
        EXPECT_EQ(streams[1].value("codec_name").toString(), "mp3");
        EXPECT_EQ(streams[1].value("codec_tag").toString(), "0x0055");
        EXPECT_EQ(streams[1].value("sample_rate").toString().toInt(), c.rate);
        EXPECT_EQ(streams[1].value("channels").toInt(), c.channels);

        auto decoded = lvtest::runProcess("ffmpeg", {"-v", "error", "-i", out, "-f", "null", "-"});
        EXPECT_EQ(decoded.exitCode, 0);
        EXPECT_EQ(decoded.err, "");

        // The audio stream is the soundtrack's frames, byte for byte, without the tags.
        const Bytes audio = lvtest::ffmpegCopyStream(
            out, "0:a", {"-f", "mp3", "-id3v2_version", "0", "-write_xing", "0"});
        EXPECT_EQ(audio.size(), frames.size());
        EXPECT_TRUE(audio == frames);
        // ... and one sample per frame the extractor lists.
        lv::TMP3FrameExtract listed(mp3);
        listed.Scan();
        auto samples = readSamples(out, lv::streamtypeAUDIO);
        ASSERT_EQ(int(samples.size()), listed.CompleteFrames());
        Bytes joined;
        for (std::size_t k = 0; k < samples.size(); ++k) {
            EXPECT_EQ(std::int64_t(samples[k].size()),
                      listed.FrameEnd(int(k)) - listed.FrameStart(int(k)));
            joined.insert(joined.end(), samples[k].begin(), samples[k].end());
        }
        EXPECT_TRUE(joined == frames);

        const double samplesPerFrame = c.rate < 32000 ? 576 : 1152;
        const double expected =
            lvtest::probeStreams(mp3).at(0).value("duration").toString().toDouble();
        const double got = streams[1].value("duration").toString().toDouble();
        EXPECT_LE(std::abs(got - expected), samplesPerFrame / c.rate + 1e-3)
            << got << " vs " << expected;

        // Every video packet, with its bytes and key flag, in its place.
        std::vector<bool> keysIn;
        std::vector<bool> keysOut;
        EXPECT_EQ(readSamples(out, lv::streamtypeVIDEO, &keysOut),
                  readSamples(c.video, lv::streamtypeVIDEO, &keysIn));
        EXPECT_EQ(keysOut, keysIn);
        EXPECT_EQ(lvtest::ffmpegCopyStream(out, "0:v", {"-f", "data"}),
                  lvtest::ffmpegCopyStream(c.video, "0:v", {"-f", "data"}));
    }
}

namespace {

std::uint16_t le16(const Bytes& b, std::size_t at) {
    return std::uint16_t(b[at] | b[at + 1] << 8);
}
std::uint32_t le32(const Bytes& b, std::size_t at) {
    return le16(b, at) | std::uint32_t(le16(b, at + 2)) << 16;
}

struct AudioStream {
    bool present = false;
    lv::AVISTREAMINFO info;
    Bytes format;
};

AudioStream readAudioStream(const std::string& path) {
    AudioStream a;
    lv::PAVIFILE file;
    lv::PAVISTREAM stream;
    if (lv::AVIFileOpen(file, path, lv::OF_READ) != lv::AVIERR_OK ||
        lv::AVIFileGetStream(file, stream, lv::streamtypeAUDIO, 0) != lv::AVIERR_OK)
        return a;
    a.present = true;
    EXPECT_EQ(lv::AVIStreamInfo(stream, a.info), lv::AVIERR_OK);
    std::int32_t size = 0;
    EXPECT_EQ(lv::AVIStreamReadFormat(stream, 0, nullptr, &size), lv::AVIERR_OK);
    a.format.resize(std::size_t(size));
    EXPECT_EQ(lv::AVIStreamReadFormat(stream, 0, a.format.data(), &size), lv::AVIERR_OK);
    return a;
}

lv::AVISTREAMINFO videoStreamInfo(const std::string& path) {
    lv::AVISTREAMINFO info;
    lv::PAVIFILE file;
    lv::PAVISTREAM stream;
    EXPECT_EQ(lv::AVIFileOpen(file, path, lv::OF_READ), lv::AVIERR_OK);
    EXPECT_EQ(lv::AVIFileGetStream(file, stream, lv::streamtypeVIDEO, 0), lv::AVIERR_OK);
    EXPECT_EQ(lv::AVIStreamInfo(stream, info), lv::AVIERR_OK);
    return info;
}

} // namespace

TEST(MuxThd, AudioHeaderAndFormatComeFromTheFirstFrame) {
    lvtest::TempDir dir;
    const std::string video = dir.file("video.avi");
    lvtest::makeDibVideo(video, 12);
    // 48 kHz stereo 192 kbit/s: 576-byte frames; the last one is cut short.
    Bytes mp3 = repeatFrame(mp3Header(11, 1), 576, 20);
    mp3.resize(mp3.size() - 100);
    lvtest::writeAll(dir.file("48k.mp3"), mp3);

    lv::TMuxThd mux;
    mux.VideoFile = video;
    mux.AudioFile = dir.file("48k.mp3");
    mux.OutputFile = dir.file("out.avi");
    lvtest::MuxRecorder rec;
    rec.attach(mux);
    ASSERT_TRUE(lvtest::runToEnd(mux));
    ASSERT_FALSE(mux.Failed()) << mux.ErrorMessage();

    AudioStream a = readAudioStream(mux.OutputFile);
    ASSERT_TRUE(a.present);
    EXPECT_EQ(a.info.fccType, lv::streamtypeAUDIO);
    EXPECT_EQ(a.info.dwScale, 1152u);
    EXPECT_EQ(a.info.dwRate, 48000u);
    EXPECT_EQ(a.info.dwSampleSize, 0u);
    EXPECT_EQ(a.info.dwLength, 19u);
    ASSERT_EQ(a.format.size(), 30u);
    EXPECT_EQ(le16(a.format, 0), 0x55);
    EXPECT_EQ(le16(a.format, 2), 2);
    EXPECT_EQ(le32(a.format, 4), 48000u);
    EXPECT_EQ(le32(a.format, 8), 24000u);
    EXPECT_EQ(le16(a.format, 12), 1152);
    EXPECT_EQ(le16(a.format, 14), 0);
    EXPECT_EQ(le16(a.format, 16), 12); // the 12 bytes that follow
    EXPECT_EQ(le16(a.format, 18), 1);
    EXPECT_EQ(le32(a.format, 20), 2u);
    EXPECT_EQ(le16(a.format, 24), 522);
    EXPECT_EQ(le16(a.format, 26), 1);
    EXPECT_EQ(le16(a.format, 28), 1393);
    auto samples = readSamples(mux.OutputFile, lv::streamtypeAUDIO);
    ASSERT_EQ(samples.size(), 19u);
    EXPECT_TRUE(std::equal(samples[18].begin(), samples[18].end(), mp3.begin() + 18 * 576));

    // The video stream keeps its header.
    const lv::AVISTREAMINFO in = videoStreamInfo(video);
    const lv::AVISTREAMINFO out = videoStreamInfo(mux.OutputFile);
    EXPECT_EQ(out.fccHandler, in.fccHandler);
    EXPECT_EQ(out.dwScale, in.dwScale);
    EXPECT_EQ(out.dwRate, in.dwRate);
    EXPECT_EQ(out.dwLength, 12u);
    EXPECT_EQ(out.rcFrame.right, 32);

    // Steps in order, every call in the main thread.
    EXPECT_FALSE(rec.calledOffMainThread);
    const std::vector<std::string> steps = {"Audio : " + mux.AudioFile,
                                            "Video : " + video,
                                            "Output : " + mux.OutputFile,
                                            "Loading MP3 file",
                                            "MP3 file succesfully loaded (19 frames)",
                                            "Adding Video Stream",
                                            "Adding Audio Stream",
                                            "Done"};
    EXPECT_EQ(rec.log, steps);
    EXPECT_EQ(rec.levels, std::vector<int>(steps.size(), 0));
    using P = std::tuple<int, int, std::string>;
    ASSERT_FALSE(rec.progress.empty());
    EXPECT_EQ(rec.progress.front(), P(50, 100, "Loading MP3 file")); // after 10 of 21 searches
    EXPECT_NE(std::find(rec.progress.begin(), rec.progress.end(), P(0, 12, "Adding Video Stream")),
              rec.progress.end());
    EXPECT_NE(std::find(rec.progress.begin(), rec.progress.end(), P(12, 12, "Adding Video Stream")),
              rec.progress.end());
    EXPECT_EQ(rec.progress.back(), P(19, 19, "Adding Audio Stream"));
    EXPECT_EQ(mux.Position(), 0); // "Done" opened a phase of its own
    EXPECT_EQ(mux.Text(), "Done");

    // A lower sampling rate: 576 samples a frame, mono.
    Bytes lsf;
    for (int i = 0; i < 6; ++i) {
        Bytes frame = {0xFF, 0xF3, 0x80, 0xC0}; // MPEG-2 Layer III 64 kbit/s 22050 Hz mono
        frame.resize(208, 0x22);
        lsf.insert(lsf.end(), frame.begin(), frame.end());
    }
    lvtest::writeAll(dir.file("22k.mp3"), lsf);
    lv::TMuxThd low;
    low.VideoFile = video;
    low.AudioFile = dir.file("22k.mp3");
    low.OutputFile = dir.file("out22.avi");
    ASSERT_TRUE(lvtest::runToEnd(low));
    ASSERT_FALSE(low.Failed()) << low.ErrorMessage();
    a = readAudioStream(low.OutputFile);
    EXPECT_EQ(a.info.dwScale, 576u);
    EXPECT_EQ(a.info.dwRate, 22050u);
    EXPECT_EQ(a.info.dwLength, 6u);
    EXPECT_EQ(le16(a.format, 2), 1);
    EXPECT_EQ(le32(a.format, 8), 8000u);
    EXPECT_EQ(le16(a.format, 12), 576);
}

TEST(MuxThd, SoundtrackWithoutFramesStillGivesAValidVideo) {
    lvtest::TempDir dir;
    const std::string video = dir.file("video.avi");
    lvtest::makeDibVideo(video, 10);
    // Only Layer I frames and junk: nothing the muxer takes.
    Bytes junk(3000, 0x11);
    for (int at = 0; at + 4 <= 3000; at += 400) {
        junk[at] = 0xFF;
        junk[at + 1] = 0xFF; // MPEG-1 Layer I
        junk[at + 2] = 0x40;
    }
    lvtest::writeAll(dir.file("none.mp3"), junk);

    lv::TMuxThd mux;
    mux.VideoFile = video;
    mux.AudioFile = dir.file("none.mp3");
    mux.OutputFile = dir.file("out.avi");
    lvtest::MuxRecorder rec;
    rec.attach(mux);
    ASSERT_TRUE(lvtest::runToEnd(mux));
    ASSERT_FALSE(mux.Failed()) << mux.ErrorMessage();
    EXPECT_FALSE(mux.Aborted());
    EXPECT_TRUE(rec.logged("MP3 file succesfully loaded (0 frames)"));
    EXPECT_TRUE(rec.logged("Done"));
    EXPECT_FALSE(readAudioStream(mux.OutputFile).present);
    EXPECT_EQ(readSamples(mux.OutputFile, lv::streamtypeVIDEO),
              readSamples(video, lv::streamtypeVIDEO));
    if (lvtest::haveProgram("ffprobe")) {
        std::string errors;
        auto streams = lvtest::probeStreams(mux.OutputFile, &errors);
        EXPECT_EQ(errors, "");
        ASSERT_EQ(streams.size(), 1u);
        EXPECT_EQ(streams[0].value("nb_read_packets").toString(), "10");
    }
}

TEST(MuxThd, CancelDuringTheVideoCopyStopsItAndSkipsTheAudio) {
    lvtest::TempDir dir;
    const std::string video = dir.file("video.avi");
    lvtest::makeDibVideo(video, 2500, 16, 8);
    lvtest::writeAll(dir.file("a.mp3"), repeatFrame(mp3Header(9, 0), 417, 50));
    const Bytes videoBefore = lvtest::readAll(video);

    lv::TMuxThd mux;
    mux.VideoFile = video;
    mux.AudioFile = dir.file("a.mp3");
    mux.OutputFile = dir.file("out.avi");
    lvtest::MuxRecorder rec;
    rec.attach(mux);
    int videoReports = 0;
    auto record = mux.OnProgress;
    mux.OnProgress = [&](int position, int max, const std::string& text) {
        record(position, max, text);
        if (text == "Adding Video Stream") {
            ++videoReports;
            if (position >= 1250)
                mux.requestInterruption();
        }
    };
    ASSERT_TRUE(lvtest::runToEnd(mux));
    EXPECT_TRUE(mux.Aborted());
    EXPECT_FALSE(mux.Failed()) << mux.ErrorMessage();
    EXPECT_FALSE(rec.logged("Done"));
    EXPECT_TRUE(rec.logged("Adding Audio Stream"));
    // Only changes a bar can show are sent: 2500 samples, at most one report per mille.
    EXPECT_LE(videoReports, 501);
    EXPECT_GE(videoReports, 400);
    // A join cut short never takes the output's name: the picture track is the video.
    EXPECT_FALSE(lv::FileExists(mux.OutputFile) || lv::FileExists(mux.OutputFile + ".part"));
    EXPECT_EQ(lvtest::readAll(video), videoBefore);

    // Destroying a running thread cancels it and waits, though it may be waiting for this
    // thread; the callbacks are no longer run.
    int calls = 0;
    auto running = std::make_unique<lv::TMuxThd>();
    running->VideoFile = video;
    running->AudioFile = dir.file("a.mp3");
    running->OutputFile = dir.file("out2.avi");
    running->OnProgress = [&](int, int, const std::string&) { ++calls; };
    running->OnLog = [&](const std::string&, int) { ++calls; };
    running->start();
    QThread::msleep(50);
    running.reset();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(lvtest::readAll(video), videoBefore);
}

TEST(MuxThd, FailuresKeepTheVideoAndTellWhatFailed) {
    lvtest::TempDir dir;
    const std::string video = dir.file("temp.avi");
    lvtest::makeDibVideo(video, 5);
    const Bytes videoBefore = lvtest::readAll(video);
    const std::string mp3 = dir.file("a.mp3");
    lvtest::writeAll(mp3, repeatFrame(mp3Header(9, 0), 417, 10));
    lvtest::writeAll(dir.file("notavi.avi"), Bytes(5000, 'x'));
    lvtest::writeAll(dir.file("plainfile"), Bytes(10, 'x'));

    struct Case {
        const char* what;
        std::string audio;
        std::string video;
        std::string output;
        std::string failedFile;
        const char* aviText;          // a failed AVI call: this text, the result code, the unit tag
        const char* reason = nullptr; // and the system's reason with the failed file
    };
    const char* const open = "FileOpen failed. Err: $";
    const std::string out = dir.file("out.avi");
    const Case cases[] = {
        {"missing soundtrack", dir.file("missing.mp3"), video, out, dir.file("missing.mp3"),
         nullptr},
        {"soundtrack is a folder", dir.path().string(), video, out, dir.path().string(), nullptr},
        {"missing video", mp3, dir.file("gone.avi"), out, dir.file("gone.avi"), open,
         "No such file or directory"},
        {"video is no AVI", mp3, dir.file("notavi.avi"), out, dir.file("notavi.avi"), open},
        {"output folder missing", mp3, video, dir.file("no/such/out.avi"),
         dir.file("no/such/out.avi"), open, "No such file or directory"},
        {"file where a folder is expected", mp3, video, dir.file("plainfile/out.avi"),
         dir.file("plainfile/out.avi"), open, "Not a directory"},
        {"output is the video", mp3, video, video, video, open},
        {"output device full", mp3, video, "/dev/full", "/dev/full", "StreamWrite failed. Err: $",
         "No space left on device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        lv::TMuxThd mux;
        mux.AudioFile = c.audio;
        mux.VideoFile = c.video;
        mux.OutputFile = c.output;
        lvtest::MuxRecorder rec;
        rec.attach(mux);
        ASSERT_TRUE(lvtest::runToEnd(mux));
        EXPECT_TRUE(mux.Failed());
        EXPECT_FALSE(mux.Aborted());
        EXPECT_EQ(mux.ErrorFile(), c.failedFile);
        EXPECT_EQ(mux.ErrorLine(), 0);
        const std::string message = mux.ErrorMessage();
        if (c.aviText) {
            EXPECT_EQ(message.rfind(c.aviText, 0), 0u) << message;
            const std::size_t codeEnd = std::strlen(c.aviText) + 8;
            ASSERT_GE(message.size(), codeEnd) << message;
            EXPECT_EQ(message.substr(codeEnd - 8, 8).find_first_not_of("0123456789ABCDEF"),
                      std::string::npos)
                << message;
            const std::string reason =
                c.reason ? std::string(". ") + c.reason + ": \"" + c.failedFile + "\"" : "";
            EXPECT_EQ(message.substr(codeEnd), reason);
            EXPECT_EQ(mux.ErrorUnit(), "U_MuxThd");
        } else {
            EXPECT_NE(message.find(c.audio), std::string::npos) << message;
            EXPECT_EQ(mux.ErrorUnit(), "");
        }
        EXPECT_FALSE(rec.logged("Done"));
        ASSERT_FALSE(rec.log.empty());
        EXPECT_EQ(rec.log.back(), message);
        EXPECT_EQ(rec.levels.back(), 2);
        EXPECT_EQ(lvtest::readAll(video), videoBefore);
    }
}

TEST(TempVideoFileName, PicksAFreeNameBesideTheOutput) {
    lvtest::TempDir dir;
    const std::string out = dir.file("movie.avi");
    EXPECT_EQ(lv::TempVideoFileName(out), dir.file("temp.avi"));
    lvtest::writeAll(dir.file("temp.avi"), Bytes(3, 1));
    EXPECT_EQ(lv::TempVideoFileName(out), dir.file("temp-1.avi"));
    std::filesystem::create_directory(dir.file("temp-1.avi"));
    std::filesystem::create_symlink(dir.file("nowhere"), dir.file("temp-2.avi"));
    EXPECT_EQ(lv::TempVideoFileName(out), dir.file("temp-3.avi"));
    // An output that is itself called temp.avi is never chosen.
    lvtest::TempDir other;
    EXPECT_EQ(lv::TempVideoFileName(other.file("temp.avi")), other.file("temp-1.avi"));
    EXPECT_EQ(lv::TempVideoFileName("temp.avi"), "temp-1.avi");
    // Nothing was deleted.
    EXPECT_EQ(lvtest::readAll(dir.file("temp.avi")), Bytes(3, 1));
}
