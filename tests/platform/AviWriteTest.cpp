#include "AviTestUtil.h"

#include "platform/AviFile.h"
#include "platform/Errors.h"

#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace lv;
using lvtest::Bytes;
using lvtest::le32;
using lvtest::ok;

namespace {

bool haveTools() {
    return lvtest::haveProgram("ffprobe") && lvtest::haveProgram("ffmpeg") &&
           lvtest::haveProgram("lame");
}

struct TopChunk {
    std::string id, type;
    std::uint64_t pos = 0, size = 0;
};
// The file's top-level RIFFs, walked by their sizes.
std::vector<TopChunk> topLevel(const Bytes& b) {
    std::vector<TopChunk> out;
    for (std::uint64_t pos = 0; pos + 12 <= b.size();) {
        TopChunk c;
        c.id.assign(reinterpret_cast<const char*>(&b[pos]), 4);
        c.type.assign(reinterpret_cast<const char*>(&b[pos + 8]), 4);
        c.pos = pos;
        c.size = le32(b, pos + 4);
        out.push_back(c);
        pos += 8 + c.size + (c.size & 1);
    }
    return out;
}

bool contains(const Bytes& b, const char* fcc) {
    return std::search(b.begin(), b.end(), fcc, fcc + 4) != b.end();
}

} // namespace

TEST(AviWrite, DibVideoWithSkippedPositionsIsReadByFfmpegAndByOurReader) {
    if (!haveTools())
        GTEST_SKIP() << "ffprobe/ffmpeg/lame missing";
    lvtest::TempDir dir;
    const std::string path = dir.file("dib.avi");
    const int w = 64, h = 48, frames = 10;
    {
        PAVIFILE file;
        ok(AVIFileOpen(file, path, OF_WRITE | OF_CREATE));
        PAVISTREAM s;
        ok(AVIFileCreateStream(file, s, lvtest::videoInfo(w, h, 100, 1000)));
        const Bytes fmt = lvtest::dibHeader(w, h);
        ok(AVIStreamSetFormat(s, 0, fmt.data(), std::int32_t(fmt.size())));
        // As the video writer does: the first frame goes to position 2.
        for (int t = 0; t < frames; ++t) {
            const Bytes f = lvtest::dibFrame(w, h, t);
            std::int32_t written = 0, bytes = 0;
            ok(AVIStreamWrite(s, 2 + t, 1, f.data(), std::int32_t(f.size()), AVIIF_KEYFRAME,
                              &written, &bytes));
            EXPECT_EQ(written, 1);
            EXPECT_EQ(bytes, std::int32_t(f.size()));
        }
        EXPECT_EQ(AVIStreamLength(s), frames + 2);
        ok(AVIStreamRelease(s));
        ok(AVIFileRelease(file));
        EXPECT_FALSE(file);
    }
    std::string err;
    const auto streams = lvtest::probeStreams(path, &err);
    EXPECT_EQ(err, "");
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].codecName, "rawvideo");
    // The tag ffprobe shows is the format's compression: BI_RGB.
    EXPECT_EQ(streams[0].codecTag, "0x0000");
    EXPECT_EQ(streams[0].frameRate, "10/1");
    EXPECT_EQ(streams[0].width, w);
    EXPECT_EQ(streams[0].height, h);
    // ffmpeg passes over the empty chunks.
    EXPECT_EQ(streams[0].packets, frames);
    EXPECT_EQ(lvtest::decodeErrors(path), "");
    EXPECT_EQ(lvtest::warnings(path), "");
    Bytes expected;
    for (int t = 0; t < frames; ++t) {
        const Bytes f = lvtest::dibFrameTopDown(w, h, t);
        expected.insert(expected.end(), f.begin(), f.end());
    }
    EXPECT_TRUE(lvtest::decodeVideo(path) == expected) << "decoded frames differ";

    const auto back = lvtest::readBack(path);
    ASSERT_EQ(back.info.size(), 1u);
    const AVISTREAMINFO& i = back.info[0];
    EXPECT_EQ(i.fccType, streamtypeVIDEO);
    EXPECT_EQ(FourCCToText(i.fccHandler), "DIB ");
    EXPECT_EQ(i.dwFlags, 12u);
    EXPECT_EQ(i.dwScale, 100u);
    EXPECT_EQ(i.dwRate, 1000u);
    EXPECT_EQ(i.dwQuality, 10000u);
    EXPECT_EQ(i.dwLength, std::uint32_t(frames + 2));
    EXPECT_EQ(i.rcFrame.right, w);
    EXPECT_EQ(i.rcFrame.bottom, h);
    EXPECT_EQ(i.szName, "Main Video Stream");
    EXPECT_GE(i.dwSuggestedBufferSize, lvtest::dibFrame(w, h, 0).size());
    EXPECT_EQ(back.format[0], lvtest::dibHeader(w, h));
    ASSERT_EQ(back.samples[0].size(), std::size_t(frames + 2));
    EXPECT_TRUE(back.samples[0][0].empty());
    EXPECT_TRUE(back.samples[0][1].empty());
    EXPECT_FALSE(back.keys[0][0]);
    EXPECT_FALSE(back.keys[0][1]);
    for (int t = 0; t < frames; ++t) {
        EXPECT_EQ(back.samples[0][std::size_t(2 + t)], lvtest::dibFrame(w, h, t)) << t;
        EXPECT_TRUE(back.keys[0][std::size_t(2 + t)]);
    }
    PAVIFILE file;
    ok(AVIFileOpen(file, path, OF_READ));
    AVIFILEINFO fi;
    ok(AVIFileInfo(file, fi));
    EXPECT_EQ(fi.dwStreams, 1u);
    EXPECT_EQ(fi.dwLength, std::uint32_t(frames + 2));
    EXPECT_EQ(fi.dwWidth, std::uint32_t(w));
    EXPECT_EQ(fi.dwHeight, std::uint32_t(h));
    EXPECT_EQ(fi.dwScale, 100u);
    EXPECT_EQ(fi.dwRate, 1000u);
    // An AVI 1.0 file: idx1, no OpenDML parts.
    const Bytes raw = lvtest::readAll(path);
    EXPECT_TRUE(contains(raw, "idx1"));
    EXPECT_FALSE(contains(raw, "indx"));
    EXPECT_FALSE(contains(raw, "AVIX"));
    EXPECT_EQ(topLevel(raw).size(), 1u);
    EXPECT_EQ(topLevel(raw)[0].size + 8, raw.size());
}

namespace {

// Writes DIB video and MP3 audio, either all video then all audio (as the muxer does) or
// alternating, with the RIFF limit given (0: default).
void writeAv(const std::string& path, const lvtest::Mp3Frames& mp3, int frames, bool interleaved,
             std::uint64_t riffLimit) {
    const int w = 64, h = 48;
    PAVIFILE file;
    ok(AVIFileOpen(file, path, OF_WRITE | OF_CREATE));
    if (riffLimit)
        ok(AVIFileSetRiffLimit(file, riffLimit));
    PAVISTREAM v, a;
    ok(AVIFileCreateStream(file, v, lvtest::videoInfo(w, h, 40, 1000)));
    const Bytes vf = lvtest::dibHeader(w, h);
    ok(AVIStreamSetFormat(v, 0, vf.data(), std::int32_t(vf.size())));
    ok(AVIFileCreateStream(file, a, lvtest::mp3Info(mp3)));
    const Bytes af = lvtest::mp3Format(mp3);
    ok(AVIStreamSetFormat(a, 0, af.data(), std::int32_t(af.size())));
    const auto video = [&](int t) {
        const Bytes f = lvtest::dibFrame(w, h, t);
        ok(AVIStreamWrite(v, 2 + t, 1, f.data(), std::int32_t(f.size()), AVIIF_KEYFRAME));
    };
    // Audio goes to positions 1.., as the muxer writes it.
    const auto audio = [&](std::size_t i) {
        const Bytes& f = mp3.frames[i];
        ok(AVIStreamWrite(a, std::int32_t(i + 1), 1, f.data(), std::int32_t(f.size()), 0));
    };
    if (interleaved) {
        std::size_t next = 0;
        for (int t = 0; t < frames; ++t) {
            video(t);
            // 25 frames/s against 1152/rate seconds per audio frame.
            const double until = (t + 3) / 25.0 * mp3.sampleRate / 1152;
            for (; next < mp3.frames.size() && next < until; ++next)
                audio(next);
        }
        for (; next < mp3.frames.size(); ++next)
            audio(next);
    } else {
        for (int t = 0; t < frames; ++t)
            video(t);
        for (std::size_t i = 0; i < mp3.frames.size(); ++i)
            audio(i);
    }
    ok(AVIStreamRelease(a));
    ok(AVIStreamRelease(v));
    ok(AVIFileRelease(file));
}

void checkAv(const std::string& path, const lvtest::Mp3Frames& mp3, int frames) {
    std::string err;
    const auto streams = lvtest::probeStreams(path, &err);
    EXPECT_EQ(err, "");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].codecName, "rawvideo");
    EXPECT_EQ(streams[0].frameRate, "25/1");
    EXPECT_EQ(streams[1].codecName, "mp3");
    EXPECT_EQ(streams[1].codecTag, "0x0055");
    EXPECT_EQ(streams[1].sampleRate, mp3.sampleRate);
    EXPECT_EQ(streams[1].channels, mp3.channels);
    EXPECT_EQ(streams[0].packets, frames);
    EXPECT_EQ(streams[1].packets, (long long)mp3.frames.size());
    EXPECT_EQ(lvtest::decodeErrors(path), "");
    EXPECT_EQ(lvtest::warnings(path), "");
    Bytes expected;
    for (int t = 0; t < frames; ++t) {
        const Bytes f = lvtest::dibFrameTopDown(64, 48, t);
        expected.insert(expected.end(), f.begin(), f.end());
    }
    EXPECT_TRUE(lvtest::decodeVideo(path) == expected) << "decoded frames differ";
    // ffprobe's packets, empty ones left out, are our samples in stream order.
    std::vector<long long> sizes[2];
    for (const auto& p : lvtest::probePackets(path))
        if (p.size > 0 && p.stream < 2)
            sizes[p.stream].push_back(p.size);
    ASSERT_EQ(sizes[0].size(), std::size_t(frames));
    ASSERT_EQ(sizes[1].size(), mp3.frames.size());
    for (std::size_t i = 0; i < mp3.frames.size(); ++i)
        EXPECT_EQ(sizes[1][i], (long long)mp3.frames[i].size()) << i;

    const auto back = lvtest::readBack(path);
    ASSERT_EQ(back.samples.size(), 2u);
    ASSERT_EQ(back.samples[0].size(), std::size_t(frames + 2));
    for (int t = 0; t < frames; ++t)
        ASSERT_EQ(back.samples[0][std::size_t(t + 2)], lvtest::dibFrame(64, 48, t)) << t;
    ASSERT_EQ(back.samples[1].size(), mp3.frames.size() + 1);
    EXPECT_TRUE(back.samples[1][0].empty());
    for (std::size_t i = 0; i < mp3.frames.size(); ++i) {
        ASSERT_EQ(back.samples[1][i + 1], mp3.frames[i]) << i;
        EXPECT_TRUE(back.keys[1][i + 1]);
    }
    EXPECT_EQ(back.info[1].dwScale, 1152u);
    EXPECT_EQ(back.info[1].dwRate, std::uint32_t(mp3.sampleRate));
    EXPECT_EQ(back.info[1].dwSampleSize, 0u);
    EXPECT_EQ(back.format[1], lvtest::mp3Format(mp3));
}

} // namespace

TEST(AviWrite, Mp3AudioBesideVideoIsReadByFfmpegAndByOurReader) {
    if (!haveTools())
        GTEST_SKIP() << "ffprobe/ffmpeg/lame missing";
    lvtest::TempDir dir;
    // Mono 44.1 kHz and stereo 48 kHz, each written after the video and interleaved.
    struct Case {
        int rate, channels, kbps;
    };
    for (const Case c : {Case{44100, 1, 128}, Case{48000, 2, 192}}) {
        const auto mp3 = lvtest::makeMp3(dir.path().string(), c.rate, c.channels, c.kbps, 1.0);
        ASSERT_EQ(mp3.sampleRate, c.rate);
        ASSERT_EQ(mp3.channels, c.channels);
        for (bool interleaved : {false, true}) {
            SCOPED_TRACE(std::to_string(c.rate) + (interleaved ? " interleaved" : " in sequence"));
            const std::string path = dir.file("av.avi");
            writeAv(path, mp3, 25, interleaved, 0);
            checkAv(path, mp3, 25);
            const Bytes raw = lvtest::readAll(path);
            EXPECT_EQ(topLevel(raw).size(), 1u);
            EXPECT_FALSE(contains(raw, "AVIX"));
        }
    }
}

TEST(AviWrite, CrossingTheRiffLimitGivesOpenDmlReadWholeByFfmpegAndOurReader) {
    if (!haveTools())
        GTEST_SKIP() << "ffprobe/ffmpeg/lame missing";
    lvtest::TempDir dir;
    const auto mp3 = lvtest::makeMp3(dir.path().string(), 44100, 2, 128, 2.0);
    const std::uint64_t limit = 64 * 1024;
    for (bool interleaved : {false, true}) {
        SCOPED_TRACE(interleaved ? "interleaved" : "in sequence");
        const std::string path = dir.file("odml.avi");
        writeAv(path, mp3, 50, interleaved, limit);
        const Bytes raw = lvtest::readAll(path);
        const auto riffs = topLevel(raw);
        ASSERT_GE(riffs.size(), 5u);
        EXPECT_EQ(riffs[0].type, "AVI ");
        std::uint64_t end = 0;
        for (std::size_t i = 0; i < riffs.size(); ++i) {
            EXPECT_EQ(riffs[i].id, "RIFF");
            if (i > 0) {
                EXPECT_EQ(riffs[i].type, "AVIX");
            }
            EXPECT_LE(riffs[i].size + 8, limit) << i;
            end = riffs[i].pos + 8 + riffs[i].size;
        }
        EXPECT_EQ(end, raw.size());
        EXPECT_TRUE(contains(raw, "odml"));
        EXPECT_TRUE(contains(raw, "dmlh"));
        EXPECT_TRUE(contains(raw, "indx"));
        EXPECT_TRUE(contains(raw, "ix00"));
        EXPECT_TRUE(contains(raw, "ix01"));
        EXPECT_TRUE(contains(raw, "idx1"));
        checkAv(path, mp3, 50);
    }
}

TEST(AviWrite, SampleSizedPcmStreamIsReadBySampleRanges) {
    if (!haveTools())
        GTEST_SKIP() << "ffprobe/ffmpeg/lame missing";
    lvtest::TempDir dir;
    const std::string path = dir.file("pcm.avi");
    Bytes pcm(4 * 10000);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = std::uint8_t(i * 7 + i / 256);
    {
        PAVIFILE file;
        ok(AVIFileOpen(file, path, OF_WRITE | OF_CREATE));
        AVISTREAMINFO info;
        info.fccType = streamtypeAUDIO;
        info.dwScale = 1;
        info.dwRate = 44100;
        info.dwSampleSize = 4;
        PAVISTREAM s;
        ok(AVIFileCreateStream(file, s, info));
        const Bytes fmt = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 0, 0};
        ok(AVIStreamSetFormat(s, 0, fmt.data(), std::int32_t(fmt.size())));
        // A write whose size is not samples * sample size, and a gap, are refused.
        EXPECT_EQ(AVIStreamWrite(s, 0, 2, pcm.data(), 6, 0), AVIERR_BADSIZE);
        EXPECT_EQ(AVIStreamWrite(s, 5, 1, pcm.data(), 4, 0), AVIERR_BADPARAM);
        for (int c = 0; c < 10; ++c)
            ok(AVIStreamWrite(s, c * 1000, 1000, pcm.data() + c * 4000, 4000, 0));
        EXPECT_EQ(AVIStreamWrite(s, 0, 1, pcm.data(), 4, 0), AVIERR_UNSUPPORTED);
        EXPECT_EQ(AVIStreamLength(s), 10000);
        ok(AVIFileRelease(file));
    }
    std::string err;
    const auto streams = lvtest::probeStreams(path, &err);
    EXPECT_EQ(err, "");
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].codecName, "pcm_s16le");
    EXPECT_EQ(streams[0].sampleRate, 44100);
    EXPECT_EQ(streams[0].channels, 2);
    EXPECT_EQ(lvtest::decodeErrors(path), "");
    // No warning check here: ffmpeg warns about every PCM stream in AVI (its own too): the
    // duration comes from the bit rate and the channel layout is guessed.

    PAVIFILE file;
    ok(AVIFileOpen(file, path, OF_READ));
    PAVISTREAM s;
    ok(AVIFileGetStream(file, s, streamtypeAUDIO, 0));
    EXPECT_EQ(AVIStreamLength(s), 10000);
    // A range across three chunks.
    Bytes buf(4 * 2100);
    std::int32_t bytes = 0, samples = 0;
    ok(AVIStreamRead(s, 1500, 2100, buf.data(), std::int32_t(buf.size()), &bytes, &samples));
    EXPECT_EQ(samples, 2100);
    EXPECT_EQ(bytes, 8400);
    EXPECT_TRUE(std::equal(buf.begin(), buf.end(), pcm.begin() + 6000));
    // A buffer for fewer samples than asked: as many as fit.
    ok(AVIStreamRead(s, 9990, 100, buf.data(), 23, &bytes, &samples));
    EXPECT_EQ(samples, 5);
    EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 20, pcm.begin() + 4 * 9990));
    ok(AVIStreamRead(s, 9998, 100, buf.data(), std::int32_t(buf.size()), &bytes, &samples));
    EXPECT_EQ(samples, 2);
    EXPECT_EQ(AVIStreamRead(s, 0, 1, buf.data(), 3, &bytes, &samples), AVIERR_BUFFERTOOSMALL);
    // The convenient size query gives the rest of the chunk.
    ok(AVIStreamRead(s, 2500, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes, &samples));
    EXPECT_EQ(samples, 500);
    EXPECT_EQ(bytes, 2000);
    EXPECT_EQ(AVIStreamRead(s, 10000, 1, buf.data(), 4, &bytes, &samples), AVIERR_NODATA);
    EXPECT_TRUE(AVIStreamIsKeyFrame(s, 1234));
}
