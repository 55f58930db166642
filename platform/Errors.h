#pragma once

#include <cstdint>
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
// for AVI calls); unit() names the source unit that made the check ("U_BmpToAvi"...).
class EAssertionFailed : public Error {
public:
    EAssertionFailed(const std::string& message, std::string unit)
        : Error(message), m_unit(std::move(unit)) {}
    const std::string& unit() const { return m_unit; }

private:
    std::string m_unit;
};

// 8 upper-case hexadecimal digits, as result codes are shown in messages.
std::string hex8(std::uint32_t value);

} // namespace lv
