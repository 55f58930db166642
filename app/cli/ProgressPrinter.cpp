#include "app/cli/ProgressPrinter.h"

namespace lv {

using Clock = std::chrono::steady_clock;

TProgressPrinter::TProgressPrinter(std::FILE* out, bool terminal)
    : m_out(out), m_terminal(terminal), m_start(Clock::now()), m_lastDraw(m_start) {}

std::string TProgressPrinter::Clock(double seconds) {
    if (seconds < 0 || seconds > 1e7)
        return "--:--";
    const long s = long(seconds + 0.5);
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
    return buf;
}

// A terminal is redrawn at most ten times a second; a log gets a line per tenth.
bool TProgressPrinter::due(int permille) {
    const auto now = Clock::now();
    if (m_terminal) {
        if (now - m_lastDraw < std::chrono::milliseconds(100) && permille < 1000)
            return false;
    } else if (permille / 100 == m_lastPermille / 100) {
        return false;
    }
    m_lastDraw = now;
    m_lastPermille = permille;
    return true;
}

void TProgressPrinter::draw(const std::string& label, int position, int max,
                            const std::string& tail) {
    const int percent = max > 0 ? int(100LL * position / max) : 0;
    if (!m_terminal) {
        std::fprintf(m_out, "%s %3d%% %s\n", label.c_str(), percent, tail.c_str());
        std::fflush(m_out);
        return;
    }
    constexpr int width = 30;
    const int filled = max > 0 ? int(std::int64_t(width) * position / max) : 0;
    std::string bar(std::size_t(filled), '#');
    bar.resize(width, ' ');
    std::fprintf(m_out, "\r\033[K%s [%s] %3d%% %s", label.c_str(), bar.c_str(), percent,
                 tail.c_str());
    std::fflush(m_out);
    m_open = true;
}

void TProgressPrinter::Frames(int position, int total) {
    if (total <= 0)
        return;
    // Position 0 stands for "nothing yet" (first call), "frame 0 written" (second call) and
    // "writer closed" (last call); only the calls in between move the bar.
    const auto now = Clock::now();
    ++m_calls;
    if (m_calls == 1) {
        m_start = now;
        return;
    }
    if (position == 0 && m_calls > 2)
        return;
    const int done = position + 1;
    const int permille = int(1000LL * done / total);
    if (!due(permille))
        return;
    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    const double rate = elapsed > 0 ? done / elapsed : 0;
    const double left = rate > 0 ? (total - done) / rate : -1;
    char tail[96];
    std::snprintf(tail, sizeof tail, "%d/%d frames  %.1f fps  ETA %s", done, total, rate,
                  Clock(left).c_str());
    draw("Video", done, total, tail);
}

void TProgressPrinter::Phase(const std::string& text, int position, int max) {
    if (text.empty() || max <= 0)
        return;
    if (text != m_lastLabel) {
        Finish();
        m_lastLabel = text;
        m_lastPermille = -1000;
    }
    const int permille = int(1000LL * position / max);
    if (!due(permille))
        return;
    draw(text, position, max, {});
}

void TProgressPrinter::Finish() {
    if (m_open)
        std::fputc('\n', m_out);
    m_open = false;
}

} // namespace lv
