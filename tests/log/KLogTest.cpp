#include "log/KLog.h"
#include "platform/Registry.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Splits at CR LF and fails the test on a bare LF or a missing final CR LF.
std::vector<std::string> FileLines(const std::string& path) {
    std::string data = ReadAll(path);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "last line without CR LF";
        if (end == std::string::npos)
            break;
        std::string line = data.substr(start, end - start);
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

// Points the user's data folder (the log's fallback) into the test's own folder.
class ScopedDataHome {
public:
    explicit ScopedDataHome(const std::string& dir) {
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            m_old = old;
        setenv("XDG_DATA_HOME", dir.c_str(), 1);
    }
    ~ScopedDataHome() {
        if (m_old)
            setenv("XDG_DATA_HOME", m_old->c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
    }

private:
    std::optional<std::string> m_old;
};

} // namespace

TEST(KLog, KeepsTheNewestLinesFirstUpToTheMaximum) {
    lvtest::TempDir dir;
    std::string name = dir.file("Lumivane.log");
    lv::TKLog log(name, 10000, false);
    for (int i = 0; i <= 10000; ++i)
        log.Write("line " + std::to_string(i), lv::llInfo);
    auto lines = FileLines(name);
    ASSERT_EQ(lines.size(), 10000u);
    EXPECT_EQ(lines.front(), "Info\tline 10000");
    EXPECT_EQ(lines[1], "Info\tline 9999");
    EXPECT_EQ(lines.back(), "Info\tline 1");
    EXPECT_EQ(log.Lines(), lines);
    EXPECT_EQ(log.FileName(), name);
}

TEST(KLog, LevelNamesAndVerboseFiltering) {
    lvtest::TempDir dir;
    std::string quietName = dir.file("quiet.log");
    lv::TKLog quiet(quietName, 100, false);
    quiet.Write("dropped before any file", lv::llVerbose);
    EXPECT_FALSE(std::filesystem::exists(quietName));
    quiet.Write("info", 1);
    quiet.Write("error", 2);
    quiet.Write("seven", 7);
    std::string before = ReadAll(quietName);
    quiet.Write("dropped", 0);
    EXPECT_EQ(ReadAll(quietName), before);
    EXPECT_EQ(FileLines(quietName),
              (std::vector<std::string>{"Error\tseven", "Error\terror", "Info\tinfo"}));

    std::string verboseName = dir.file("verbose.log");
    lv::TKLog verbose(verboseName, 100, true);
    verbose.Write("kept", 0);
    verbose.Write("below zero", -3);
    verbose.Write("split\r\nmessage", 1);
    EXPECT_EQ(
        FileLines(verboseName),
        (std::vector<std::string>{"Info\tsplit  message", "Verbose\tbelow zero", "Verbose\tkept"}));
}

TEST(KLog, OnlyLogModeExactlyOneIsVerbose) {
    EXPECT_TRUE(lv::LogModeIsVerbose("1"));
    for (const char* value : {"", "0", "1 ", " 1", "11", "01", "true", "yes", "1\n"})
        EXPECT_FALSE(lv::LogModeIsVerbose(value)) << '"' << value << '"';

    lvtest::TempDir dir;
    const char* old = std::getenv("LUMIVANE_SETTINGS_DIR");
    std::string oldDir = old ? old : "";
    setenv("LUMIVANE_SETTINGS_DIR", dir.path().c_str(), 1);
    EXPECT_FALSE(lv::CreateProgramLog()->Verbose()); // absent
    lv::WriteRegString("LogMode", "1 ");
    EXPECT_FALSE(lv::CreateProgramLog()->Verbose());
    lv::WriteRegString("LogMode", "1");
    EXPECT_TRUE(lv::CreateProgramLog()->Verbose());
    if (old)
        setenv("LUMIVANE_SETTINGS_DIR", oldDir.c_str(), 1);
    else
        unsetenv("LUMIVANE_SETTINGS_DIR");
}

TEST(KLog, ASecondStartReplacesTheEarlierRunsLinesAtItsFirstLine) {
    lvtest::TempDir dir;
    std::string name = dir.file("Lumivane.log");
    {
        lv::TKLog first(name, 4, false);
        for (const char* m : {"old 1", "old 2", "old 3"})
            first.Write(m, lv::llInfo);
    }
    lv::TKLog second(name, 4, false);
    EXPECT_TRUE(second.Lines().empty());
    EXPECT_EQ(FileLines(name).size(), 3u) << "untouched until the first line";
    second.Write("new 1", lv::llError);
    second.Write("new 2", lv::llInfo);
    EXPECT_EQ(FileLines(name), (std::vector<std::string>{"Info\tnew 2", "Error\tnew 1"}));
}

TEST(KLog, UnwritableFolderFallsBackAndWriteNeverThrows) {
    lvtest::TempDir dir;
    ScopedDataHome home(dir.file("data"));
    // A "folder" that is a regular file cannot hold the log, even for root.
    std::ofstream(dir.file("notafolder")) << "x";
    lv::TKLog log(dir.file("notafolder") + "/Lumivane.log", 10, false);
    std::string fallback = dir.file("data") + "/Lumivane/Lumivane.log";
    EXPECT_EQ(log.FileName(), fallback);
    EXPECT_NO_THROW(log.Write("Starting", lv::llInfo));
    EXPECT_EQ(FileLines(fallback), std::vector<std::string>{"Info\tStarting"});

    // The folder disappears under a running log: the next line goes to the fallback with all
    // the earlier ones.
    std::filesystem::create_directory(dir.file("gone"));
    lv::TKLog moving(dir.file("gone") + "/Moving.log", 10, false);
    moving.Write("before", lv::llInfo);
    std::filesystem::remove_all(dir.file("gone"));
    std::ofstream(dir.file("gone")) << "x";
    EXPECT_NO_THROW(moving.Write("after", lv::llInfo));
    std::string movedTo = dir.file("data") + "/Lumivane/Moving.log";
    EXPECT_EQ(moving.FileName(), movedTo);
    EXPECT_EQ(FileLines(movedTo), (std::vector<std::string>{"Info\tafter", "Info\tbefore"}));
}

TEST(KLog, NowhereToWriteKeepsLinesInMemory) {
    lvtest::TempDir dir;
    std::ofstream(dir.file("file")) << "x";
    // The data folder cannot be created either: its parent is a regular file.
    ScopedDataHome home(dir.file("file"));
    lv::TKLog log(dir.file("file") + "/Lumivane.log", 10, false);
    EXPECT_NO_THROW(log.Write("one", lv::llInfo));
    EXPECT_NO_THROW(log.Write("two", lv::llError));
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Error\ttwo", "Info\tone"}));
}

TEST(KLog, ConcurrentWritersLoseNoLine) {
    lvtest::TempDir dir;
    std::string name = dir.file("threads.log");
    lv::TKLog log(name, 10000, false);
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&log, t] {
            for (int i = 0; i < 100; ++i)
                log.Write("thread " + std::to_string(t) + " line " + std::to_string(i), lv::llInfo);
        });
    for (auto& w : writers)
        w.join();
    auto lines = FileLines(name);
    ASSERT_EQ(lines.size(), 400u);
    // Each thread's lines appear newest first, none torn.
    for (int t = 0; t < 4; ++t) {
        std::string prefix = "Info\tthread " + std::to_string(t) + " line ";
        int expected = 99;
        for (const auto& line : lines)
            if (line.starts_with(prefix)) {
                EXPECT_EQ(line, prefix + std::to_string(expected--));
            }
        EXPECT_EQ(expected, -1);
    }
}
