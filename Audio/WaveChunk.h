#pragma once

#include <array>
#include <cstdint>

namespace lv {

class TWFileStream;

// One RIFF chunk header.
class TWaveChunk {
public:
    // Known identifiers in table order; "fmt " is matched on its first 3 characters.
    enum { kiRiff = 0, kiList = 1, kiFmt = 2, kiData = 3, kiFact = 4, kiDisp = 5, kiPad = 6 };

    // Reads the 8-byte header (and the form type of RIFF and LIST chunks); true when the
    // identifier is known. A header cut short by the end of the file reads as an unknown
    // identifier of size 0.
    bool ReadHeader(TWFileStream& stream);
    // Moves the stream to the end of the chunk's declared data (for RIFF and LIST the form
    // type already read counts), then past the pad byte that follows data of odd size.
    void Skip(TWFileStream& stream);

    std::array<char, 4> ID{};
    std::array<char, 4> FormType{};
    // Declared data size: unsigned, so a size of 2 GiB or more never points backwards.
    std::uint32_t Size = 0;
    std::int64_t DataStart = 0; // stream position right after the header
    int KindIndex = -1;         // index in the table, -1 when unknown
};

} // namespace lv
