#include "AviTestUtil.h"

#include "platform/AviFile.h"
#include "platform/Errors.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace lv;
using lvtest::Bytes;
using lvtest::ok;

namespace {

// A fake compressed payload: its size and bytes tell which sample it is.
Bytes payload(int i) {
    Bytes b(std::size_t(100 + (i * 37) % 300));
    for (std::size_t k = 0; k < b.size(); ++k)
        b[k] = std::uint8_t(i + k * 13);
    return b;
}

bool keyAt(int i) {
    return i % 5 == 0;
}

} // namespace

TEST(AviLayer, CallsRefuseMisuseWithTheirResultCodes) {
    lvtest::TempDir dir;
    PAVIFILE file;
    const HRESULT missing = AVIFileOpen(file, dir.file("none.avi"), OF_READ);
    EXPECT_EQ(missing, AVIERR_FILEOPEN);
    EXPECT_EQ(hex8(std::uint32_t(missing)), "8004406F");
    EXPECT_FALSE(file);
    EXPECT_EQ(AVIFileOpen(file, dir.file("no/such/folder/x.avi"), OF_WRITE | OF_CREATE),
              AVIERR_FILEOPEN);
    EXPECT_EQ(AVIFileOpen(file, dir.file("x.avi"), OF_CREATE), AVIERR_BADFLAGS);
    EXPECT_EQ(AVIFileRelease(file), AVIERR_BADHANDLE);

    ok(AVIFileOpen(file, dir.file("x.avi"), OF_WRITE | OF_CREATE));
    PAVISTREAM s;
    AVISTREAMINFO info = lvtest::videoInfo(32, 16, 1, 25);
    ok(AVIFileCreateStream(file, s, info));
    const Bytes data = payload(1);
    // No format yet.
    EXPECT_EQ(AVIStreamWrite(s, 0, 1, data.data(), std::int32_t(data.size()), 0), AVIERR_BADFORMAT);
    const Bytes fmt = lvtest::dibHeader(32, 16);
    ok(AVIStreamSetFormat(s, 0, fmt.data(), std::int32_t(fmt.size())));
    EXPECT_EQ(AVIStreamWrite(s, -1, 1, data.data(), 10, 0), AVIERR_BADPARAM);
    EXPECT_EQ(AVIStreamWrite(s, 0, 1, nullptr, 10, 0), AVIERR_BADPARAM);
    EXPECT_EQ(AVIStreamWrite(s, 0, 2, data.data(), 10, 0), AVIERR_BADPARAM);
    ok(AVIStreamWrite(s, 3, 1, data.data(), std::int32_t(data.size()), AVIIF_KEYFRAME));
    // Positions already written cannot be written again; the format is fixed once written.
    EXPECT_EQ(AVIStreamWrite(s, 3, 1, data.data(), 10, 0), AVIERR_UNSUPPORTED);
    EXPECT_EQ(AVIStreamWrite(s, 1, 1, data.data(), 10, 0), AVIERR_UNSUPPORTED);
    EXPECT_EQ(AVIStreamSetFormat(s, 0, fmt.data(), std::int32_t(fmt.size())), AVIERR_UNSUPPORTED);
    EXPECT_EQ(AVIStreamRead(s, 3, 1, nullptr, 0, nullptr, nullptr), AVIERR_UNSUPPORTED);
    EXPECT_EQ(AVIStreamLength(s), 4);
    // A stream added after the data began still fits in the room kept for headers.
    PAVISTREAM late;
    AVISTREAMINFO text;
    text.fccType = mmioFOURCC('t', 'x', 't', 's');
    text.szName = "notes";
    ok(AVIFileCreateStream(file, late, text));
    const Bytes textFormat(8, 0);
    ok(AVIStreamSetFormat(late, 0, textFormat.data(), std::int32_t(textFormat.size())));
    // ...but not a format larger than that room.
    PAVISTREAM big;
    ok(AVIFileCreateStream(file, big, text));
    const Bytes huge(64 * 1024, 1);
    EXPECT_EQ(AVIStreamSetFormat(big, 0, huge.data(), std::int32_t(huge.size())),
              AVIERR_UNSUPPORTED);
    ok(AVIStreamSetFormat(big, 0, textFormat.data(), std::int32_t(textFormat.size())));
    ok(AVIStreamRelease(big));
    ok(AVIStreamRelease(late));
    ok(AVIStreamRelease(s));
    ok(AVIFileRelease(file));
    EXPECT_EQ(AVIStreamLength(s), -1);
    EXPECT_EQ(AVIStreamRelease(s), AVIERR_BADHANDLE);

    ok(AVIFileOpen(file, dir.file("x.avi"), OF_READ));
    EXPECT_EQ(AVIFileCreateStream(file, s, info), AVIERR_READONLY);
    EXPECT_EQ(AVIFileGetStream(file, s, streamtypeAUDIO, 0), AVIERR_NODATA);
    EXPECT_EQ(AVIFileGetStream(file, s, streamtypeVIDEO, 1), AVIERR_NODATA);
    EXPECT_EQ(AVIFileGetStream(file, s, 0, 3), AVIERR_NODATA);
    ok(AVIFileGetStream(file, s, 0, 2));
    AVISTREAMINFO got;
    ok(AVIStreamInfo(s, got));
    EXPECT_EQ(got.fccType, text.fccType);
    EXPECT_EQ(got.szName, "notes");
    ok(AVIFileGetStream(file, s, streamtypeVIDEO, 0));
    EXPECT_EQ(AVIStreamWrite(s, 4, 1, data.data(), 10, 0), AVIERR_READONLY);
    EXPECT_EQ(AVIStreamSetFormat(s, 0, fmt.data(), 40), AVIERR_READONLY);
    // Format: size query, a short buffer gets what fits, a full one all of it.
    std::int32_t size = 0;
    ok(AVIStreamReadFormat(s, 0, nullptr, &size));
    EXPECT_EQ(size, 40);
    Bytes out(40, 0xEE);
    size = 12;
    EXPECT_EQ(AVIStreamReadFormat(s, 0, out.data(), &size), AVIERR_BUFFERTOOSMALL);
    EXPECT_EQ(size, 12);
    EXPECT_TRUE(std::equal(fmt.begin(), fmt.begin() + 12, out.begin()));
    EXPECT_EQ(out[12], 0xEE);
    size = 40;
    ok(AVIStreamReadFormat(s, 0, out.data(), &size));
    EXPECT_EQ(out, fmt);
    // Samples: size query, too small a buffer, outside the stream, an empty sample.
    std::int32_t bytes = -1, samples = -1;
    ok(AVIStreamRead(s, 3, 1, nullptr, 0, &bytes, &samples));
    EXPECT_EQ(bytes, std::int32_t(data.size()));
    EXPECT_EQ(samples, 1);
    Bytes buf(data.size());
    EXPECT_EQ(AVIStreamRead(s, 3, 1, buf.data(), bytes - 1, &bytes, &samples),
              AVIERR_BUFFERTOOSMALL);
    EXPECT_EQ(AVIStreamRead(s, 4, 1, buf.data(), 1000, &bytes, &samples), AVIERR_NODATA);
    EXPECT_EQ(AVIStreamRead(s, -1, 1, buf.data(), 1000, &bytes, &samples), AVIERR_NODATA);
    ok(AVIStreamRead(s, 2, 1, buf.data(), 1000, &bytes, &samples));
    EXPECT_EQ(bytes, 0);
    ok(AVIStreamRead(s, 3, 1, buf.data(), std::int32_t(buf.size()), &bytes, &samples));
    EXPECT_EQ(buf, data);
}

TEST(AviLayer, HandlesReleaseInAnyOrderAndTheLastOneFinishesTheFile) {
    lvtest::TempDir dir;
    const Bytes fmt = lvtest::dibHeader(32, 16);
    const auto write = [&](const std::string& path, int order) {
        PAVIFILE file;
        ok(AVIFileOpen(file, path, OF_WRITE | OF_CREATE));
        PAVISTREAM s;
        ok(AVIFileCreateStream(file, s, lvtest::videoInfo(32, 16, 1, 25)));
        ok(AVIStreamSetFormat(s, 0, fmt.data(), std::int32_t(fmt.size())));
        if (order == 1)
            ok(AVIFileRelease(file)); // the stream keeps the file open
        for (int i = 0; i < 7; ++i) {
            const Bytes p = payload(i);
            ok(AVIStreamWrite(s, i, 1, p.data(), std::int32_t(p.size()),
                              keyAt(i) ? AVIIF_KEYFRAME : 0));
        }
        if (order == 0) {
            ok(AVIStreamRelease(s));
            ok(AVIFileRelease(file));
        } else if (order == 1) {
            ok(AVIStreamRelease(s));
        }
        // order 2: both handles go out of scope unreleased.
    };
    for (int order : {0, 1, 2}) {
        SCOPED_TRACE(order);
        const std::string path = dir.file("h" + std::to_string(order) + ".avi");
        write(path, order);
        const auto back = lvtest::readBack(path);
        ASSERT_EQ(back.samples.size(), 1u);
        ASSERT_EQ(back.samples[0].size(), 7u);
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(back.samples[0][std::size_t(i)], payload(i));
            EXPECT_EQ(back.keys[0][std::size_t(i)], keyAt(i));
        }
    }
    // A file with streams but no samples is still a complete AVI.
    {
        PAVIFILE file;
        ok(AVIFileOpen(file, dir.file("empty.avi"), OF_WRITE | OF_CREATE));
        PAVISTREAM s;
        ok(AVIFileCreateStream(file, s, lvtest::videoInfo(32, 16, 1, 25)));
        ok(AVIStreamSetFormat(s, 0, fmt.data(), std::int32_t(fmt.size())));
    }
    const auto back = lvtest::readBack(dir.file("empty.avi"));
    ASSERT_EQ(back.samples.size(), 1u);
    EXPECT_TRUE(back.samples[0].empty());
    EXPECT_EQ(back.format[0], fmt);
    // Opening for writing replaces an existing file.
    const auto oldSize = std::filesystem::file_size(dir.file("h0.avi"));
    PAVIFILE file;
    ok(AVIFileOpen(file, dir.file("h0.avi"), OF_WRITE | OF_CREATE));
    ok(AVIFileRelease(file));
    EXPECT_EQ(lvtest::tryReadAll(dir.file("h0.avi")), AVIERR_BADFORMAT); // no stream
    EXPECT_LT(std::filesystem::file_size(dir.file("h0.avi")), oldSize);
}

TEST(AviLayer, KeyFramesAndSearchesSurviveIdx1AndOpenDmlIndexes) {
    lvtest::TempDir dir;
    const int count = 400;
    // The default limit gives idx1 only; a low one spreads the samples over many RIFFs.
    for (std::uint64_t limit : {std::uint64_t(0), std::uint64_t(8192)}) {
        SCOPED_TRACE(limit);
        const std::string path = dir.file("keys.avi");
        {
            PAVIFILE file;
            ok(AVIFileOpen(file, path, OF_WRITE | OF_CREATE));
            if (limit)
                ok(AVIFileSetRiffLimit(file, limit));
            PAVISTREAM s;
            ok(AVIFileCreateStream(file, s, lvtest::videoInfo(32, 16, 1, 25)));
            const Bytes fmt = lvtest::dibHeader(32, 16);
            ok(AVIStreamSetFormat(s, 0, fmt.data(), std::int32_t(fmt.size())));
            // Positions 0, 1 and every multiple of 50 after are left empty.
            for (int i = 2; i < count; ++i) {
                if (i % 50 == 0)
                    continue;
                const Bytes p = payload(i);
                ok(AVIStreamWrite(s, i, 1, p.data(), std::int32_t(p.size()),
                                  keyAt(i) ? AVIIF_KEYFRAME : 0));
            }
            EXPECT_EQ(AVIFileSetRiffLimit(file, 1 << 20), AVIERR_UNSUPPORTED);
            // The writer's own view answers searches too.
            EXPECT_EQ(AVIStreamFindSample(s, 9, FIND_PREV | FIND_KEY), 5);
            ok(AVIStreamRelease(s));
            ok(AVIFileRelease(file));
        }
        const Bytes raw = lvtest::readAll(path);
        const char* indx = "indx";
        EXPECT_EQ(std::search(raw.begin(), raw.end(), indx, indx + 4) != raw.end(), limit != 0);

        PAVIFILE file;
        ok(AVIFileOpen(file, path, OF_READ));
        PAVISTREAM s;
        ok(AVIFileGetStream(file, s, streamtypeVIDEO, 0));
        ASSERT_EQ(AVIStreamLength(s), count);
        EXPECT_EQ(AVIStreamStart(s), 0);
        for (int i = 0; i < count; ++i) {
            const bool empty = i < 2 || i % 50 == 0;
            ASSERT_EQ(AVIStreamIsKeyFrame(s, i), !empty && keyAt(i)) << i;
            // The muxer's test: the key frame at or before i is i itself.
            int expected = i;
            while (expected >= 0 && (expected < 2 || expected % 50 == 0 || !keyAt(expected)))
                --expected;
            ASSERT_EQ(AVIStreamFindSample(s, i, FIND_KEY), expected) << i;
            std::int32_t bytes = -1, samples = -1;
            ok(AVIStreamRead(s, i, 1, nullptr, 0, &bytes, &samples));
            ASSERT_EQ(bytes, empty ? 0 : std::int32_t(payload(i).size())) << i;
        }
        EXPECT_EQ(AVIStreamFindSample(s, 1, FIND_PREV | FIND_KEY), -1);
        EXPECT_EQ(AVIStreamFindSample(s, 0, FIND_NEXT | FIND_KEY), 5);
        EXPECT_EQ(AVIStreamFindSample(s, 46, FIND_NEXT | FIND_KEY), 55);
        EXPECT_EQ(AVIStreamFindSample(s, 300, FIND_FROM_START | FIND_KEY), 5);
        EXPECT_EQ(AVIStreamFindSample(s, 0, FIND_NEXT | FIND_ANY), 2);
        EXPECT_EQ(AVIStreamFindSample(s, 100, FIND_PREV | FIND_ANY), 99);
        EXPECT_EQ(AVIStreamFindSample(s, 5000, FIND_PREV | FIND_KEY), 395);
        EXPECT_EQ(AVIStreamFindSample(s, 396, FIND_NEXT | FIND_KEY), -1);
        EXPECT_EQ(AVIStreamPrevKeyFrame(s, 15), 10);
        EXPECT_EQ(AVIStreamPrevKeyFrame(s, 5), -1);
        AVIFILEINFO fi;
        ok(AVIFileInfo(file, fi));
        EXPECT_EQ(fi.dwLength, std::uint32_t(count));
        EXPECT_EQ(fi.dwRate, 25u);
    }
}

TEST(AviLayer, AWriteNeedingMoreRiffsThanTheIndexHoldsFailsAndReleaseReportsIt) {
    lvtest::TempDir dir;
    PAVIFILE file;
    ok(AVIFileOpen(file, dir.file("many.avi"), OF_WRITE | OF_CREATE));
    ok(AVIFileSetRiffLimit(file, 4096));
    PAVISTREAM s;
    ok(AVIFileCreateStream(file, s, lvtest::videoInfo(32, 16, 1, 25)));
    const Bytes fmt = lvtest::dibHeader(32, 16);
    ok(AVIStreamSetFormat(s, 0, fmt.data(), std::int32_t(fmt.size())));
    const Bytes p(1000, 7);
    HRESULT hr = AVIERR_OK;
    int written = 0;
    while (written < 10000 && hr == AVIERR_OK) {
        hr = AVIStreamWrite(s, written, 1, p.data(), std::int32_t(p.size()), AVIIF_KEYFRAME);
        written += hr == AVIERR_OK;
    }
    EXPECT_EQ(hr, AVIERR_FILEWRITE);
    // Three chunks of 1000 bytes fit in a 4 KiB RIFF; the first RIFF holds the headers too.
    EXPECT_GT(written, 255 * 3);
    EXPECT_LT(written, 256 * 4);
    // Later calls keep failing, and finishing the file reports it.
    EXPECT_EQ(AVIStreamWrite(s, written, 1, p.data(), 10, 0), AVIERR_FILEWRITE);
    ok(AVIStreamRelease(s));
    EXPECT_EQ(AVIFileRelease(file), AVIERR_FILEWRITE);
}

TEST(AviLayer, AFullDiskIsReportedByTheWriteOrByTheRelease) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const Bytes fmt = lvtest::dibHeader(32, 16);
    // Whether the samples would fit in the file buffer or not, a write fails (the first one
    // flushes the reserved header room), and the release says so again.
    for (int samples : {3, 3000}) {
        SCOPED_TRACE(samples);
        PAVIFILE file;
        ok(AVIFileOpen(file, "/dev/full", OF_WRITE | OF_CREATE));
        PAVISTREAM s;
        ok(AVIFileCreateStream(file, s, lvtest::videoInfo(32, 16, 1, 25)));
        ok(AVIStreamSetFormat(s, 0, fmt.data(), std::int32_t(fmt.size())));
        const Bytes p(1000, 7);
        HRESULT hr = AVIERR_OK;
        for (int i = 0; i < samples && hr == AVIERR_OK; ++i)
            hr = AVIStreamWrite(s, i, 1, p.data(), std::int32_t(p.size()), AVIIF_KEYFRAME);
        EXPECT_EQ(hr, AVIERR_FILEWRITE);
        ok(AVIStreamRelease(s));
        EXPECT_EQ(AVIFileRelease(file), AVIERR_FILEWRITE);
    }
}
