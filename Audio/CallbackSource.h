#pragma once

#include "Audio/WFileStream.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

namespace lv {

// A file stream that a decoder library reads through C callbacks. No exception may cross
// the library's C frames, so a failure inside a callback is kept and the callback reports
// failure; the reader rethrows it once the library call has returned.
class TCallbackSource {
public:
    explicit TCallbackSource(std::unique_ptr<TWFileStream> stream);

    // The reader's file opened for reading, after refusing with `missing` (an Error) when
    // its library is not loaded: a reader without its library never touches the file.
    static std::unique_ptr<TWFileStream> OpenFile(bool libraryLoaded, const char* missing,
                                                  const std::string& fileName);

    // Reads size x count bytes; returns the bytes read div size.
    std::size_t Read(void* buffer, std::size_t size, std::size_t count);
    // Origins 0, 1, 2: from the start, the current position, the end. Returns the new
    // position, or -1 on failure; any other origin fails with "Bad file origin".
    std::int64_t Seek(std::int64_t offset, int origin);
    // Frees the stream; 0. Reads and seeks fail afterwards.
    int Close();
    // Position, -1 once closed.
    std::int64_t Tell() const;
    // Size of the file, -1 once closed.
    std::int64_t Size() const;

    // Throws the first failure a callback met, if any, and forgets it.
    void RethrowFailure();
    bool Failed() const { return static_cast<bool>(m_failure); }

private:
    void fail(std::exception_ptr failure);

    std::unique_ptr<TWFileStream> m_stream;
    std::exception_ptr m_failure;
};

} // namespace lv
