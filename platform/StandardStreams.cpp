#include "platform/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

namespace lv {

void KeepStandardStreamsOpen() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1)
            continue;
        // open() returns the lowest free number, which is fd.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened != fd && opened >= 0)
            ::close(opened);
    }
}

} // namespace lv
