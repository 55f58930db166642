#include "platform/Errors.h"

#include <cstdio>
#include <new>

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
    // A library's own text ("vector::_M_range_check...") means nothing to the user.
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return "Out of memory";
    if (!dynamic_cast<const Error*>(&e))
        return "An internal error has occurred: the last action was not completed.";
    const auto* failed = dynamic_cast<const EAssertionFailed*>(&e);
    const std::string location = failed ? ErrorLocation(failed->unit(), failed->line()) : "";
    return location.empty() ? e.what() : e.what() + (" (" + location + ")");
}

} // namespace lv
