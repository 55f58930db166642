#pragma once

#include <string>
#include <vector>

namespace lvtest {

// Runs ffmpeg quietly with the arguments, overwriting `out`; true when it made the file.
bool ffmpegMake(const std::vector<std::string>& args, const std::string& out);

// A 16-bit PCM WAV file of a tone, `seconds` long.
void writeToneWav(const std::string& path, int rate, int channels, double seconds);

// Encodes a WAV with mpcenc; true when it made the file.
bool mpcencMake(const std::string& wav, const std::string& out);

// A small Monkey's Audio file (version 3.99 layout, one frame header, no real audio data)
// declaring the given format and number of blocks.
std::vector<unsigned char> apeFile(int channels, int rate, int bits, int totalBlocks);

// Sets LUMIVANE_DISABLE_LIBS and reloads the decoder libraries; the destructor restores the
// variable as it was and reloads again.
class DisabledLibraries {
public:
    explicit DisabledLibraries(const std::string& list);
    ~DisabledLibraries();
    DisabledLibraries(const DisabledLibraries&) = delete;
    DisabledLibraries& operator=(const DisabledLibraries&) = delete;

private:
    bool m_had = false;
    std::string m_old;
};

} // namespace lvtest
