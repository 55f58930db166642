#include "MuxTestUtil.h"

#include "platform/AviFile.h"
#include "platform/Dib.h"
#include "support/Process.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace lvtest {

Bytes readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void MuxRecorder::attach(lv::TMuxThd& thread) {
    auto check = [this] {
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            calledOffMainThread = true;
    };
    thread.OnLog = [this, check](const std::string& text, int level) {
        check();
        log.push_back(text);
        levels.push_back(level);
    };
    thread.OnProgress = [this, check](int position, int max, const std::string& text) {
        check();
        progress.emplace_back(position, max, text);
    };
}

bool MuxRecorder::logged(const std::string& line) const {
    return std::find(log.begin(), log.end(), line) != log.end();
}

bool runToEnd(lv::TMuxThd& thread, int timeoutMs) {
    QEventLoop loop;
    QObject::connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    thread.start();
    loop.exec();
    if (!thread.isFinished())
        return false;
    thread.Join();
    return true;
}

void makeDibVideo(const std::string& path, int frames, int width, int height) {
    lv::PAVIFILE file;
    ASSERT_EQ(lv::AVIFileOpen(file, path, lv::OF_WRITE | lv::OF_CREATE), lv::AVIERR_OK);
    lv::AVISTREAMINFO info;
    info.fccType = lv::streamtypeVIDEO;
    info.fccHandler = lv::FourCCFromText("DIB ");
    info.dwScale = 1;
    info.dwRate = 25;
    info.rcFrame = {0, 0, width, height};
    lv::PAVISTREAM stream;
    ASSERT_EQ(lv::AVIFileCreateStream(file, stream, info), lv::AVIERR_OK);
    lv::BITMAPINFOHEADER format = lv::RgbFormat(width, height);
    format.biSizeImage = std::uint32_t(lv::DibRowBytes(width) * height);
    ASSERT_EQ(lv::AVIStreamSetFormat(stream, 0, &format, sizeof format), lv::AVIERR_OK);
    Bytes bits(format.biSizeImage);
    for (int i = 0; i < frames; ++i) {
        for (std::size_t k = 0; k < bits.size(); ++k)
            bits[k] = std::uint8_t(k * 7 + i * 13);
        ASSERT_EQ(lv::AVIStreamWrite(stream, i, 1, bits.data(), std::int32_t(bits.size()),
                                     lv::AVIIF_KEYFRAME),
                  lv::AVIERR_OK);
    }
    ASSERT_EQ(lv::AVIStreamRelease(stream), lv::AVIERR_OK);
    ASSERT_EQ(lv::AVIFileRelease(file), lv::AVIERR_OK);
}

Bytes withoutTags(const Bytes& mp3) {
    std::size_t begin = 0;
    std::size_t end = mp3.size();
    if (mp3.size() >= 10 && mp3[0] == 'I' && mp3[1] == 'D' && mp3[2] == '3') {
        begin = 10 + (std::size_t(mp3[6] & 0x7F) << 21 | std::size_t(mp3[7] & 0x7F) << 14 |
                      std::size_t(mp3[8] & 0x7F) << 7 | std::size_t(mp3[9] & 0x7F));
        if (mp3[5] & 0x10)
            begin += 10; // footer
    }
    if (end >= begin + 128 && mp3[end - 128] == 'T' && mp3[end - 127] == 'A' &&
        mp3[end - 126] == 'G')
        end -= 128;
    return Bytes(mp3.begin() + std::ptrdiff_t(std::min(begin, end)),
                 mp3.begin() + std::ptrdiff_t(end));
}

std::vector<QJsonObject> probeStreams(const std::string& path, std::string* errors) {
    auto r = runProcess("ffprobe",
                        {"-v", "error", "-count_packets", "-show_entries",
                         "stream=codec_type,codec_name,codec_tag,sample_rate,channels,duration,"
                         "nb_frames,nb_read_packets,r_frame_rate",
                         "-of", "json", path});
    if (errors)
        *errors = r.err;
    std::vector<QJsonObject> streams;
    if (r.exitCode != 0)
        return streams;
    const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out));
    for (const auto& s : doc.object().value("streams").toArray())
        streams.push_back(s.toObject());
    return streams;
}

Bytes ffmpegCopyStream(const std::string& path, const std::string& map,
                       const std::vector<std::string>& outputArgs) {
    std::vector<std::string> args = {"-v", "error", "-i", path, "-map", map, "-c", "copy"};
    args.insert(args.end(), outputArgs.begin(), outputArgs.end());
    args.push_back("-");
    auto r = runProcess("ffmpeg", args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return Bytes(r.out.begin(), r.out.end());
}

} // namespace lvtest
