#include "ExternalFixtures.h"

#include "Audio/DecoderLibraries.h"
#include "platform/DynLib.h"

#include "AudioFixtures.h"
#include "support/Process.h"

#include <cstdlib>
#include <filesystem>

namespace lvtest {

namespace {

void putLe(Bytes& b, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b.push_back(std::uint8_t(value >> (8 * i)));
}

} // namespace

bool ffmpegMake(const std::vector<std::string>& args, const std::string& out) {
    std::vector<std::string> all = {"-v", "error", "-y"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back(out);
    return runProcess("ffmpeg", all).exitCode == 0 && std::filesystem::exists(out);
}

void writeToneWav(const std::string& path, int rate, int channels, double seconds) {
    writeFile(path, riffWave({chunk("fmt ", pcmFormat(channels, rate, 16)),
                              chunk("data", tonePcm(rate, channels, seconds))}));
}

bool mpcencMake(const std::string& wav, const std::string& out) {
    return runProcess("mpcenc", {"--silent", "--overwrite", wav, out}).exitCode == 0 &&
           std::filesystem::exists(out);
}

Bytes apeFile(int channels, int rate, int bits, int totalBlocks) {
    const int frameBytes = 16;
    Bytes b = {'M', 'A', 'C', ' '};
    putLe(b, 3990, 2); // version 3.99
    putLe(b, 0, 2);
    putLe(b, 52, 4);                         // descriptor bytes
    putLe(b, 24, 4);                         // header bytes
    putLe(b, 4, 4);                          // seek table bytes: one frame
    putLe(b, 0, 4);                          // stored WAV header bytes
    putLe(b, frameBytes, 4);                 // frame data bytes
    putLe(b, 0, 4);                          // frame data bytes, high word
    putLe(b, 0, 4);                          // terminating bytes
    b.insert(b.end(), 16, 0);                // MD5
    putLe(b, 2000, 2);                       // compression level: normal
    putLe(b, 0, 2);                          // format flags
    putLe(b, 73728 * 4, 4);                  // blocks per frame
    putLe(b, std::uint64_t(totalBlocks), 4); // blocks of the final (only) frame
    putLe(b, 1, 4);                          // total frames
    putLe(b, std::uint64_t(bits), 2);
    putLe(b, std::uint64_t(channels), 2);
    putLe(b, std::uint64_t(rate), 4);
    putLe(b, 52 + 24 + 4, 4); // seek table: where the frame starts
    b.insert(b.end(), frameBytes, 0);
    return b;
}

DisabledLibraries::DisabledLibraries(const std::string& list) {
    if (const char* old = std::getenv(lv::kDisableLibsVariable)) {
        m_had = true;
        m_old = old;
    }
    setenv(lv::kDisableLibsVariable, list.c_str(), 1);
    lv::ReloadDecoderLibraries();
}

DisabledLibraries::~DisabledLibraries() {
    if (m_had)
        setenv(lv::kDisableLibsVariable, m_old.c_str(), 1);
    else
        unsetenv(lv::kDisableLibsVariable);
    lv::ReloadDecoderLibraries();
}

} // namespace lvtest
