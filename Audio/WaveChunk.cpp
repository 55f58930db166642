#include "Audio/WaveChunk.h"

#include "Audio/WFileStream.h"
#include "platform/RiffIO.h"

#include <cstring>

namespace lv {

namespace {

struct TKnownChunk {
    char id[5];
    int compared;
};

constexpr TKnownChunk kKnownChunks[] = {
    {"RIFF", 4}, {"LIST", 4}, {"fmt ", 3}, {"data", 4}, {"fact", 4}, {"DISP", 4}, {"PAD ", 4},
};

} // namespace

bool TWaveChunk::ReadHeader(TWFileStream& stream) {
    unsigned char h[8] = {};
    if (stream.Read(h, 8) < 8)
        std::memset(h, 0, sizeof h);
    std::memcpy(ID.data(), h, 4);
    Size = getLE32(h + 4);
    KindIndex = -1;
    for (int i = 0; i < int(std::size(kKnownChunks)); ++i) {
        if (std::memcmp(ID.data(), kKnownChunks[i].id, std::size_t(kKnownChunks[i].compared)) ==
            0) {
            KindIndex = i;
            break;
        }
    }
    FormType.fill(0);
    if (KindIndex == kiRiff || KindIndex == kiList)
        stream.Read(FormType.data(), 4);
    DataStart = stream.Position();
    return KindIndex >= 0;
}

void TWaveChunk::Skip(TWFileStream& stream) {
    std::int64_t remaining = Size;
    if (KindIndex == kiRiff || KindIndex == kiList)
        remaining = remaining >= 4 ? remaining - 4 : 0;
    stream.Seek(DataStart + remaining + (Size & 1), TWFileStream::soBeginning);
}

} // namespace lv
