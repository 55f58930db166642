#include "AudioFixtures.h"

#include "Audio/AudioFile.h"

#include "support/Process.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace lvtest {

std::uint32_t mpegWord(int version, int layer, int bitrateIndex, int rateIndex, int padding,
                       int mode) {
    std::uint32_t layerBits = layer == 0 ? 0 : std::uint32_t(4 - layer);
    return 0xFFE00000u | std::uint32_t(version) << 19 | layerBits << 17 | 1u << 16 |
           std::uint32_t(bitrateIndex) << 12 | std::uint32_t(rateIndex) << 10 |
           std::uint32_t(padding) << 9 | std::uint32_t(mode) << 6;
}

Bytes mpegFrame(std::uint32_t word, int length) {
    Bytes b(std::size_t(length), 0x55);
    for (int i = 0; i < 4 && i < length; ++i)
        b[std::size_t(i)] = std::uint8_t(word >> (24 - 8 * i));
    return b;
}

Bytes id3v2Tag(const std::uint8_t (&sizeBytes)[4], int bodyLength, const Bytes& body,
               bool footerFlag, const Bytes& footer) {
    Bytes b = {'I',
               'D',
               '3',
               4,
               0,
               std::uint8_t(footerFlag ? 0x10 : 0),
               sizeBytes[0],
               sizeBytes[1],
               sizeBytes[2],
               sizeBytes[3]};
    Bytes content = body;
    content.resize(std::size_t(bodyLength), 0x41);
    b.insert(b.end(), content.begin(), content.end());
    if (footerFlag) {
        Bytes f = footer;
        f.resize(10, 0x42);
        b.insert(b.end(), f.begin(), f.end());
    }
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes repeat(const Bytes& part, int times) {
    Bytes all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

static void putLe(Bytes& b, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

Bytes chunk(const std::string& id, const Bytes& payload, std::int64_t declaredSize) {
    Bytes b(id.begin(), id.end());
    b.resize(4, ' ');
    putLe(b, std::uint64_t(declaredSize < 0 ? std::int64_t(payload.size()) : declaredSize), 4);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

Bytes pcmFormat(int channels, int rate, int bits, bool withExtraSize) {
    Bytes b;
    int blockAlign = channels * bits / 8;
    putLe(b, 1, 2);
    putLe(b, std::uint64_t(channels), 2);
    putLe(b, std::uint64_t(rate), 4);
    putLe(b, std::uint64_t(rate * blockAlign), 4);
    putLe(b, std::uint64_t(blockAlign), 2);
    putLe(b, std::uint64_t(bits), 2);
    if (withExtraSize)
        putLe(b, 0, 2);
    return b;
}

Bytes riffWave(std::initializer_list<Bytes> chunks) {
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    return chunk("RIFF", body);
}

Bytes tonePcm(int rate, int channels, double seconds) {
    Bytes b;
    auto frames = std::int64_t(rate * seconds);
    for (std::int64_t i = 0; i < frames; ++i) {
        double t = double(i) / rate;
        double f = 220 + 600 * t / seconds;
        for (int c = 0; c < channels; ++c) {
            auto s = std::int16_t(9000 * std::sin(2 * M_PI * f * (c + 1) * t));
            putLe(b, std::uint16_t(s), 2);
        }
    }
    return b;
}

double ffprobeDuration(const std::string& path) {
    ProcessResult r = runProcess(
        "ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path});
    if (r.exitCode != 0 || r.out.empty())
        return -1;
    return std::stod(r.out);
}

double FacadeSeconds(const std::string& path) {
    lv::TAudioFile audio;
    audio.SetFileName(path);
    try {
        EXPECT_TRUE(audio.Open());
    } catch (...) {
        EXPECT_FALSE(audio.IsOpen()) << "a refused file leaves the facade closed";
        throw;
    }
    const double seconds = double(audio.Duration()) * 86400;
    EXPECT_TRUE(std::isfinite(seconds));
    EXPECT_GE(seconds, 0);
    return seconds;
}

} // namespace lvtest
