#include "AviTestUtil.h"

#include "platform/AviFile.h"
#include "platform/Errors.h"

#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

using namespace lv;
using lvtest::Bytes;
using lvtest::le32;
using lvtest::ok;

namespace {

void setLe32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}
void setLe64(Bytes& b, std::size_t at, std::uint64_t v) {
    setLe32(b, at, std::uint32_t(v));
    setLe32(b, at + 4, std::uint32_t(v >> 32));
}

struct Chunk {
    std::string id, type; // type for RIFF and LIST
    std::size_t pos = 0;  // of the id
    std::uint32_t size = 0;
};
// Every chunk of the file, lists descended into, walked by their sizes.
void walk(const Bytes& b, std::size_t pos, std::size_t end, std::vector<Chunk>& out) {
    while (pos + 8 <= end) {
        Chunk c;
        c.id.assign(reinterpret_cast<const char*>(&b[pos]), 4);
        c.size = le32(b, pos + 4);
        c.pos = pos;
        const bool list = c.id == "RIFF" || c.id == "LIST";
        if (list)
            c.type.assign(reinterpret_cast<const char*>(&b[pos + 8]), 4);
        out.push_back(c);
        if (list)
            walk(b, pos + 12, std::min<std::size_t>(end, pos + 8 + c.size), out);
        pos += 8 + c.size + (c.size & 1);
    }
}
std::vector<Chunk> chunks(const Bytes& b) {
    std::vector<Chunk> out;
    walk(b, 0, b.size(), out);
    return out;
}
const Chunk& find(const std::vector<Chunk>& all, const std::string& id,
                  const std::string& type = {}) {
    for (const auto& c : all)
        if (c.id == id && (type.empty() || c.type == type))
            return c;
    throw std::runtime_error("no chunk " + id);
}

bool isAviErr(HRESULT hr) {
    const auto u = std::uint32_t(hr);
    return u >= 0x80044065u && u <= 0x800440C7u;
}

Bytes payload(int i) {
    Bytes b(std::size_t(20 + (i * 29) % 90));
    for (std::size_t k = 0; k < b.size(); ++k)
        b[k] = std::uint8_t(i * 3 + k);
    return b;
}

// A small file of two streams with fake payloads; a RIFF limit makes it OpenDML.
void writeSmall(const std::string& path, std::uint64_t riffLimit) {
    PAVIFILE file;
    ok(AVIFileOpen(file, path, OF_WRITE | OF_CREATE));
    if (riffLimit)
        ok(AVIFileSetRiffLimit(file, riffLimit));
    PAVISTREAM v, a;
    ok(AVIFileCreateStream(file, v, lvtest::videoInfo(16, 16, 1, 25)));
    const Bytes vf = lvtest::dibHeader(16, 16);
    ok(AVIStreamSetFormat(v, 0, vf.data(), std::int32_t(vf.size())));
    AVISTREAMINFO ai;
    ai.fccType = streamtypeAUDIO;
    ai.dwScale = 1152;
    ai.dwRate = 44100;
    ok(AVIFileCreateStream(file, a, ai));
    const Bytes af(30, 1);
    ok(AVIStreamSetFormat(a, 0, af.data(), std::int32_t(af.size())));
    for (int i = 0; i < 60; ++i) {
        const Bytes p = payload(i);
        ok(AVIStreamWrite(v, i + 2, 1, p.data(), std::int32_t(p.size()),
                          i % 4 == 0 ? AVIIF_KEYFRAME : 0));
        const Bytes q = payload(i + 100);
        ok(AVIStreamWrite(a, i, 1, q.data(), std::int32_t(q.size()), 0));
    }
    ok(AVIStreamRelease(a));
    ok(AVIStreamRelease(v));
    ok(AVIFileRelease(file));
}

// The packets of one stream as ffmpeg copies them out, concatenated.
Bytes ffmpegPackets(const std::string& path, const std::string& map) {
    const auto r = lvtest::runProcess(
        "ffmpeg", {"-v", "error", "-i", path, "-map", map, "-c", "copy", "-f", "data", "-"});
    return Bytes(r.out.begin(), r.out.end());
}

Bytes concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

TEST(AviRead, FilesMadeByFfmpegGiveTheSamePacketsAsFfmpegReads) {
    if (!lvtest::haveProgram("ffmpeg") || !lvtest::haveProgram("ffprobe"))
        GTEST_SKIP() << "ffmpeg missing";
    lvtest::TempDir dir;
    struct Case {
        std::string audioCodec;
        int channels;
    };
    for (const Case& c : {Case{"libmp3lame", 2}, Case{"pcm_s16le", 1}}) {
        SCOPED_TRACE(c.audioCodec);
        const std::string path = dir.file("ff.avi");
        const auto r = lvtest::runProcess("ffmpeg", {"-v",
                                                     "error",
                                                     "-y",
                                                     "-f",
                                                     "lavfi",
                                                     "-i",
                                                     "testsrc=size=64x48:rate=10",
                                                     "-f",
                                                     "lavfi",
                                                     "-i",
                                                     "sine=frequency=440:sample_rate=44100",
                                                     "-t",
                                                     "1",
                                                     "-c:v",
                                                     "mpeg4",
                                                     "-g",
                                                     "4",
                                                     "-c:a",
                                                     c.audioCodec,
                                                     "-ac",
                                                     std::to_string(c.channels),
                                                     path});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const auto back = lvtest::readBack(path);
        ASSERT_EQ(back.info.size(), 2u);
        const AVISTREAMINFO& v = back.info[0];
        EXPECT_EQ(v.fccType, streamtypeVIDEO);
        EXPECT_EQ(FourCCToText(v.fccHandler), "FMP4");
        EXPECT_EQ(double(v.dwRate) / v.dwScale, 10.0);
        // ffmpeg leaves an empty chunk where it drops a frame; it does not count as a packet.
        EXPECT_EQ(v.dwLength, back.samples[0].size());
        std::vector<Bytes> videoPackets;
        std::vector<bool> videoKeys;
        for (std::size_t i = 0; i < back.samples[0].size(); ++i)
            if (!back.samples[0][i].empty()) {
                videoPackets.push_back(back.samples[0][i]);
                videoKeys.push_back(back.keys[0][i]);
            }
        EXPECT_EQ(videoPackets.size(), 10u);
        ASSERT_EQ(back.format[0].size(), 40u);
        EXPECT_EQ(le32(back.format[0], 4), 64u);
        EXPECT_EQ(le32(back.format[0], 8), 48u);
        EXPECT_EQ(back.info[1].fccType, streamtypeAUDIO);
        EXPECT_EQ(back.format[1][0], c.audioCodec == "pcm_s16le" ? 1 : 0x55);
        EXPECT_EQ(back.format[1][2], c.channels);

        // Sizes and key flags as ffprobe lists them.
        std::vector<long long> sizes[2];
        std::vector<bool> keys;
        for (const auto& p : lvtest::probePackets(path)) {
            sizes[p.stream].push_back(p.size);
            if (p.stream == 0)
                keys.push_back(p.key);
        }
        ASSERT_EQ(videoPackets.size(), sizes[0].size());
        for (std::size_t i = 0; i < sizes[0].size(); ++i) {
            EXPECT_EQ((long long)videoPackets[i].size(), sizes[0][i]) << i;
            EXPECT_EQ(videoKeys[i], keys[i]) << i;
        }
        EXPECT_EQ(std::count(keys.begin(), keys.end(), true), 3);
        // And the bytes of the packets.
        EXPECT_TRUE(concat(videoPackets) == ffmpegPackets(path, "0:v:0"));
        if (c.audioCodec == "pcm_s16le") {
            EXPECT_EQ(back.info[1].dwSampleSize, 2u);
            PAVIFILE file;
            ok(AVIFileOpen(file, path, OF_READ));
            PAVISTREAM s;
            ok(AVIFileGetStream(file, s, streamtypeAUDIO, 0));
            EXPECT_EQ(AVIStreamLength(s), 44100);
            Bytes all(2 * 44100);
            std::int32_t bytes = 0, samples = 0;
            ok(AVIStreamRead(s, 0, 44100, all.data(), std::int32_t(all.size()), &bytes, &samples));
            EXPECT_EQ(samples, 44100);
            EXPECT_TRUE(all == ffmpegPackets(path, "0:a:0"));
        } else {
            EXPECT_EQ(back.samples[1].size(), sizes[1].size());
            EXPECT_TRUE(concat(back.samples[1]) == ffmpegPackets(path, "0:a:0"));
        }
    }
}

TEST(AviRead, IndexFromAbsoluteIdx1OffsetsOrFromTheMoviListAlone) {
    lvtest::TempDir dir;
    const std::string path = dir.file("small.avi");
    writeSmall(path, 0);
    const auto expected = lvtest::readBack(path);
    ASSERT_EQ(expected.samples[0].size(), 62u);
    ASSERT_EQ(expected.samples[1].size(), 60u);
    const Bytes raw = lvtest::readAll(path);
    const auto all = chunks(raw);
    const Chunk& movi = find(all, "LIST", "movi");
    const Chunk& idx1 = find(all, "idx1");

    Bytes absolute = raw;
    for (std::size_t e = idx1.pos + 8; e + 16 <= idx1.pos + 8 + idx1.size; e += 16)
        setLe32(absolute, e + 8, le32(absolute, e + 8) + std::uint32_t(movi.pos + 8));
    lvtest::writeAll(dir.file("absolute.avi"), absolute);
    const auto a = lvtest::readBack(dir.file("absolute.avi"));
    EXPECT_EQ(a.samples, expected.samples);
    EXPECT_EQ(a.keys, expected.keys);

    Bytes noIndex = raw;
    std::copy_n("JUNK", 4, noIndex.begin() + long(idx1.pos));
    lvtest::writeAll(dir.file("noindex.avi"), noIndex);
    const auto n = lvtest::readBack(dir.file("noindex.avi"));
    EXPECT_EQ(n.samples, expected.samples);
    // Without an index nothing tells a delta frame: every sample counts as a key frame.
    for (const auto& k : n.keys)
        EXPECT_EQ(std::count(k.begin(), k.end(), false), 0);
}

TEST(AviRead, TruncatedAtAnyByteGivesAnErrorCode) {
    lvtest::TempDir dir;
    for (std::uint64_t limit : {std::uint64_t(0), std::uint64_t(4096)}) {
        SCOPED_TRACE(limit);
        const std::string path = dir.file("t.avi");
        writeSmall(path, limit);
        ASSERT_EQ(lvtest::tryReadAll(path), AVIERR_OK);
        const auto size = std::filesystem::file_size(path);
        if (limit) {
            const auto all = chunks(lvtest::readAll(path));
            ASSERT_GE(std::count_if(all.begin(), all.end(),
                                    [](const Chunk& c) { return c.type == "AVIX"; }),
                      2);
        }
        int failures = 0;
        for (auto n = size; n-- > 0;) {
            std::filesystem::resize_file(path, n);
            const HRESULT hr = lvtest::tryReadAll(path);
            if (hr == AVIERR_OK)
                ADD_FAILURE() << "truncated to " << n << " bytes was read";
            else
                ++failures;
            EXPECT_TRUE(isAviErr(hr)) << hex8(std::uint32_t(hr));
        }
        EXPECT_EQ(failures, int(size));
    }
}

TEST(AviRead, DamagedSizesAndIndexesGiveErrorCodes) {
    lvtest::TempDir dir;
    const std::string good = dir.file("good.avi");
    writeSmall(good, 0);
    const std::string goodOdml = dir.file("odml.avi");
    writeSmall(goodOdml, 4096);
    const Bytes raw = lvtest::readAll(good);
    const Bytes rawOdml = lvtest::readAll(goodOdml);
    const auto all = chunks(raw);
    const auto allOdml = chunks(rawOdml);
    const std::string bad = dir.file("bad.avi");
    const auto expectError = [&](const Bytes& data, const std::string& what) {
        lvtest::writeAll(bad, data);
        const HRESULT hr = lvtest::tryReadAll(bad);
        EXPECT_TRUE(isAviErr(hr)) << what << ": " << hex8(std::uint32_t(hr));
    };
    const auto patched = [](Bytes b, std::size_t at, std::uint32_t v) {
        setLe32(b, at, v);
        return b;
    };
    const Chunk& strh = find(all, "strh");
    const Chunk& strf = find(all, "strf");
    const Chunk& avih = find(all, "avih");
    const Chunk& movi = find(all, "LIST", "movi");
    const Chunk& hdrl = find(all, "LIST", "hdrl");
    const Chunk& idx1 = find(all, "idx1");
    const std::size_t entry = idx1.pos + 8 + 16 * 5;
    expectError(patched(raw, strh.pos + 4, 0x7FFFFFF0), "strh size huge");
    expectError(patched(raw, strf.pos + 4, 0xFFFFFFF0), "strf size huge");
    expectError(patched(raw, strh.pos + 4, 20), "strh too short");
    expectError(patched(raw, avih.pos + 4, 8), "avih too short");
    expectError(patched(raw, movi.pos + 4, movi.size + 4096), "movi beyond the RIFF");
    expectError(patched(raw, hdrl.pos + 4, 0xFFFFFFFF), "hdrl size huge");
    expectError(patched(raw, 4, 0x7FFFFFFF), "RIFF size beyond the file");
    expectError(patched(raw, entry + 8, 0x7FFFFFF0), "idx1 offset past the end");
    expectError(patched(raw, entry + 12, 0x7FFFFFF0), "idx1 size past the end");
    expectError(patched(raw, entry + 12, 0xFFFFFFFF), "idx1 size negative");
    expectError(patched(raw, idx1.pos + 8 + 8, 3), "idx1 first offset points at no chunk");
    expectError(patched(raw, strh.pos + 8 + 28, 0xFFFFFFF0), "dwStart huge");
    expectError(patched(raw, 8, mmioFOURCC('W', 'A', 'V', 'E')), "not an AVI");

    const Chunk& indx = find(allOdml, "indx");
    const Chunk& ix = find(allOdml, "ix00");
    Bytes b = rawOdml;
    setLe64(b, indx.pos + 8 + 24, rawOdml.size() + 100);
    expectError(b, "super index entry past the end");
    expectError(patched(rawOdml, indx.pos + 8 + 4, 100000), "super index entries beyond indx");
    expectError(patched(rawOdml, ix.pos + 8 + 24, 0x7FFFFF00), "ix00 entry past the end");
    expectError(patched(rawOdml, ix.pos + 8 + 4, 0x10000000), "ix00 entries beyond the chunk");
    b = rawOdml;
    setLe64(b, ix.pos + 8 + 12, ~std::uint64_t(0) - 16);
    expectError(b, "ix00 base offset huge");
    // The fullest ix00 in every slot of the super index: the entries would grow with the
    // square of the file's size.
    std::size_t fullest = 0, most = 0;
    for (const Chunk& c : allOdml)
        if (c.id == "ix00" && le32(rawOdml, c.pos + 12) > most)
            fullest = c.pos, most = le32(rawOdml, c.pos + 12);
    const std::size_t slots = (indx.size - 24) / 16;
    b = rawOdml;
    for (std::size_t k = 0; k < slots; ++k)
        setLe64(b, indx.pos + 8 + 24 + 16 * k, fullest);
    setLe32(b, indx.pos + 8 + 4, std::uint32_t(slots));
    expectError(b, "super index listing one ix00 in every slot");

    std::mt19937 rng(1234);
    Bytes noise(5000);
    for (auto& x : noise)
        x = std::uint8_t(rng());
    expectError(noise, "random bytes");
    expectError({}, "empty file");
    expectError({'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, "RIFF without lists");
    Bytes riffNoise = noise;
    std::copy_n("RIFF\x80\x13\x00\x00"
                "AVI ",
                12, riffNoise.begin());
    expectError(riffNoise, "RIFF AVI followed by noise");
}

TEST(AviRead, PositionsOfAStreamStartingNearTheLimitFit32Bits) {
    // From fuzz/avi_reader_fuzz: start + length overflowed the muxer's 32-bit positions.
    lvtest::TempDir dir;
    const std::string path = dir.file("late.avi");
    writeSmall(path, 0);
    Bytes b = lvtest::readAll(path);
    setLe32(b, find(chunks(b), "strh").pos + 8 + 28, 0x7FFFFFF0);
    lvtest::writeAll(path, b);
    PAVIFILE file;
    ok(AVIFileOpen(file, path, OF_READ));
    PAVISTREAM video;
    ok(AVIFileGetStream(file, video, streamtypeVIDEO, 0));
    AVIFILEINFO fi;
    AVISTREAMINFO si;
    ok(AVIFileInfo(file, fi));
    ok(AVIStreamInfo(video, si));
    EXPECT_EQ(AVIStreamStart(video), 0x7FFFFFF0);
    EXPECT_EQ(AVIStreamLength(video), 16);
    EXPECT_EQ(fi.dwLength, 16u);
    EXPECT_EQ(si.dwLength, 16u);
    std::int32_t bytes = 0, samples = 0;
    ok(AVIStreamRead(video, 0x7FFFFFFF, 1, nullptr, 0, &bytes, &samples));
    EXPECT_EQ(samples, 1);
}

TEST(AviRead, RandomDamageNeverCrashesAndResultsAreResultCodes) {
    lvtest::TempDir dir;
    for (std::uint64_t limit : {std::uint64_t(0), std::uint64_t(4096)}) {
        const std::string path = dir.file("f.avi");
        writeSmall(path, limit);
        const Bytes raw = lvtest::readAll(path);
        std::mt19937 rng(std::uint32_t(77 + limit));
        int errors = 0;
        for (int round = 0; round < 1500; ++round) {
            Bytes b = raw;
            const int changes = 1 + int(rng() % 6);
            for (int k = 0; k < changes; ++k) {
                const std::size_t at = rng() % b.size();
                // Mostly single bytes; sometimes a whole 32-bit field with an extreme value.
                if (rng() % 3 == 0 && at + 4 <= b.size())
                    setLe32(b, at, rng() % 2 ? 0xFFFFFFFFu - rng() % 64 : rng());
                else
                    b[at] = std::uint8_t(rng());
            }
            lvtest::writeAll(path, b);
            const HRESULT hr = lvtest::tryReadAll(path);
            if (hr != AVIERR_OK) {
                ++errors;
                ASSERT_TRUE(isAviErr(hr)) << hex8(std::uint32_t(hr));
            }
        }
        // Damage in the headers and indexes is caught often; in payloads it cannot be.
        EXPECT_GT(errors, 100);
    }
}
