#pragma once

// AVI files through AVIFile-style calls: a RIFF AVI writer and reader of our own.
//
// Writing produces AVI 1.0 (hdrl, movi, idx1) and, once the first RIFF reaches the RIFF
// size limit, continues in OpenDML form (AVIX RIFFs, a standard ix## index per stream
// and RIFF, an indx super index in each strl, odml/dmlh), so outputs of many GiB stay
// valid. Headers are rewritten in place when the file is finished.
//
// Reading accepts our own files and AVIs written by other programs: the index comes from
// indx/ix## (OpenDML), else from idx1 (offsets relative to movi or absolute), else from a
// scan of the movi list. A damaged or truncated file gives a result code, never a crash.
//
// Ownership: PAVIFILE and PAVISTREAM are move-only handles. A stream handle keeps its
// file's data alive, so handles may be released in any order. A file opened for writing
// is finished (headers and indexes written, file closed) when its last handle, file or
// stream, is released: the explicit Release call returns the result of finishing; a
// handle destroyed without Release finishes too, ignoring errors.
//
// Threads: no locks. One file and its streams must be used by one thread at a time;
// different files may be used from different threads at once.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lv {

using HRESULT = std::int32_t;

constexpr HRESULT MAKE_AVIERR(int error) {
    return static_cast<HRESULT>(0x80040000u | std::uint32_t(0x4000 + error));
}

constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT AVIERR_UNSUPPORTED = MAKE_AVIERR(101);    // 80044065
constexpr HRESULT AVIERR_BADFORMAT = MAKE_AVIERR(102);      // 80044066
constexpr HRESULT AVIERR_MEMORY = MAKE_AVIERR(103);         // 80044067
constexpr HRESULT AVIERR_INTERNAL = MAKE_AVIERR(104);       // 80044068
constexpr HRESULT AVIERR_BADFLAGS = MAKE_AVIERR(105);       // 80044069
constexpr HRESULT AVIERR_BADPARAM = MAKE_AVIERR(106);       // 8004406A
constexpr HRESULT AVIERR_BADSIZE = MAKE_AVIERR(107);        // 8004406B
constexpr HRESULT AVIERR_BADHANDLE = MAKE_AVIERR(108);      // 8004406C
constexpr HRESULT AVIERR_FILEREAD = MAKE_AVIERR(109);       // 8004406D
constexpr HRESULT AVIERR_FILEWRITE = MAKE_AVIERR(110);      // 8004406E
constexpr HRESULT AVIERR_FILEOPEN = MAKE_AVIERR(111);       // 8004406F
constexpr HRESULT AVIERR_COMPRESSOR = MAKE_AVIERR(112);     // 80044070
constexpr HRESULT AVIERR_NOCOMPRESSOR = MAKE_AVIERR(113);   // 80044071
constexpr HRESULT AVIERR_READONLY = MAKE_AVIERR(114);       // 80044072
constexpr HRESULT AVIERR_NODATA = MAKE_AVIERR(115);         // 80044073
constexpr HRESULT AVIERR_BUFFERTOOSMALL = MAKE_AVIERR(116); // 80044074
constexpr HRESULT AVIERR_CANTCOMPRESS = MAKE_AVIERR(117);   // 80044075
constexpr HRESULT AVIERR_USERABORT = MAKE_AVIERR(198);      // 800440C6
constexpr HRESULT AVIERR_ERROR = MAKE_AVIERR(199);          // 800440C7

// FourCC from four characters, first character in the low byte (file order).
constexpr std::uint32_t mmioFOURCC(char a, char b, char c, char d) {
    return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8 |
           std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}
// FourCC of the first four bytes of a text, padded with spaces ("xvid", "DIB ").
std::uint32_t FourCCFromText(const std::string& text);
// The four characters of a FourCC, low byte first.
std::string FourCCToText(std::uint32_t fcc);

constexpr std::uint32_t streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');
constexpr std::uint32_t streamtypeAUDIO = mmioFOURCC('a', 'u', 'd', 's');

// AVIFileOpen modes.
constexpr std::uint32_t OF_READ = 0x0000;
constexpr std::uint32_t OF_WRITE = 0x0001;
constexpr std::uint32_t OF_CREATE = 0x1000;

// Sample flags (AVIStreamWrite, index entries).
constexpr std::uint32_t AVIIF_LIST = 0x00000001;
constexpr std::uint32_t AVIIF_KEYFRAME = 0x00000010;
constexpr std::uint32_t AVIIF_NO_TIME = 0x00000100;

// AVIStreamFindSample flags. Without a direction the search goes back (FIND_PREV).
constexpr std::uint32_t FIND_NEXT = 0x0001;
constexpr std::uint32_t FIND_PREV = 0x0004;
constexpr std::uint32_t FIND_FROM_START = 0x0008;
constexpr std::uint32_t FIND_KEY = 0x0010;
constexpr std::uint32_t FIND_ANY = 0x0020;

// AVIStreamRead: as many samples as fit (or, with no buffer, the next chunk's worth).
constexpr std::int32_t AVISTREAMREAD_CONVENIENT = -1;

// avih flags.
constexpr std::uint32_t AVIF_HASINDEX = 0x00000010;
constexpr std::uint32_t AVIF_ISINTERLEAVED = 0x00000100;

struct RECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// A stream's header. Written to strh as given, except dwLength (the samples written) and
// dwSuggestedBufferSize (at least the largest sample); szName goes to strn.
// rcFrame is stored in 16-bit fields in the file.
struct AVISTREAMINFO {
    std::uint32_t fccType = 0;
    std::uint32_t fccHandler = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwCaps = 0;
    std::uint16_t wPriority = 0;
    std::uint16_t wLanguage = 0;
    std::uint32_t dwScale = 0;
    std::uint32_t dwRate = 0;
    std::uint32_t dwStart = 0;
    std::uint32_t dwLength = 0;
    std::uint32_t dwInitialFrames = 0;
    std::uint32_t dwSuggestedBufferSize = 0;
    std::uint32_t dwQuality = 0;
    std::uint32_t dwSampleSize = 0; // 0: every sample is one chunk of its own size
    RECT rcFrame;
    std::uint32_t dwEditCount = 0;
    std::uint32_t dwFormatChangeCount = 0;
    std::string szName;
};

struct AVIFILEINFO {
    std::uint32_t dwMaxBytesPerSec = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwCaps = 0;
    std::uint32_t dwStreams = 0;
    std::uint32_t dwSuggestedBufferSize = 0;
    std::uint32_t dwWidth = 0;
    std::uint32_t dwHeight = 0;
    std::uint32_t dwScale = 0; // file time unit: dwScale / dwRate seconds
    std::uint32_t dwRate = 0;
    std::uint32_t dwLength = 0; // samples of the first video stream (else the longest stream)
    std::uint32_t dwEditCount = 0;
    std::string szFileType;
};

class TAviFileHandle;
class TAviStreamHandle;
struct AviFileHandleDeleter {
    void operator()(TAviFileHandle* h) const;
};
struct AviStreamHandleDeleter {
    void operator()(TAviStreamHandle* h) const;
};
using PAVIFILE = std::unique_ptr<TAviFileHandle, AviFileHandleDeleter>;
using PAVISTREAM = std::unique_ptr<TAviStreamHandle, AviStreamHandleDeleter>;

// Library use count; balanced calls, kept for callers that follow the classic sequence.
void AVIFileInit();
void AVIFileExit();

// RIFF size at which a file being written continues in a new RIFF (OpenDML). Default
// 1 GiB, kept within 4 KiB .. 3.75 GiB. The process-wide default applies to files opened
// afterwards. A file holds at most 256 RIFFs (256 GiB at the default): a write that would
// start one more fails with AVIERR_FILEWRITE.
void AVIFileSetDefaultRiffLimit(std::uint64_t bytes);
std::uint64_t AVIFileDefaultRiffLimit();
// For one file, before its first sample is written.
HRESULT AVIFileSetRiffLimit(const PAVIFILE& file, std::uint64_t bytes);

// mode: OF_READ, or OF_WRITE | OF_CREATE (creates, or replaces once finished; see
// TRiffAviWriter). On failure file is empty. From here on, LastSystemError
// (platform/SystemError.h) tells why a call of this thread failed at the system.
HRESULT AVIFileOpen(PAVIFILE& file, const std::string& path, std::uint32_t mode);
HRESULT AVIFileInfo(const PAVIFILE& file, AVIFILEINFO& info);
// The index-th stream of type fccType (0: of any type). AVIERR_NODATA when there is none.
HRESULT AVIFileGetStream(const PAVIFILE& file, PAVISTREAM& stream, std::uint32_t fccType,
                         std::int32_t index);
HRESULT AVIFileCreateStream(const PAVIFILE& file, PAVISTREAM& stream, const AVISTREAMINFO& info);
// Releases the handle (file becomes empty); returns the result of finishing the file when
// this was its last handle.
HRESULT AVIFileRelease(PAVIFILE& file);
// The file being written is not wanted: when its last handle goes it is removed instead of
// finished, and an earlier file of its name stays as it was. No effect on a file read.
void AVIFileAbandon(const PAVIFILE& file);
// AVIFileRelease of the last handle of a file written by a run that was stopped: the file is
// finished, but takes its name only when no file has it, else PartialFileName's.
// `keptAs` receives the name it took (empty when it was not finished).
HRESULT AVIFileReleaseKeepingEarlier(PAVIFILE& file, std::string& keptAs);

HRESULT AVIStreamRelease(PAVISTREAM& stream);
HRESULT AVIStreamInfo(const PAVISTREAM& stream, AVISTREAMINFO& info);

// The format (strf payload: BITMAPINFOHEADER, WAVEFORMATEX...) is set before the stream's
// first sample; pos is ignored. Streams and formats added once the file holds samples must
// fit in the room kept for the headers (a few KiB), else AVIERR_UNSUPPORTED.
HRESULT AVIStreamSetFormat(const PAVISTREAM& stream, std::int32_t pos, const void* format,
                           std::int32_t size);
// format null: *size receives the format size. Otherwise copies min(*size, format size)
// bytes, sets *size to the bytes copied, and returns AVIERR_BUFFERTOOSMALL when it did not
// all fit.
HRESULT AVIStreamReadFormat(const PAVISTREAM& stream, std::int32_t pos, void* format,
                            std::int32_t* size);

// Writes samples at position start. Positions between the stream's end and start are
// filled with empty (zero-length) samples, not key frames in a video stream. In other
// streams every sample is indexed as a key frame, whatever flags says. With dwSampleSize 0
// one call writes one sample (samples must be 1); otherwise size must be samples *
// dwSampleSize. Writing before the current end is refused (AVIERR_UNSUPPORTED); the format
// must be set first (AVIERR_BADFORMAT). After a failed write to disk every later call on the
// file returns AVIERR_FILEWRITE, and so does the release that finishes it.
HRESULT AVIStreamWrite(const PAVISTREAM& stream, std::int32_t start, std::int32_t samples,
                       const void* data, std::int32_t size, std::uint32_t flags,
                       std::int32_t* samplesWritten = nullptr,
                       std::int32_t* bytesWritten = nullptr);

// Reads samples from position start (files opened for reading only, else
// AVIERR_UNSUPPORTED). buffer null: *bytes and *samplesRead receive the
// size needed, nothing is read. With dwSampleSize 0 one sample is read at a time.
// AVIERR_BUFFERTOOSMALL when not even one sample fits; AVIERR_NODATA when start lies
// outside the stream; AVIERR_FILEREAD when the data cannot be read.
HRESULT AVIStreamRead(const PAVISTREAM& stream, std::int32_t start, std::int32_t samples,
                      void* buffer, std::int32_t bufferSize, std::int32_t* bytes,
                      std::int32_t* samplesRead);

// First position and number of samples; -1 for an empty handle. The number stops where a
// position would no longer fit a signed 32-bit number (so does AVISTREAMINFO's and
// AVIFILEINFO's dwLength of a file read).
std::int32_t AVIStreamStart(const PAVISTREAM& stream);
std::int32_t AVIStreamLength(const PAVISTREAM& stream);
// Position of the sample found from pos by flags (direction FIND_PREV/FIND_NEXT/
// FIND_FROM_START, type FIND_KEY/FIND_ANY (a non-empty sample)); -1 when none.
std::int32_t AVIStreamFindSample(const PAVISTREAM& stream, std::int32_t pos, std::uint32_t flags);
bool AVIStreamIsKeyFrame(const PAVISTREAM& stream, std::int32_t pos);
// Key frame before pos (not at it); -1 when none.
std::int32_t AVIStreamPrevKeyFrame(const PAVISTREAM& stream, std::int32_t pos);

} // namespace lv
