#include "project/ProjectFile.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/RegularFile.h"
#include "project/PictureFiles.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lv {

namespace {

constexpr std::string_view kSoundKey = ";Sound=";
constexpr std::string_view kOutputKey = ";Output=";

// Lines end with CR LF, LF or CR; a final line end does not start another line.
std::vector<std::string_view> SplitLines(std::string_view data) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(data.substr(start));
            break;
        }
        lines.push_back(data.substr(start, end - start));
        start = end + (data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

class TFd {
public:
    explicit TFd(int fd) : m_fd(fd) {}
    ~TFd() {
        if (m_fd >= 0)
            close(m_fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

[[noreturn]] void ThrowReadError(const std::string& fileName, const std::string& why) {
    throw Error("Cannot read project file " + fileName + ": " + why);
}

std::string AbsoluteFolder(const std::string& fileName) {
    std::error_code ec;
    fs::path absolute = fs::absolute(fs::u8path(fileName), ec);
    return ExtractFilePath(ec ? fileName : absolute.string());
}

bool FitsOnOneLine(const std::string& s) {
    return s.find_first_of("\r\n") == std::string::npos;
}

} // namespace

TProject ParseProject(std::string_view data) {
    // Some editors start a UTF-8 file with a byte-order mark; it is no part of a path.
    if (data.starts_with("\xEF\xBB\xBF"))
        data.remove_prefix(3);
    TProject project;
    std::vector<std::string_view> lines = SplitLines(data);
    std::size_t i = 0;
    for (; i < lines.size() && !lines[i].empty() && lines[i].front() == ';'; ++i) {
        std::string_view line = lines[i];
        if (line.starts_with(kSoundKey))
            project.Sound = std::string(line.substr(kSoundKey.size()));
        else if (line.starts_with(kOutputKey))
            project.Output = std::string(line.substr(kOutputKey.size()));
    }
    project.Entries.reserve(lines.size() - i);
    for (; i < lines.size(); ++i)
        project.Entries.emplace_back(lines[i]);
    return project;
}

TProject ReadProject(const std::string& fileName) {
    std::string why;
    TFd fd(OpenRegularFile(fileName, why));
    if (fd.get() < 0)
        ThrowReadError(fileName, why);
    struct stat st {};
    if (fstat(fd.get(), &st) != 0)
        ThrowReadError(fileName, std::strerror(errno));
    if (static_cast<std::uint64_t>(st.st_size) > kMaxProjectFileSize)
        ThrowReadError(fileName, "too large for a project file");
    std::string data;
    data.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = read(fd.get(), data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ThrowReadError(fileName, std::strerror(errno));
        if (n == 0)
            break; // shrunk while we read: take what is there
        done += static_cast<std::size_t>(n);
    }
    data.resize(done);
    TProject project = ParseProject(data);
    project.Folder = AbsoluteFolder(fileName);
    return project;
}

TProject LoadProject(const std::string& fileName, TPictureList& pictures, TKLog* log) {
    TProject project = ReadProject(fileName);
    pictures.Clear();
    AddPictureFiles(pictures, project.Entries, log, project.Folder, &project.Skipped);
    return project;
}

std::string ProjectSaveName(const std::string& chosen) {
    return ExtractFileExt(chosen) == ".lmv" ? chosen : chosen + ".lmv";
}

std::string FormatProject(const TPictureList& pictures, const std::string& sound,
                          const std::string& output) {
    for (const std::string* path : {&sound, &output})
        if (!FitsOnOneLine(*path))
            throw Error("A project cannot hold the path " + *path);
    std::string data;
    data.append(kSoundKey).append(sound).append("\r\n");
    data.append(kOutputKey).append(output).append("\r\n");
    for (std::size_t i = 0; i < pictures.Count(); ++i) {
        const std::string& path = pictures.PicturePaths[i];
        // Only the first TAB separates path and text on reading.
        if (!FitsOnOneLine(path) || path.find('\t') != std::string::npos)
            throw Error("A project cannot hold the picture path " + path);
        data += path;
        std::string text = pictures.PictureTexts[i];
        if (text != ExtractFileName(path)) {
            for (char& c : text)
                if (c == '\r' || c == '\n')
                    c = ' ';
            data.append("\t").append(text);
        }
        data += "\r\n";
    }
    return data;
}

std::string SaveProject(const std::string& fileName, const TPictureList& pictures,
                        const std::string& sound, const std::string& output) {
    std::string name = ProjectSaveName(fileName);
    std::string data = FormatProject(pictures, sound, output);
    // QSaveFile keeps an existing project intact until the new one is completely on disk.
    QSaveFile file(QString::fromStdString(name));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(data.data(), static_cast<qint64>(data.size())) !=
            static_cast<qint64>(data.size()) ||
        !file.commit())
        throw Error("Cannot write project file " + name + ": " + file.errorString().toStdString());
    return name;
}

} // namespace lv
