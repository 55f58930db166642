#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lvtest {

using Bytes = std::vector<std::uint8_t>;

// MPEG audio header word from its fields. version: 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5,
// 1 = reserved; layer 1..3 (0 = reserved); mode 3 = single channel.
std::uint32_t mpegWord(int version, int layer, int bitrateIndex, int rateIndex, int padding = 0,
                       int mode = 0);

// One frame of `length` bytes: the header (big-endian) and a body that holds no sync byte.
Bytes mpegFrame(std::uint32_t word, int length);

// ID3v2 tag: 10-byte header whose size bytes are `sizeBytes`, `bodyLength` body bytes (a
// copy of `body` padded with 0x41), and with the footer flag, 10 footer bytes `footer`.
Bytes id3v2Tag(const std::uint8_t (&sizeBytes)[4], int bodyLength, const Bytes& body = {},
               bool footerFlag = false, const Bytes& footer = {});

Bytes concat(std::initializer_list<Bytes> parts);
Bytes repeat(const Bytes& part, int times);

void writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);

// RIFF chunk: 4-character id, the little-endian size (the payload's unless given) and
// the payload, with no pad byte.
Bytes chunk(const std::string& id, const Bytes& payload, std::int64_t declaredSize = -1);
// A "fmt " payload of 16 bytes (PCM) or 18 with ExtraSize.
Bytes pcmFormat(int channels, int rate, int bits, bool withExtraSize = false);
// RIFF/WAVE file of the given chunks.
Bytes riffWave(std::initializer_list<Bytes> chunks);

// 16-bit little-endian PCM of a tone sweeping upward, `seconds` long.
Bytes tonePcm(int rate, int channels, double seconds);

// Duration in seconds that ffprobe reports for the file's format; negative on failure.
double ffprobeDuration(const std::string& path);

// Opens a file through the audio facade and returns its duration in seconds, checking that
// the facade opened it and that the duration is a finite, non-negative number. A reader's
// refusal propagates as its lv::Error, after checking that it left the facade closed.
double FacadeSeconds(const std::string& path);

} // namespace lvtest
