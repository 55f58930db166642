#include "AviTestUtil.h"

#include "platform/Errors.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace lvtest {

namespace {

void put16(Bytes& b, std::uint16_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

std::size_t rowBytes(std::int32_t width) {
    return std::size_t((width * 24 + 31) / 32 * 4);
}

std::uint8_t pixelByte(int t, int row, int x, int c) {
    return std::uint8_t(t * 37 + row * 5 + x * 3 + c * 80);
}

} // namespace

void ok(lv::HRESULT hr) {
    ASSERT_EQ(hr, lv::AVIERR_OK) << lv::hex8(std::uint32_t(hr));
}

std::uint32_t le32(const Bytes& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

Bytes dibHeader(std::int32_t width, std::int32_t height) {
    Bytes b;
    put32(b, 40);
    put32(b, std::uint32_t(width));
    put32(b, std::uint32_t(height));
    put16(b, 1);
    put16(b, 24);
    put32(b, 0);
    put32(b, std::uint32_t(rowBytes(width) * std::size_t(height)));
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    return b;
}

// Row r of the picture counted from the top is stored at r counted from the bottom.
Bytes dibFrame(std::int32_t width, std::int32_t height, int t) {
    Bytes b(rowBytes(width) * std::size_t(height), 0);
    for (int stored = 0; stored < height; ++stored) {
        const int top = height - 1 - stored;
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                b[std::size_t(stored) * rowBytes(width) + std::size_t(x * 3 + c)] =
                    pixelByte(t, top, x, c);
    }
    return b;
}

Bytes dibFrameTopDown(std::int32_t width, std::int32_t height, int t) {
    Bytes b;
    for (int top = 0; top < height; ++top)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                b.push_back(pixelByte(t, top, x, c));
    return b;
}

lv::AVISTREAMINFO videoInfo(std::int32_t width, std::int32_t height, std::uint32_t scale,
                            std::uint32_t rate) {
    lv::AVISTREAMINFO i;
    i.fccType = lv::streamtypeVIDEO;
    i.fccHandler = lv::FourCCFromText("DIB ");
    i.dwFlags = 12;
    i.dwScale = scale;
    i.dwRate = rate;
    i.dwQuality = 10000;
    i.rcFrame.right = width;
    i.rcFrame.bottom = height;
    i.szName = "Main Video Stream";
    return i;
}

Mp3Frames makeMp3(const std::string& folder, int sampleRate, int channels, int kbps,
                  double seconds) {
    const std::string wav = folder + "/tone.wav", mp3 = folder + "/tone.mp3";
    const auto frames = std::uint32_t(seconds * sampleRate);
    Bytes w;
    const auto data = frames * std::uint32_t(channels) * 2;
    for (char c : std::string("RIFF"))
        w.push_back(std::uint8_t(c));
    put32(w, 36 + data);
    for (char c : std::string("WAVEfmt "))
        w.push_back(std::uint8_t(c));
    put32(w, 16);
    put16(w, 1);
    put16(w, std::uint16_t(channels));
    put32(w, std::uint32_t(sampleRate));
    put32(w, std::uint32_t(sampleRate * channels * 2));
    put16(w, std::uint16_t(channels * 2));
    put16(w, 16);
    for (char c : std::string("data"))
        w.push_back(std::uint8_t(c));
    put32(w, data);
    for (std::uint32_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            put16(w, std::uint16_t(std::int16_t(8000 * std::sin(i * (0.05 + 0.02 * c)))));
    writeAll(wav, w);
    const auto r = runProcess("lame", {"--quiet", "--cbr", "-b", std::to_string(kbps), wav, mp3});
    if (r.exitCode != 0)
        throw std::runtime_error("lame failed: " + r.err);

    static const int v1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int v2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int rates[] = {44100, 48000, 32000};
    const Bytes all = readAll(mp3);
    Mp3Frames out;
    std::size_t pos = 0;
    if (all.size() > 10 && all[0] == 'I' && all[1] == 'D' && all[2] == '3')
        pos = 10 + (std::size_t(all[6]) << 21 | std::size_t(all[7]) << 14 |
                    std::size_t(all[8]) << 7 | all[9]);
    while (pos + 4 <= all.size() && all[pos] == 0xFF && (all[pos + 1] & 0xE0) == 0xE0) {
        const int version = all[pos + 1] >> 3 & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
        const int brIndex = all[pos + 2] >> 4, srIndex = all[pos + 2] >> 2 & 3;
        const int padding = all[pos + 2] >> 1 & 1;
        if (version == 1 || brIndex == 0 || brIndex == 15 || srIndex == 3)
            break;
        const int sr = rates[srIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
        const int br = (version == 3 ? v1 : v2)[brIndex] * 1000;
        const std::size_t size = std::size_t((version == 3 ? 144 : 72) * br / sr + padding);
        if (pos + size > all.size())
            break;
        if (out.frames.empty()) {
            out.sampleRate = sr;
            out.channels = (all[pos + 3] >> 6) == 3 ? 1 : 2;
            out.bitrate = br;
        }
        out.frames.emplace_back(all.begin() + long(pos), all.begin() + long(pos + size));
        pos += size;
    }
    if (out.frames.size() < 3)
        throw std::runtime_error("no MP3 frames in lame's output");
    return out;
}

lv::AVISTREAMINFO mp3Info(const Mp3Frames& mp3) {
    lv::AVISTREAMINFO i;
    i.fccType = lv::streamtypeAUDIO;
    i.dwScale = 1152;
    i.dwRate = std::uint32_t(mp3.sampleRate);
    return i;
}

Bytes mp3Format(const Mp3Frames& mp3) {
    Bytes b;
    put16(b, 0x55);
    put16(b, std::uint16_t(mp3.channels));
    put32(b, std::uint32_t(mp3.sampleRate));
    put32(b, std::uint32_t(mp3.bitrate / 8));
    put16(b, 1152);
    put16(b, 0);
    put16(b, 30);
    put16(b, 1);
    put32(b, 2);
    put16(b, 522);
    put16(b, 1);
    put16(b, 1393);
    return b;
}

std::vector<ProbedPacket> probePackets(const std::string& path) {
    const auto r = runProcess("ffprobe", {"-v", "error", "-show_entries",
                                          "packet=stream_index,size,flags", "-of", "json", path});
    std::vector<ProbedPacket> out;
    const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out));
    for (const auto& v : doc.object().value("packets").toArray()) {
        const auto o = v.toObject();
        ProbedPacket p;
        p.stream = o.value("stream_index").toInt();
        p.size = o.value("size").toString().toLongLong();
        p.key = o.value("flags").toString().startsWith('K');
        out.push_back(p);
    }
    return out;
}

std::string warnings(const std::string& path) {
    const auto r = runProcess("ffmpeg", {"-v", "warning", "-i", path, "-f", "null", "-"});
    return r.err + (r.exitCode ? " (exit " + std::to_string(r.exitCode) + ")" : "");
}

Bytes decodeVideo(const std::string& path) {
    const auto r =
        runProcess("ffmpeg", {"-v", "error", "-i", path, "-map", "0:v:0", "-fps_mode",
                              "passthrough", "-f", "rawvideo", "-pix_fmt", "bgr24", "-"});
    return Bytes(r.out.begin(), r.out.end());
}

Bytes readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

void writeAll(const std::string& path, const Bytes& data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path);
}

namespace {
void check(lv::HRESULT hr, const char* what) {
    if (hr != lv::AVIERR_OK)
        throw std::runtime_error(std::string(what) + " failed: " + lv::hex8(std::uint32_t(hr)));
}
} // namespace

ReadBack readBack(const std::string& path) {
    ReadBack out;
    lv::PAVIFILE file;
    check(lv::AVIFileOpen(file, path, lv::OF_READ), "AVIFileOpen");
    lv::AVIFILEINFO fi;
    check(lv::AVIFileInfo(file, fi), "AVIFileInfo");
    for (std::uint32_t n = 0; n < fi.dwStreams; ++n) {
        lv::PAVISTREAM s;
        check(lv::AVIFileGetStream(file, s, 0, std::int32_t(n)), "AVIFileGetStream");
        lv::AVISTREAMINFO info;
        check(lv::AVIStreamInfo(s, info), "AVIStreamInfo");
        out.info.push_back(info);
        std::int32_t size = 0;
        check(lv::AVIStreamReadFormat(s, 0, nullptr, &size), "AVIStreamReadFormat");
        Bytes format(static_cast<std::size_t>(size));
        check(lv::AVIStreamReadFormat(s, 0, format.data(), &size), "AVIStreamReadFormat");
        out.format.push_back(format);
        out.samples.emplace_back();
        out.keys.emplace_back();
        const std::int32_t end = lv::AVIStreamStart(s) + lv::AVIStreamLength(s);
        for (std::int32_t i = lv::AVIStreamStart(s); i < end; ++i) {
            std::int32_t bytes = -1, samples = -1;
            check(lv::AVIStreamRead(s, i, 1, nullptr, 0, &bytes, &samples), "AVIStreamRead");
            Bytes data(static_cast<std::size_t>(bytes));
            check(lv::AVIStreamRead(s, i, 1, data.data(), bytes, &bytes, &samples),
                  "AVIStreamRead");
            out.samples.back().push_back(data);
            out.keys.back().push_back(lv::AVIStreamIsKeyFrame(s, i));
        }
        check(lv::AVIStreamRelease(s), "AVIStreamRelease");
    }
    check(lv::AVIFileRelease(file), "AVIFileRelease");
    return out;
}

lv::HRESULT tryReadAll(const std::string& path) {
    lv::PAVIFILE file;
    if (lv::HRESULT hr = lv::AVIFileOpen(file, path, lv::OF_READ); hr != lv::AVIERR_OK)
        return hr;
    lv::AVIFILEINFO fi;
    lv::AVIFileInfo(file, fi);
    for (std::uint32_t n = 0; n < fi.dwStreams; ++n) {
        lv::PAVISTREAM s;
        if (lv::HRESULT hr = lv::AVIFileGetStream(file, s, 0, std::int32_t(n)); hr != lv::AVIERR_OK)
            return hr;
        std::int32_t size = 0;
        lv::AVIStreamReadFormat(s, 0, nullptr, &size);
        Bytes format(static_cast<std::size_t>(size));
        lv::AVIStreamReadFormat(s, 0, format.data(), &size);
        const std::int32_t end = lv::AVIStreamStart(s) + lv::AVIStreamLength(s);
        for (std::int32_t i = lv::AVIStreamStart(s); i < end; ++i) {
            std::int32_t bytes = 0, samples = 0;
            if (lv::HRESULT hr = lv::AVIStreamRead(s, i, 1, nullptr, 0, &bytes, &samples);
                hr != lv::AVIERR_OK)
                return hr;
            Bytes data(static_cast<std::size_t>(bytes));
            if (lv::HRESULT hr = lv::AVIStreamRead(s, i, 1, data.data(), bytes, &bytes, &samples);
                hr != lv::AVIERR_OK)
                return hr;
            lv::AVIStreamFindSample(s, i, lv::FIND_PREV | lv::FIND_KEY);
        }
    }
    return lv::AVIERR_OK;
}

} // namespace lvtest
