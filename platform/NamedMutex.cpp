#include "platform/NamedMutex.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace lv {

std::string NamedMutexPath(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder;
    if (runtime && *runtime) {
        folder = runtime;
    } else {
        // One folder per user: another user's lock must not hold this one's burner.
        folder = "/tmp/lumivane-runtime-" + std::to_string(getuid());
        ::mkdir(folder.c_str(), 0700);
    }
    if (folder.back() != '/')
        folder += '/';
    return folder + name + ".lock";
}

TNamedMutex::TNamedMutex(const std::string& name) {
    m_fd = ::open(NamedMutexPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return;
    int rc;
    do
        rc = ::flock(m_fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    m_held = rc == 0;
}

TNamedMutex::~TNamedMutex() {
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

namespace {

// Whether the system's lock table lists a holder, shared or exclusive, of the file. Looking
// takes no lock, so it cannot make a burner that is starting think another one runs.
// Empty when the table cannot be read.
std::optional<bool> listedAsLocked(const struct stat& file) {
    std::ifstream table("/proc/locks");
    if (!table)
        return std::nullopt;
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, id;
        fields >> number >> kind;
        if (kind == "->")
            continue; // waiting for the lock, not holding it
        fields >> mode >> access >> pid >> id;
        unsigned devMajor = 0, devMinor = 0;
        unsigned long long inode = 0;
        if (kind == "FLOCK" &&
            std::sscanf(id.c_str(), "%x:%x:%llu", &devMajor, &devMinor, &inode) == 3 &&
            inode == file.st_ino && devMajor == major(file.st_dev) &&
            devMinor == minor(file.st_dev))
            return true;
    }
    return false;
}

} // namespace

bool NamedMutexExists(const std::string& name) {
    const std::string path = NamedMutexPath(name);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false; // never created: nobody holds it
    if (const auto listed = listedAsLocked(st))
        return *listed;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Without the table: only an exclusive probe is refused by a shared holder too.
    int rc;
    do
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    const bool held = rc != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

} // namespace lv
