#include "platform/DynLib.h"

#include <cctype>
#include <cstdlib>
#include <dlfcn.h>

namespace lv {

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

bool LibraryDisabled(const std::string& shortName) {
    const char* value = std::getenv(kDisableLibsVariable);
    if (!value)
        return false;
    const std::string list = lower(value);
    const std::string wanted = lower(shortName);
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find_first_of(", ", start);
        if (end == std::string::npos)
            end = list.size();
        if (end > start && list.compare(start, end - start, wanted) == 0 &&
            end - start == wanted.size())
            return true;
        start = end + 1;
    }
    return false;
}

std::unique_ptr<TDynLib> TDynLib::Open(const std::string& fileName, const std::string& shortName) {
    if (LibraryDisabled(shortName))
        return nullptr;
    // Local binding: two decoder libraries exporting the same name must not see each other.
    void* handle = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    return std::make_unique<TDynLib>(TKey{}, fileName, handle);
}

TDynLib::TDynLib(TKey, std::string fileName, void* handle)
    : m_fileName(std::move(fileName)), m_handle(handle) {}

TDynLib::~TDynLib() {
    ::dlclose(m_handle);
}

void* TDynLib::Symbol(const char* name) const {
    return ::dlsym(m_handle, name);
}

std::vector<void*> TDynLib::ResolveAll(const std::vector<const char*>& names,
                                       std::vector<std::string>& missing) const {
    std::vector<void*> result;
    result.reserve(names.size());
    for (const char* name : names) {
        result.push_back(Symbol(name));
        if (!result.back())
            missing.emplace_back(name);
    }
    return result;
}

std::unique_ptr<TDynLib> LoadLibraryChecked(const std::string& fileName,
                                            const std::string& shortName,
                                            const std::vector<const char*>& exports,
                                            TLibraryStatus& status) {
    status = TLibraryStatus{fileName, false, {}};
    if (LibraryDisabled(shortName)) {
        status.Problem = "disabled";
        return nullptr;
    }
    std::unique_ptr<TDynLib> lib = TDynLib::Open(fileName, shortName);
    if (!lib) {
        status.Problem = "not found";
        return nullptr;
    }
    std::vector<std::string> missing;
    lib->ResolveAll(exports, missing);
    if (!missing.empty()) {
        status.Problem = fileName + " lacks " + missing.front();
        return nullptr;
    }
    status.Available = true;
    return lib;
}

} // namespace lv
