#pragma once

// Helpers of the AVI layer's tests: test frames, MP3 frames from lame, ffprobe's packets,
// ffmpeg's decoded frames. Stream checks and decoding errors: support/Ffprobe.h.

#include "platform/AviFile.h"

#include "support/Ffprobe.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lvtest {

using Bytes = std::vector<std::uint8_t>;

// Fails the current test (with the code in hexadecimal) unless hr is AVIERR_OK.
void ok(lv::HRESULT hr);
std::uint32_t le32(const Bytes& b, std::size_t at);

// 40-byte BITMAPINFOHEADER of a 24-bit BI_RGB bottom-up picture.
Bytes dibHeader(std::int32_t width, std::int32_t height);
// Pixel data (rows padded to 4 bytes) of frame t; every frame and row differs.
Bytes dibFrame(std::int32_t width, std::int32_t height, int t);
// The same frame as ffmpeg gives it with -pix_fmt bgr24: top-down rows, no padding.
Bytes dibFrameTopDown(std::int32_t width, std::int32_t height, int t);

// Stream header of a DIB video stream at rate/scale frames per second.
lv::AVISTREAMINFO videoInfo(std::int32_t width, std::int32_t height, std::uint32_t scale,
                            std::uint32_t rate);

struct Mp3Frames {
    int sampleRate = 0;
    int channels = 0;
    int bitrate = 0; // bits per second of the first frame
    std::vector<Bytes> frames;
};
// Encodes a tone of the given length with lame (constant bitrate) and splits it into frames.
Mp3Frames makeMp3(const std::string& folder, int sampleRate, int channels, int kbps,
                  double seconds);
// Stream header and 30-byte MPEG Layer-3 format of an MP3 stream, one frame a sample.
lv::AVISTREAMINFO mp3Info(const Mp3Frames& mp3);
Bytes mp3Format(const Mp3Frames& mp3);

// Packets as ffprobe lists them.
struct ProbedPacket {
    int stream = 0;
    long long size = 0;
    bool key = false;
};
std::vector<ProbedPacket> probePackets(const std::string& path);

// What ffmpeg says at its warning level while demuxing and decoding the whole file.
std::string warnings(const std::string& path);
// Decoded video frames as bgr24, as ffmpeg gives them without dropping or duplicating.
Bytes decodeVideo(const std::string& path);

// The file's bytes, and writing bytes back.
Bytes readAll(const std::string& path);
void writeAll(const std::string& path, const Bytes& data);

// Every sample of every stream read back through the layer; throws on any failed call.
struct ReadBack {
    std::vector<lv::AVISTREAMINFO> info;
    std::vector<Bytes> format;
    std::vector<std::vector<Bytes>> samples;
    std::vector<std::vector<bool>> keys;
};
ReadBack readBack(const std::string& path);

// Result of opening a file and reading all its samples: the first failing result code.
lv::HRESULT tryReadAll(const std::string& path);

} // namespace lvtest
