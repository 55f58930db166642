#include "platform/NamedMutex.h"

#include <gtest/gtest.h>

#include <csignal>
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
