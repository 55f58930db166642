#include "support/TempDir.h"

#include <cstdlib>
#include <stdexcept>

namespace lvtest {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "lumivane-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

} // namespace lvtest
