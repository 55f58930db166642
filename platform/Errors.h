#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

namespace lv {

// Every failure of the program travels as an Error carrying the program's English message;
// only the window or the command line shows it.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A checked platform call that failed. The message is the fixed text (with the result code
// for AVI calls); unit() names the source unit that made the check ("U_BmpToAvi"...) and
// line() the check's fixed tag within it, 0 when the unit tags none.
class EAssertionFailed : public Error {
public:
    EAssertionFailed(const std::string& message, std::string unit, int line = 0)
        : Error(message), m_unit(std::move(unit)), m_line(line) {}
    const std::string& unit() const { return m_unit; }
    int line() const { return m_line; }

private:
    std::string m_unit;
    int m_line;
};

// "U_BmpToAvi, line 304", "U_MuxThd" without a line; empty without a unit.
std::string ErrorLocation(const std::string& unit, int line);

// The message with the failed check's location after it, as the window shows it:
// "FileOpen failed. Err: $8004406F (U_BmpToAvi, line 304)". Any other exception says only
// that an internal error stopped the action (or "Out of memory").
std::string ErrorWithLocation(const std::exception& e);

// 8 upper-case hexadecimal digits, as result codes are shown in messages.
std::string hex8(std::uint32_t value);

} // namespace lv
