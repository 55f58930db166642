#pragma once

#include <string>

namespace lv {

// A named mutex between processes: a lock file "<name>.lock" in the user's runtime folder
// ($XDG_RUNTIME_DIR, else a folder of the user's own in /tmp), held with flock(2). The lock goes
// with its holder, also when that process dies, so a stale file never counts as held.

// Path of the lock file that stands for the mutex `name`.
std::string NamedMutexPath(const std::string& name);

// Whether another process (or another holder in this one) holds the mutex, with a shared or
// an exclusive lock.
bool NamedMutexExists(const std::string& name);

// Holds the mutex for its lifetime; Held() is false when another holder has it.
class TNamedMutex {
public:
    explicit TNamedMutex(const std::string& name);
    ~TNamedMutex();
    TNamedMutex(const TNamedMutex&) = delete;
    TNamedMutex& operator=(const TNamedMutex&) = delete;
    bool Held() const { return m_held; }

private:
    int m_fd = -1;
    bool m_held = false;
};

} // namespace lv
