#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace lv {

// Progress of a run on standard error: a bar redrawn in place with frames done, frames per
// second and time left on a terminal; on anything else a plain line every tenth of the way.
class TProgressPrinter {
public:
    TProgressPrinter(std::FILE* out, bool terminal);

    // Frames: position is the last frame handed to the writer.
    void Frames(int position, int total);
    // Muxing: a phase with its own text ("Adding Video Stream"...).
    void Phase(const std::string& text, int position, int max);
    // Ends a bar line so that messages start on a fresh line.
    void Finish();

    // "1:05" / "1:02:03".
    static std::string Clock(double seconds);

private:
    bool due(int permille);
    void draw(const std::string& label, int position, int max, const std::string& tail);

    std::FILE* m_out;
    bool m_terminal;
    bool m_open = false; // a bar line is drawn and not yet ended
    int m_lastPermille = -1000;
    std::string m_lastLabel;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
    int m_calls = 0;
};

} // namespace lv
