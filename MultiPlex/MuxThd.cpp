#include "MultiPlex/MuxThd.h"

#include "MultiPlex/MP3FrameExtract.h"
#include "platform/AviFile.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/RegularFile.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace lv {

namespace {

const char* const kUnit = "U_MuxThd";

void Check(HRESULT result, const char* text) {
    if (result != AVIERR_OK)
        throw EAssertionFailed(WithSystemError(text + hex8(static_cast<std::uint32_t>(result))),
                               kUnit);
}

struct AviLibrary {
    AviLibrary() { AVIFileInit(); }
    ~AviLibrary() { AVIFileExit(); }
};

// The soundtrack, read frame by frame at the offsets the scan listed.
class TSoundtrack {
public:
    explicit TSoundtrack(const std::string& fileName) : m_fileName(fileName) {
        std::string why;
        m_fd = OpenRegularFile(fileName, why);
        if (m_fd < 0)
            throw Error("Cannot open file \"" + fileName + "\". " + why);
    }
    ~TSoundtrack() { ::close(m_fd); }
    TSoundtrack(const TSoundtrack&) = delete;
    TSoundtrack& operator=(const TSoundtrack&) = delete;

    void Read(std::int64_t offset, std::uint8_t* buffer, std::size_t size) {
        std::size_t done = 0;
        while (done < size) {
            ssize_t n = ::pread(m_fd, buffer + done, size - done, offset + std::int64_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (n == 0)
                    errno = ENODATA; // the file shrank since the scan
                Fail("Cannot read file");
            }
            done += std::size_t(n);
        }
    }

private:
    [[noreturn]] void Fail(const char* what) const {
        throw Error(std::string(what) + " \"" + m_fileName + "\". " + std::strerror(errno));
    }

    std::string m_fileName;
    int m_fd = -1;
};

} // namespace

int Mp3SamplesPerFrame(const TMP3FrameExtract& frames) {
    const auto& first = frames.Reference();
    if (first && first->LayerIndex() == 2 && !(first->IsMpeg1() && !first->IsMpeg25()))
        return 576;
    return 1152;
}

MPEGLAYER3WAVEFORMAT Mp3WaveFormat(const TMP3FrameExtract& frames) {
    MPEGLAYER3WAVEFORMAT format;
    format.nChannels = static_cast<std::uint16_t>(frames.Channels());
    format.nSamplesPerSec = static_cast<std::uint32_t>(frames.SampleRate());
    format.nAvgBytesPerSec = static_cast<std::uint32_t>(frames.Bitrate() / 8);
    format.nBlockAlign = static_cast<std::uint16_t>(Mp3SamplesPerFrame(frames));
    return format;
}

TMuxThd::TMuxThd(QObject* parent) : TWorkerThread(parent) {}

// The worker uses the file names, the callbacks and the state: it ends before they go.
TMuxThd::~TMuxThd() {
    StopAndWait();
}

int TMuxThd::Position() const {
    std::lock_guard lock(m_stateMutex);
    return m_position;
}

int TMuxThd::Max() const {
    std::lock_guard lock(m_stateMutex);
    return m_max;
}

std::string TMuxThd::Text() const {
    std::lock_guard lock(m_stateMutex);
    return m_text;
}

std::string TMuxThd::ErrorFile() const {
    std::lock_guard lock(m_stateMutex);
    return m_errorFile;
}

void TMuxThd::LogMessage(const std::string& message) {
    {
        std::lock_guard lock(m_stateMutex);
        m_text = message;
        m_position = 0;
        m_max = 0;
    }
    m_lastReported = -1; // a new phase: its first progress is always shown
    // The steps are detail for a verbose log; the run logs what the user needs.
    if (OnLog)
        Synchronize([&] { OnLog(message, 0); });
}

void TMuxThd::SetProgress(int position, int max) {
    std::string text;
    {
        std::lock_guard lock(m_stateMutex);
        m_position = position;
        m_max = max;
        text = m_text;
    }
    // A bar cannot show more than about a thousand steps; each call makes the worker wait
    // for the main thread, so only changes it can show are sent.
    const int permille = max > 0 ? static_cast<int>(std::int64_t(position) * 1000 / max) : 0;
    if (permille == m_lastReported)
        return;
    m_lastReported = permille;
    if (OnProgress)
        Synchronize([&] { OnProgress(position, max, text); });
}

void TMuxThd::ScanProgress(std::uint8_t percent) {
    SetProgress(percent, 100);
}

void TMuxThd::run() {
    m_audioFrames = 0;
    m_aborted = false;
    m_failed = false;
    ClearError();
    {
        std::lock_guard lock(m_stateMutex);
        m_errorFile.clear();
    }
    try {
        Execute();
        return;
    } catch (const std::exception& e) {
        SetError(e);
    }
    {
        std::lock_guard lock(m_stateMutex);
        m_errorFile = m_currentFile;
    }
    m_failed = true;
    if (OnLog) {
        const std::string message = ErrorMessage();
        Synchronize([&] { OnLog(message, 2); });
    }
}

void TMuxThd::Execute() {
    LogMessage("Audio : " + AudioFile);
    LogMessage("Video : " + VideoFile);
    LogMessage("Output : " + OutputFile);
    LogMessage("Loading MP3 file");

    m_currentFile = AudioFile;
    TMP3FrameExtract frames(AudioFile);
    frames.OnScanProgress = [this](std::uint8_t percent) { ScanProgress(percent); };
    frames.OnCheckCancel = [this] { return isInterruptionRequested(); };
    frames.Scan();
    // A last frame cut off by the end of the file is not copied.
    const int audioFrames = frames.CompleteFrames();
    m_audioFrames = audioFrames;
    LogMessage("MP3 file succesfully loaded (" + std::to_string(audioFrames) + " frames)");

    AviLibrary library;
    PAVIFILE source;
    PAVIFILE target;
    m_currentFile = VideoFile;
    Check(AVIFileOpen(source, VideoFile, OF_READ), "FileOpen failed. Err: $");
    m_currentFile = OutputFile;
    // Creating the output would truncate the video being copied.
    if (SameFile(VideoFile, OutputFile))
        Check(AVIERR_FILEOPEN, "FileOpen failed. Err: $");
    Check(AVIFileOpen(target, OutputFile, OF_WRITE | OF_CREATE), "FileOpen failed. Err: $");

    m_currentFile = VideoFile;
    AVIFILEINFO fileInfo;
    Check(AVIFileInfo(source, fileInfo), "FileInfo failed. Err: $");
    PAVISTREAM videoIn;
    Check(AVIFileGetStream(source, videoIn, streamtypeVIDEO, 0), "GetStream failed. Err: $");
    AVISTREAMINFO videoInfo;
    Check(AVIStreamInfo(videoIn, videoInfo), "StreamInfo failed. Err: $");
    m_currentFile = OutputFile;
    PAVISTREAM videoOut;
    Check(AVIFileCreateStream(target, videoOut, videoInfo), "CreateStream failed. Err: $");

    // The whole format: some compressors put their extradata after the bitmap header.
    m_currentFile = VideoFile;
    std::int32_t formatSize = 0;
    Check(AVIStreamReadFormat(videoIn, 0, nullptr, &formatSize), "StreamReadFormat failed. Err: $");
    std::vector<std::uint8_t> format(std::max<std::int32_t>(formatSize, 1));
    Check(AVIStreamReadFormat(videoIn, 0, format.data(), &formatSize),
          "StreamReadFormat failed. Err: $");
    m_currentFile = OutputFile;
    Check(AVIStreamSetFormat(videoOut, 0, format.data(), formatSize),
          "StreamSetFormat failed. Err: $");

    // Without a single frame there is no rate to declare, and readers refuse a whole file
    // whose audio stream has rate 0: the output then holds the video alone.
    PAVISTREAM audioOut;
    if (frames.SampleRate() > 0) {
        AVISTREAMINFO audioInfo;
        audioInfo.fccType = streamtypeAUDIO;
        audioInfo.dwScale = static_cast<std::uint32_t>(Mp3SamplesPerFrame(frames));
        audioInfo.dwRate = static_cast<std::uint32_t>(frames.SampleRate());
        Check(AVIFileCreateStream(target, audioOut, audioInfo), "CreateStream failed. Err: $");
        const MPEGLAYER3WAVEFORMAT waveFormat = Mp3WaveFormat(frames);
        Check(AVIStreamSetFormat(audioOut, 0, &waveFormat, sizeof waveFormat),
              "StreamSetFormat failed. Err: $");
    }

    LogMessage("Adding Video Stream");
    const std::int32_t first = std::max(AVIStreamStart(videoIn), 0);
    const auto length = static_cast<std::int32_t>(fileInfo.dwLength);
    SetProgress(0, length);
    std::vector<std::uint8_t> buffer(1);
    for (std::int32_t i = 0; i < length; ++i) {
        if (isInterruptionRequested())
            break;
        const std::int32_t pos = first + i;
        m_currentFile = VideoFile;
        std::int32_t bytes = 0;
        std::int32_t samples = 0;
        Check(AVIStreamRead(videoIn, pos, 1, nullptr, 0, &bytes, &samples),
              "StreamRead failed. Err: $");
        if (std::size_t(bytes) > buffer.size())
            buffer.resize(std::size_t(bytes));
        if (bytes > 0)
            Check(AVIStreamRead(videoIn, pos, 1, buffer.data(), bytes, &bytes, &samples),
                  "StreamRead failed. Err: $");
        const bool key = AVIStreamFindSample(videoIn, pos, FIND_KEY) == pos;
        m_currentFile = OutputFile;
        Check(AVIStreamWrite(videoOut, pos, 1, buffer.data(), bytes, key ? AVIIF_KEYFRAME : 0),
              "StreamWrite failed. Err: $");
        SetProgress(i + 1, length);
    }

    LogMessage("Adding Audio Stream");
    m_currentFile = AudioFile;
    TSoundtrack soundtrack(AudioFile);
    SetProgress(0, audioFrames);
    for (int k = 0; k < audioFrames; ++k) {
        if (isInterruptionRequested())
            break;
        const std::int64_t start = frames.FrameStart(k);
        const auto size = static_cast<std::int32_t>(frames.FrameEnd(k) - start);
        if (std::size_t(size) > buffer.size())
            buffer.resize(std::size_t(size));
        m_currentFile = AudioFile;
        soundtrack.Read(start, buffer.data(), std::size_t(size));
        m_currentFile = OutputFile;
        Check(AVIStreamWrite(audioOut, k, 1, buffer.data(), size, AVIIF_KEYFRAME),
              "StreamWrite failed. Err: $");
        SetProgress(k + 1, audioFrames);
    }

    // A join cut short never takes the output's name: the picture track stays in VideoFile.
    const bool cancelled = isInterruptionRequested();
    if (cancelled)
        AVIFileAbandon(target);
    AVIStreamRelease(audioOut);
    AVIStreamRelease(videoIn);
    AVIStreamRelease(videoOut);
    AVIFileRelease(source);
    // The last handle of the output finishes it on disk: headers and index.
    m_currentFile = OutputFile;
    Check(AVIFileRelease(target), "FileRelease failed. Err: $");

    if (!cancelled)
        LogMessage("Done");
    m_aborted = cancelled;
}

} // namespace lv
