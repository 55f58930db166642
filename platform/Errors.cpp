#include "platform/Errors.h"

#include <cstdio>

namespace lv {

std::string hex8(std::uint32_t value) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", value);
    return buf;
}

std::string ErrorLocation(const std::string& unit, int line) {
    if (unit.empty())
        return {};
    return line > 0 ? unit + ", line " + std::to_string(line) : unit;
}

std::string ErrorWithLocation(const std::exception& e) {
    const auto* failed = dynamic_cast<const EAssertionFailed*>(&e);
    const std::string location = failed ? ErrorLocation(failed->unit(), failed->line()) : "";
    return location.empty() ? e.what() : e.what() + (" (" + location + ")");
}

} // namespace lv
