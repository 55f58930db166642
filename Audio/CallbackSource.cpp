#include "Audio/CallbackSource.h"

#include "platform/Errors.h"

#include <limits>
#include <utility>

namespace lv {

TCallbackSource::TCallbackSource(std::unique_ptr<TWFileStream> stream)
    : m_stream(std::move(stream)) {}

std::unique_ptr<TWFileStream> TCallbackSource::OpenFile(bool libraryLoaded, const char* missing,
                                                        const std::string& fileName) {
    if (!libraryLoaded)
        throw Error(missing);
    return std::make_unique<TWFileStream>(fileName,
                                          TWFileStream::fmOpenRead | TWFileStream::fmShareDenyNone);
}

void TCallbackSource::fail(std::exception_ptr failure) {
    if (!m_failure)
        m_failure = std::move(failure);
}

std::size_t TCallbackSource::Read(void* buffer, std::size_t size, std::size_t count) {
    if (!m_stream || size == 0 || count == 0)
        return 0;
    const std::size_t limit = std::size_t(std::numeric_limits<std::int64_t>::max());
    if (count > limit / size)
        count = limit / size;
    try {
        return std::size_t(m_stream->Read(buffer, std::int64_t(size * count))) / size;
    } catch (...) {
        fail(std::current_exception());
        return 0;
    }
}

std::int64_t TCallbackSource::Seek(std::int64_t offset, int origin) {
    if (origin < TWFileStream::soBeginning || origin > TWFileStream::soEnd) {
        fail(std::make_exception_ptr(Error("Bad file origin")));
        return -1;
    }
    if (!m_stream)
        return -1;
    try {
        return m_stream->Seek(offset, TWFileStream::TSeekOrigin(origin));
    } catch (...) {
        // A position before the start: the decoders probe with such seeks and expect -1.
        return -1;
    }
}

int TCallbackSource::Close() {
    m_stream.reset();
    return 0;
}

std::int64_t TCallbackSource::Tell() const {
    return m_stream ? m_stream->Position() : -1;
}

std::int64_t TCallbackSource::Size() const {
    if (!m_stream)
        return -1;
    try {
        return m_stream->Size();
    } catch (...) {
        return -1;
    }
}

void TCallbackSource::RethrowFailure() {
    if (m_failure)
        std::rethrow_exception(std::exchange(m_failure, nullptr));
}

} // namespace lv
