#include "platform/SystemError.h"

#include <cstring>

namespace lv {

namespace {
thread_local std::string t_lastError;
}

std::string LastSystemError() {
    return t_lastError;
}

void SetLastSystemError(const std::string& path, int error) {
    t_lastError = std::string(std::strerror(error)) + ": \"" + path + "\"";
}

void SetLastSystemError(std::string text) {
    t_lastError = std::move(text);
}

void ClearLastSystemError() {
    t_lastError.clear();
}

std::string WithSystemError(const std::string& message) {
    return t_lastError.empty() ? message : message + ". " + t_lastError;
}

} // namespace lv
