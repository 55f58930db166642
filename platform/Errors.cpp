#include "platform/Errors.h"

#include <cstdio>

namespace lv {

std::string hex8(std::uint32_t value) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", value);
    return buf;
}

} // namespace lv
