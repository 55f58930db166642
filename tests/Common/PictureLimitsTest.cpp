#include "Common/BmpToAvi.h"
#include "Common/ImageFile.h"
#include "Common/PictureList.h"
#include "Common/VideoMakerThd.h"
#include "platform/Errors.h"

#include "support/Pictures.h"
#include "support/TempDir.h"
#include "support/Threads.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void put16(std::string& s, std::size_t at, unsigned v) {
    s[at] = char(v & 0xFF);
    s[at + 1] = char(v >> 8);
}
void put32(std::string& s, std::size_t at, unsigned v) {
    put16(s, at, v & 0xFFFF);
    put16(s, at + 2, v >> 16);
}

// A real 64 x 48 JPEG whose frame header is changed to claim 65000 x 36563.
std::string lyingJpeg() {
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    lvtest::detailedImage(64, 48).save(&buf, "JPG", 90);
    std::string s = buf.data().toStdString();
    const std::size_t sof = s.find("\xFF\xC0");
    s[sof + 5] = char(36563 >> 8), s[sof + 6] = char(36563 & 0xFF);
    s[sof + 7] = char(65000 >> 8), s[sof + 8] = char(65000 & 0xFF);
    return s;
}

// A BMP header claiming 65000 x 36563 at `bits` a pixel, followed by 4 KB of pixels.
std::string lyingBmp(unsigned bits, unsigned compression) {
    const unsigned palette = bits <= 8 ? 4u << bits : 0;
    std::string s(54 + palette + 4096, '\x40');
    s[0] = 'B', s[1] = 'M';
    put32(s, 2, unsigned(s.size()));
    put32(s, 6, 0);
    put32(s, 10, 54 + palette);
    put32(s, 14, 40);
    put32(s, 18, 65000);
    put32(s, 22, 36563);
    put16(s, 26, 1);
    put16(s, 28, bits);
    put32(s, 30, compression);
    for (std::size_t i = 34; i < 54; ++i)
        s[i] = 0;
    return s;
}

void write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Loads in a child process; returns the child's growth of peak memory in KB, or -1 when the
// load did not fail with an lv::Error naming the file and telling why.
long loadInChild(const std::string& path, const std::string& name) {
    int fds[2];
    if (pipe(fds) != 0)
        return -2;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        long result = -1;
        try {
            lv::TImageFile f(path, 960, 768);
        } catch (const lv::Error& e) {
            const std::string m = e.what();
            if (m.find(name) != std::string::npos &&
                m.find("bytes can hold") != std::string::npos) {
                rusage after{};
                getrusage(RUSAGE_SELF, &after);
                result = after.ru_maxrss - before.ru_maxrss;
            }
        } catch (...) {
        }
        (void)!::write(fds[1], &result, sizeof result);
        _exit(0);
    }
    close(fds[1]);
    long result = -3;
    if (read(fds[0], &result, sizeof result) != sizeof result)
        result = -3;
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return result;
}

} // namespace

TEST(PictureLimits, HeadersClaimingMoreThanTheFileHoldsAreRefusedWithoutAllocating) {
    lvtest::TempDir dir;
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"huge.jpg", lyingJpeg()},       {"huge24.bmp", lyingBmp(24, 0)},
        {"huge8.bmp", lyingBmp(8, 0)},   {"huge1.bmp", lyingBmp(1, 0)},
        {"hugerle.bmp", lyingBmp(8, 1)}, {"huge16.bmp", lyingBmp(16, 3)},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        write(dir.file(f.name), f.bytes);
        const long grown = loadInChild(dir.file(f.name), f.name);
        EXPECT_GE(grown, 0) << "not refused with the claim's message";
        EXPECT_LT(grown, 64 * 1024) << "KB of peak memory for a refused picture";
    }
}

TEST(PictureLimits, ARunStopsAtAPictureThatClaimsTooMuch) {
    lvtest::TempDir dir;
    lv::TPictureList list;
    lvtest::savePicture(lvtest::detailedImage(160, 120), dir.file("a.jpg"), "JPG");
    write(dir.file("b.jpg"), lyingJpeg());
    list.Add(dir.file("a.jpg"));
    list.Add(dir.file("b.jpg"));
    lv::TBmpToAvi writer;
    writer.Width = 64;
    writer.Height = 48;
    writer.FrameTime = 100;
    writer.FileName = dir.file("out.avi");
    writer.SetCodec("DIB ");
    writer.Open();
    lv::TVideoMakerThd thread;
    thread.Writer = &writer;
    thread.TimePerPicture = 1000;
    thread.PicturePaths = &list.PicturePaths;
    thread.PictureTexts = &list.PictureTexts;
    thread.CrossFade = false;
    thread.start();
    lvtest::waitFinished(thread);
    EXPECT_EQ(thread.Position(), 9);
    EXPECT_FALSE(thread.Aborted());
    EXPECT_NE(thread.ErrorMessage().find("b.jpg"), std::string::npos) << thread.ErrorMessage();
    EXPECT_NE(thread.ErrorMessage().find("bytes can hold"), std::string::npos);
}
