#pragma once

#include <cstdio>
#include <string>

namespace lv {

// Opening a file that came from outside (a picture, a project, a soundtrack, a pack, the
// settings) for reading. A pipe or a device named like a file would block the open or the
// reads for good, so only regular files are opened, and the open itself never waits.

// The descriptor, in blocking mode, or -1 with `why` set: the system's reason or "not a
// regular file". `access`: O_RDONLY, O_WRONLY or O_RDWR.
int OpenRegularFile(const std::string& path, std::string& why, int access = 0);
// The same as a stdio stream ("rb"); null with `why` set.
std::FILE* OpenRegularFileStream(const std::string& path, std::string& why);
// Whether nothing, or a regular file, has the name (what may be read or replaced freely).
bool NoneOrRegularFile(const std::string& path);

} // namespace lv
