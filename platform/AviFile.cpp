#include "platform/AviFile.h"

#include "platform/RiffAvi.h"
#include "platform/SystemError.h"

#include <atomic>
#include <limits>

namespace lv {

namespace {

std::atomic<std::uint64_t> g_defaultRiffLimit{std::uint64_t(1) << 30};
std::atomic<int> g_initCount{0};

} // namespace

// What the handles of one open file share. The file is finished when the last handle goes.
struct TAviFileState {
    std::unique_ptr<TRiffAviReader> reader;
    std::unique_ptr<TRiffAviWriter> writer;
    int handles = 0;

    const std::vector<TAviStreamData>& streams() const {
        return reader ? reader->streams() : writer->streams();
    }
    HRESULT dropHandle() {
        if (--handles > 0)
            return AVIERR_OK;
        return writer ? writer->finish() : AVIERR_OK;
    }
};

class TAviFileHandle {
public:
    explicit TAviFileHandle(std::shared_ptr<TAviFileState> s) : state(std::move(s)) {
        ++state->handles;
    }
    HRESULT release() { return state->dropHandle(); }
    std::shared_ptr<TAviFileState> state;
};

class TAviStreamHandle {
public:
    TAviStreamHandle(std::shared_ptr<TAviFileState> s, std::size_t i)
        : state(std::move(s)), index(i) {
        ++state->handles;
    }
    HRESULT release() { return state->dropHandle(); }
    const TAviStreamData& data() const { return state->streams()[index]; }
    std::shared_ptr<TAviFileState> state;
    std::size_t index;
};

void AviFileHandleDeleter::operator()(TAviFileHandle* h) const {
    // Errors of finishing cannot be reported from here; AVIFileRelease reports them.
    h->release();
    delete h;
}

void AviStreamHandleDeleter::operator()(TAviStreamHandle* h) const {
    h->release();
    delete h;
}

std::uint32_t FourCCFromText(const std::string& text) {
    std::string t = text.substr(0, 4);
    t.resize(4, ' ');
    return mmioFOURCC(t[0], t[1], t[2], t[3]);
}

std::string FourCCToText(std::uint32_t fcc) {
    std::string t(4, ' ');
    for (int i = 0; i < 4; ++i)
        t[std::size_t(i)] = char(fcc >> (8 * i) & 0xFF);
    return t;
}

void AVIFileInit() {
    ++g_initCount;
}

void AVIFileExit() {
    if (g_initCount > 0)
        --g_initCount;
}

void AVIFileSetDefaultRiffLimit(std::uint64_t bytes) {
    g_defaultRiffLimit = bytes;
}

std::uint64_t AVIFileDefaultRiffLimit() {
    return g_defaultRiffLimit;
}

HRESULT AVIFileSetRiffLimit(const PAVIFILE& file, std::uint64_t bytes) {
    if (!file)
        return AVIERR_BADHANDLE;
    if (!file->state->writer)
        return AVIERR_READONLY;
    return file->state->writer->setRiffLimit(bytes);
}

HRESULT AVIFileOpen(PAVIFILE& file, const std::string& path, std::uint32_t mode) {
    file.reset();
    ClearLastSystemError();
    auto state = std::make_shared<TAviFileState>();
    if (mode & OF_CREATE) {
        if (!(mode & OF_WRITE))
            return AVIERR_BADFLAGS;
        auto writer = std::make_unique<TRiffAviWriter>(g_defaultRiffLimit.load());
        if (HRESULT hr = writer->create(path); hr != AVIERR_OK)
            return hr;
        writer->setRiffLimit(g_defaultRiffLimit.load());
        state->writer = std::move(writer);
    } else if (mode & (OF_WRITE | 0x0002)) {
        // Editing an existing file in place is not offered.
        return AVIERR_UNSUPPORTED;
    } else {
        auto reader = std::make_unique<TRiffAviReader>();
        try {
            if (HRESULT hr = reader->open(path); hr != AVIERR_OK)
                return hr;
        } catch (const std::bad_alloc&) {
            return AVIERR_MEMORY;
        }
        state->reader = std::move(reader);
    }
    file.reset(new TAviFileHandle(std::move(state)));
    return AVIERR_OK;
}

HRESULT AVIFileInfo(const PAVIFILE& file, AVIFILEINFO& info) {
    if (!file)
        return AVIERR_BADHANDLE;
    const auto& st = *file->state;
    info = st.reader ? st.reader->fileInfo() : st.writer->fileInfo();
    return AVIERR_OK;
}

HRESULT AVIFileGetStream(const PAVIFILE& file, PAVISTREAM& stream, std::uint32_t fccType,
                         std::int32_t index) {
    stream.reset();
    if (!file)
        return AVIERR_BADHANDLE;
    if (index < 0)
        return AVIERR_BADPARAM;
    const auto& streams = file->state->streams();
    std::int32_t seen = 0;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        if (fccType && streams[i].info.fccType != fccType)
            continue;
        if (seen++ == index) {
            stream.reset(new TAviStreamHandle(file->state, i));
            return AVIERR_OK;
        }
    }
    return AVIERR_NODATA;
}

HRESULT AVIFileCreateStream(const PAVIFILE& file, PAVISTREAM& stream, const AVISTREAMINFO& info) {
    stream.reset();
    if (!file)
        return AVIERR_BADHANDLE;
    if (!file->state->writer)
        return AVIERR_READONLY;
    std::size_t index = 0;
    if (HRESULT hr = file->state->writer->createStream(info, index); hr != AVIERR_OK)
        return hr;
    stream.reset(new TAviStreamHandle(file->state, index));
    return AVIERR_OK;
}

void AVIFileAbandon(const PAVIFILE& file) {
    if (file && file->state->writer)
        file->state->writer->abandon();
}

HRESULT AVIFileReleaseKeepingEarlier(PAVIFILE& file, std::string& keptAs) {
    keptAs.clear();
    if (!file)
        return AVIERR_BADHANDLE;
    TRiffAviWriter* writer = file->state->writer.get();
    if (writer)
        writer->keepEarlier();
    const HRESULT hr = file->release();
    if (writer)
        keptAs = writer->finalPath();
    delete file.release();
    return hr;
}

HRESULT AVIFileRelease(PAVIFILE& file) {
    if (!file)
        return AVIERR_BADHANDLE;
    const HRESULT hr = file->release();
    delete file.release();
    return hr;
}

HRESULT AVIStreamRelease(PAVISTREAM& stream) {
    if (!stream)
        return AVIERR_BADHANDLE;
    const HRESULT hr = stream->release();
    delete stream.release();
    return hr;
}

HRESULT AVIStreamInfo(const PAVISTREAM& stream, AVISTREAMINFO& info) {
    if (!stream)
        return AVIERR_BADHANDLE;
    const TAviStreamData& s = stream->data();
    info = s.info;
    info.dwLength = std::uint32_t(s.addressableLength());
    return AVIERR_OK;
}

HRESULT AVIStreamSetFormat(const PAVISTREAM& stream, std::int32_t, const void* format,
                           std::int32_t size) {
    if (!stream)
        return AVIERR_BADHANDLE;
    if (!stream->state->writer)
        return AVIERR_READONLY;
    return stream->state->writer->setFormat(stream->index, format, size);
}

HRESULT AVIStreamReadFormat(const PAVISTREAM& stream, std::int32_t, void* format,
                            std::int32_t* size) {
    if (!stream)
        return AVIERR_BADHANDLE;
    return stream->data().readFormat(format, size);
}

HRESULT AVIStreamWrite(const PAVISTREAM& stream, std::int32_t start, std::int32_t samples,
                       const void* data, std::int32_t size, std::uint32_t flags,
                       std::int32_t* samplesWritten, std::int32_t* bytesWritten) {
    if (!stream)
        return AVIERR_BADHANDLE;
    if (!stream->state->writer)
        return AVIERR_READONLY;
    try {
        return stream->state->writer->write(stream->index, start, samples, data, size, flags,
                                            samplesWritten, bytesWritten);
    } catch (const std::bad_alloc&) {
        return AVIERR_MEMORY;
    }
}

HRESULT AVIStreamRead(const PAVISTREAM& stream, std::int32_t start, std::int32_t samples,
                      void* buffer, std::int32_t bufferSize, std::int32_t* bytes,
                      std::int32_t* samplesRead) {
    if (!stream)
        return AVIERR_BADHANDLE;
    // A file being written is not read back through the same handles.
    if (!stream->state->reader)
        return AVIERR_UNSUPPORTED;
    return stream->state->reader->read(stream->index, start, samples, buffer, bufferSize, bytes,
                                       samplesRead);
}

std::int32_t AVIStreamStart(const PAVISTREAM& stream) {
    if (!stream)
        return -1;
    return std::int32_t(stream->data().info.dwStart);
}

std::int32_t AVIStreamLength(const PAVISTREAM& stream) {
    if (!stream)
        return -1;
    return std::int32_t(stream->data().addressableLength());
}

std::int32_t AVIStreamFindSample(const PAVISTREAM& stream, std::int32_t pos, std::uint32_t flags) {
    if (!stream)
        return -1;
    std::int32_t found = -1;
    stream->data().findSample(pos, flags, found);
    return found;
}

bool AVIStreamIsKeyFrame(const PAVISTREAM& stream, std::int32_t pos) {
    if (!stream)
        return false;
    const TAviStreamData& s = stream->data();
    const std::int64_t entry = s.entryOf(std::int64_t(pos) - s.info.dwStart);
    return entry >= 0 && s.isKey(entry);
}

std::int32_t AVIStreamPrevKeyFrame(const PAVISTREAM& stream, std::int32_t pos) {
    if (pos == std::numeric_limits<std::int32_t>::min())
        return -1;
    return AVIStreamFindSample(stream, pos - 1, FIND_PREV | FIND_KEY);
}

} // namespace lv
