#include "platform/NamedMutex.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

bool NamedMutexExists(const std::string& name) {
    const std::string path = NamedMutexPath(name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false; // never created: nobody holds it
    // Only an exclusive probe is refused by a shared holder too. It holds the lock for an
    // instant, as a shared probe did against an exclusive taker.
    int rc;
    do
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    const bool held = rc != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

} // namespace lv
