#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lv {

enum TLogLevel : int { llVerbose = 0, llInfo = 1, llError = 2 };

// The support log: plain text, newest line first, each line "<level name>\t<message>" ended by
// CR LF, no time stamp. Level names are "Verbose", "Info" and "Error"; a level above 2 is
// written as "Error", a negative one as "Verbose". Level-0 lines are dropped unless the log is
// verbose.
//
// Each log starts empty: a file left by an earlier start is not read, and the first line
// written replaces it. At most `maxLines` lines are kept.
//
// Where the file's folder cannot be written (a read-only install), the log goes to a file of
// the same name in UserDataFolder() instead; FileName() tells which. A log that cannot be
// written anywhere keeps its lines in memory and tries again at the next Write: Write never
// throws and never stops a run.
//
// Thread safety: Write and the accessors may be called from any thread; one mutex serialises
// them. Every Write rewrites the whole file, so it is meant for a few lines per event, not
// per frame.
class TKLog {
public:
    TKLog(const std::string& fileName, std::size_t maxLines, bool verbose);
    TKLog(const TKLog&) = delete;
    TKLog& operator=(const TKLog&) = delete;

    void Write(const std::string& message, int level) noexcept;

    // The file actually written: the name given at creation or its fallback.
    std::string FileName() const;
    // Lines held in memory, newest first, without line ends.
    std::vector<std::string> Lines() const;
    bool Verbose() const { return m_verbose; }

private:
    std::string fallbackPath() const;
    bool writeFile(const std::string& path) const;

    const std::size_t m_maxLines;
    const bool m_verbose;
    std::string m_path;
    std::deque<std::string> m_lines;
    std::string m_text; // m_lines joined, each ended by CR LF: the file's content
    mutable std::mutex m_mutex;
};

// Name of a level as the file shows it ("Verbose", "Info", "Error").
const char* LogLevelName(int level);

// The "LogMode" setting switches verbose logging on only when it is exactly "1".
bool LogModeIsVerbose(const std::string& logMode);

// The program's log: the application title + ".log" in OwnFilesFolder(), 10000 lines,
// verbose after the "LogMode" setting.
std::unique_ptr<TKLog> CreateProgramLog();

} // namespace lv
