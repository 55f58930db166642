#pragma once

#include <memory>
#include <string>
#include <vector>

namespace lv {

// Environment variable listing libraries to treat as absent, by short name, separated by
// commas or spaces: LUMIVANE_DISABLE_LIBS="vorbisfile,a52". Short names are the file name
// without "lib" and version: ogg, vorbis, vorbisfile, avutil, avcodec, avformat, a52, mpcdec.
inline constexpr const char* kDisableLibsVariable = "LUMIVANE_DISABLE_LIBS";

// True when the environment variable names the library (letter case ignored). Read anew on
// every call.
bool LibraryDisabled(const std::string& shortName);

// A shared library opened with dlopen and closed when the object dies. Symbols stay valid
// only as long as the object lives: whoever keeps a pointer keeps the library.
class TDynLib {
public:
    // Null when the library cannot be loaded or the environment disables it; never throws.
    static std::unique_ptr<TDynLib> Open(const std::string& fileName, const std::string& shortName);
    ~TDynLib();
    TDynLib(const TDynLib&) = delete;
    TDynLib& operator=(const TDynLib&) = delete;

    const std::string& FileName() const { return m_fileName; }
    // Address of an export, nullptr when the library has none of that name.
    void* Symbol(const char* name) const;
    // Resolves `name` into `fn`; false (fn null) when missing.
    template <class F> bool Resolve(F& fn, const char* name) const {
        fn = reinterpret_cast<F>(Symbol(name));
        return fn != nullptr;
    }
    // Addresses of every name, in order. Names that are missing are appended to `missing`.
    std::vector<void*> ResolveAll(const std::vector<const char*>& names,
                                  std::vector<std::string>& missing) const;

private:
    struct TKey {
        explicit TKey() = default;
    };

public:
    // Only Open makes one (the key is private): takes over a dlopen handle.
    TDynLib(TKey, std::string fileName, void* handle);

private:
    std::string m_fileName;
    void* m_handle;
};

// What happened to one library at start-up, for the log and the command line.
struct TLibraryStatus {
    std::string FileName;
    bool Available = false;
    // Empty when loaded, else why not: "not found", "disabled", or the failed check
    // "<file> lacks <export>".
    std::string Problem;
};

// Loads a library and checks that it has every export named. Null when the library is
// absent, disabled, or lacks an export (the failed check is put in status.Problem and the
// library is released). status.FileName is always set.
std::unique_ptr<TDynLib> LoadLibraryChecked(const std::string& fileName,
                                            const std::string& shortName,
                                            const std::vector<const char*>& exports,
                                            TLibraryStatus& status);

} // namespace lv
