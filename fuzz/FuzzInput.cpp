#include "fuzz/FuzzInput.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <unistd.h>

namespace lvfuzz {

namespace {

struct TFolder {
    std::string path;
    TFolder() {
        const char* base = std::getenv("LVFUZZ_TMP");
        if (!base || !*base)
            base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/lvfuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            Broken("cannot create the input folder");
        path = pattern + "/";
    }
    ~TFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace

const std::string& InputFolder() {
    static const TFolder folder;
    return folder.path;
}

const std::string& WriteInput(const std::uint8_t* data, std::size_t size,
                              const std::string& extension) {
    static std::map<std::string, std::string> paths;
    auto [it, added] = paths.try_emplace(extension);
    if (added)
        it->second = InputFolder() + "input" + extension;
    const int fd = open(it->second.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        Broken("cannot write the input file");
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0)
            Broken("cannot write the input file");
        done += std::size_t(n);
    }
    close(fd);
    return it->second;
}

void Broken(const char* what) {
    std::fprintf(stderr, "lvfuzz: %s\n", what);
    std::abort();
}

} // namespace lvfuzz
