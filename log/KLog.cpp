#include "log/KLog.h"

#include "platform/Files.h"
#include "platform/Registry.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lv {

namespace {

// True when the log file can be created or replaced at this path. FolderWritable alone is not
// enough: for root it answers yes for anything, even a "folder" that is a regular file.
bool CanWriteLogAt(const std::string& path) {
    std::string folder = ExtractFilePath(path);
    if (folder.empty())
        folder = "./";
    std::error_code ec;
    if (!fs::is_directory(fs::u8path(folder), ec) || !FolderWritable(folder))
        return false;
    auto status = fs::status(fs::u8path(path), ec);
    if (status.type() == fs::file_type::not_found)
        return true;
    return status.type() == fs::file_type::regular && access(path.c_str(), W_OK) == 0;
}

// A message is one line of the file; a line break inside it would make the file disagree with
// the line count and with what a re-open reads back.
std::string OneLine(const std::string& message) {
    std::string line = message;
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    return line;
}

} // namespace

const char* LogLevelName(int level) {
    if (level <= llVerbose)
        return "Verbose";
    if (level == llInfo)
        return "Info";
    return "Error";
}

bool LogModeIsVerbose(const std::string& logMode) {
    return logMode == "1";
}

TKLog::TKLog(const std::string& fileName, std::size_t maxLines, bool verbose)
    : m_maxLines(maxLines), m_verbose(verbose), m_path(fileName) {
    if (!CanWriteLogAt(m_path))
        m_path = fallbackPath();
}

void TKLog::Write(const std::string& message, int level) noexcept {
    if (level <= llVerbose && !m_verbose)
        return;
    try {
        std::lock_guard lock(m_mutex);
        std::string line = std::string(LogLevelName(level)) + '\t' + OneLine(message);
        m_lines.push_front(line);
        try {
            // Kept beside the lines so that a Write moves memory once instead of joining
            // up to maxLines strings again.
            m_text.insert(0, line + "\r\n");
        } catch (...) {
            m_lines.pop_front();
            throw;
        }
        while (m_lines.size() > m_maxLines) {
            m_text.resize(m_text.size() - m_lines.back().size() - 2);
            m_lines.pop_back();
        }
        if (writeFile(m_path))
            return;
        // The folder may have become read-only since the start; the data folder is the
        // place of last resort. If that fails too, the lines stay in memory for next time.
        std::string fallback = fallbackPath();
        if (m_path != fallback && writeFile(fallback))
            m_path = fallback;
    } catch (...) {
        // Out of memory or a failing stream: losing a log line must not end the run.
    }
}

// Asked only when needed: finding it creates the data folder.
std::string TKLog::fallbackPath() const {
    return UserDataFolder() + ExtractFileName(m_path);
}

bool TKLog::writeFile(const std::string& path) const {
    // Overwritten in place and cut to size afterwards rather than opened with O_TRUNC: ext4
    // flushes a file that was truncated to zero on close, which made every Write wait for the
    // disk.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < m_text.size()) {
        ssize_t n =
            pwrite(fd, m_text.data() + done, m_text.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    bool ok = done == m_text.size() && ftruncate(fd, static_cast<off_t>(done)) == 0;
    return close(fd) == 0 && ok;
}

std::string TKLog::FileName() const {
    std::lock_guard lock(m_mutex);
    return m_path;
}

std::vector<std::string> TKLog::Lines() const {
    std::lock_guard lock(m_mutex);
    return {m_lines.begin(), m_lines.end()};
}

std::unique_ptr<TKLog> CreateProgramLog() {
    return std::make_unique<TKLog>(OwnFilesFolder() + "Lumivane.log", 10000,
                                   LogModeIsVerbose(ReadRegString("LogMode")));
}

} // namespace lv
