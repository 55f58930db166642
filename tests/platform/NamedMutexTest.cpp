#include "platform/NamedMutex.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(NamedMutex, HeldByAnotherProcessUntilItEnds) {
    const std::string name = "LUMIVANE_TEST_" + std::to_string(getpid());
    EXPECT_FALSE(lv::NamedMutexExists(name));
    // Another program takes the lock the way a tool of its own would: flock(1).
    const std::string path = lv::NamedMutexPath(name);
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0); // flock and its command die together
        // -o: the lock stays with flock itself, not with the command it runs.
        execlp("flock", "flock", "-o", path.c_str(), "sleep", "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    bool held = false;
    for (int i = 0; i < 200 && !held; ++i) {
        usleep(10000);
        held = lv::NamedMutexExists(name);
    }
    EXPECT_TRUE(held);
    {
        lv::TNamedMutex mine(name);
        EXPECT_FALSE(mine.Held());
    }
    kill(-child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(lv::NamedMutexExists(name)) << "a dead holder holds nothing";
    lv::TNamedMutex mine(name);
    EXPECT_TRUE(mine.Held());
    EXPECT_TRUE(lv::NamedMutexExists(name)) << "seen by others while held";
    unlink(path.c_str());
}

// Whatever kind of lock a burner takes, it is running while it holds it: another process's
// lock, and one on a second open file description of this process (flock locks belong to
// those, so this one conflicts like another process's would).
TEST(NamedMutex, AnyHolderCountsSharedOrExclusive) {
    const std::string name = "LUMIVANE_TEST_KINDS_" + std::to_string(getpid());
    const std::string path = lv::NamedMutexPath(name);
    const struct {
        const char* holder;
        int kind;
        bool forked;
    } cases[] = {
        {"shared, another process", LOCK_SH, true},
        {"exclusive, another process", LOCK_EX, true},
        {"shared, this process", LOCK_SH, false},
        {"exclusive, this process", LOCK_EX, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.holder);
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        pid_t child = -1;
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        if (c.forked) {
            child = fork();
            if (child == 0) {
                // Only the child's lock may count: the parent's descriptor holds none.
                const int own = open(path.c_str(), O_RDWR | O_CLOEXEC);
                const char ok = own >= 0 && flock(own, c.kind) == 0 ? '1' : '0';
                (void)!write(ready[1], &ok, 1);
                pause();
                _exit(0);
            }
            char ok = 0;
            ASSERT_EQ(read(ready[0], &ok, 1), 1);
            ASSERT_EQ(ok, '1');
        } else {
            ASSERT_EQ(flock(fd, c.kind), 0);
        }
        EXPECT_TRUE(lv::NamedMutexExists(name));
        EXPECT_FALSE(lv::TNamedMutex(name).Held()) << "the holder keeps it";
        if (c.forked) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        } else {
            flock(fd, LOCK_UN);
        }
        EXPECT_FALSE(lv::NamedMutexExists(name)) << "released";
        close(ready[0]);
        close(ready[1]);
        close(fd);
    }
    unlink(path.c_str());
}
