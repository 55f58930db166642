#include "MultiPlex/MuxThd.h"

#include "MultiPlex/ContainerWriter.h"
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
#include <optional>
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

// The picture track being copied: its stream's header and whole format (some compressors
// put their extradata after the bitmap header), and its samples with their key flags. Sets
// the file a failure is reported on.
class TMuxThd::VideoSource {
public:
    VideoSource(const std::string& file, std::string& currentFile)
        : m_file(file), m_currentFile(currentFile) {
        m_currentFile = m_file;
        Check(AVIFileOpen(m_source, m_file, OF_READ), "FileOpen failed. Err: $");
    }

    void ReadStream() {
        m_currentFile = m_file;
        AVIFILEINFO fileInfo;
        Check(AVIFileInfo(m_source, fileInfo), "FileInfo failed. Err: $");
        Check(AVIFileGetStream(m_source, m_stream, streamtypeVIDEO, 0), "GetStream failed. Err: $");
        Check(AVIStreamInfo(m_stream, Info), "StreamInfo failed. Err: $");
        std::int32_t formatSize = 0;
        Check(AVIStreamReadFormat(m_stream, 0, nullptr, &formatSize),
              "StreamReadFormat failed. Err: $");
        Format.resize(std::size_t(std::max<std::int32_t>(formatSize, 1)));
        Check(AVIStreamReadFormat(m_stream, 0, Format.data(), &formatSize),
              "StreamReadFormat failed. Err: $");
        Format.resize(std::size_t(std::max<std::int32_t>(formatSize, 0)));
        First = std::max(AVIStreamStart(m_stream), 0);
        Length = static_cast<std::int32_t>(fileInfo.dwLength);
    }

    // Sample First + i into buffer (grown as needed); its size in bytes.
    std::int32_t Read(std::int32_t i, std::vector<std::uint8_t>& buffer, bool& key) {
        m_currentFile = m_file;
        const std::int32_t pos = First + i;
        std::int32_t bytes = 0;
        std::int32_t samples = 0;
        Check(AVIStreamRead(m_stream, pos, 1, nullptr, 0, &bytes, &samples),
              "StreamRead failed. Err: $");
        if (std::size_t(bytes) > buffer.size())
            buffer.resize(std::size_t(bytes));
        if (bytes > 0)
            Check(AVIStreamRead(m_stream, pos, 1, buffer.data(), bytes, &bytes, &samples),
                  "StreamRead failed. Err: $");
        key = AVIStreamFindSample(m_stream, pos, FIND_KEY) == pos;
        return bytes;
    }

    void Release() {
        AVIStreamRelease(m_stream);
        AVIFileRelease(m_source);
    }

    AVISTREAMINFO Info;
    std::vector<std::uint8_t> Format;
    std::int32_t First = 0;
    std::int32_t Length = 0;

private:
    AviLibrary m_library;
    std::string m_file;
    std::string& m_currentFile;
    PAVIFILE m_source;
    PAVISTREAM m_stream;
};

// Lists the soundtrack's frames; the complete ones (a last frame cut off by the end of the
// file is not copied).
int TMuxThd::ScanSoundtrack(TMP3FrameExtract& frames) {
    LogMessage("Loading MP3 file");
    m_currentFile = AudioFile;
    frames.OnScanProgress = [this](std::uint8_t percent) { ScanProgress(percent); };
    frames.OnCheckCancel = [this] { return isInterruptionRequested(); };
    frames.Scan();
    const int complete = frames.CompleteFrames();
    m_audioFrames = complete;
    LogMessage("MP3 file succesfully loaded (" + std::to_string(complete) + " frames)");
    return complete;
}

void TMuxThd::Execute() {
    LogMessage("Audio : " + AudioFile);
    LogMessage("Video : " + VideoFile);
    LogMessage("Output : " + OutputFile);
    if (Container != TContainer::Avi) {
        ExecuteContainer();
        return;
    }
    TMP3FrameExtract frames(AudioFile);
    const int audioFrames = ScanSoundtrack(frames);

    VideoSource video(VideoFile, m_currentFile);
    PAVIFILE target;
    m_currentFile = OutputFile;
    // Creating the output would truncate the video being copied.
    if (SameFile(VideoFile, OutputFile))
        Check(AVIERR_FILEOPEN, "FileOpen failed. Err: $");
    Check(AVIFileOpen(target, OutputFile, OF_WRITE | OF_CREATE), "FileOpen failed. Err: $");
    video.ReadStream();
    m_currentFile = OutputFile;
    PAVISTREAM videoOut;
    Check(AVIFileCreateStream(target, videoOut, video.Info), "CreateStream failed. Err: $");
    Check(AVIStreamSetFormat(videoOut, 0, video.Format.data(), std::int32_t(video.Format.size())),
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
    const std::int32_t length = video.Length;
    SetProgress(0, length);
    std::vector<std::uint8_t> buffer(1);
    for (std::int32_t i = 0; i < length; ++i) {
        if (isInterruptionRequested())
            break;
        bool key = false;
        const std::int32_t bytes = video.Read(i, buffer, key);
        m_currentFile = OutputFile;
        Check(AVIStreamWrite(videoOut, video.First + i, 1, buffer.data(), bytes,
                             key ? AVIIF_KEYFRAME : 0),
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
    AVIStreamRelease(videoOut);
    video.Release();
    // The last handle of the output finishes it on disk: headers and index.
    m_currentFile = OutputFile;
    Check(AVIFileRelease(target), "FileRelease failed. Err: $");

    if (!cancelled)
        LogMessage("Done");
    m_aborted = cancelled;
}

// MP4 or Matroska: the samples of both streams written in time order, so that players read
// them interleaved; without a soundtrack the picture track alone changes container.
void TMuxThd::ExecuteContainer() {
    std::optional<TMP3FrameExtract> frames;
    int audioFrames = 0;
    if (!AudioFile.empty()) {
        frames.emplace(AudioFile);
        audioFrames = ScanSoundtrack(*frames);
    }

    VideoSource video(VideoFile, m_currentFile);
    video.ReadStream();
    m_currentFile = OutputFile;
    if (SameFile(VideoFile, OutputFile))
        Check(AVIERR_FILEOPEN, "FileOpen failed. Err: $");
    TContainerWriter out(OutputFile, Container);
    std::vector<std::uint8_t> buffer(1);
    bool key = false;
    const std::int32_t firstBytes = video.Length > 0 ? video.Read(0, buffer, key) : 0;
    m_currentFile = OutputFile;
    out.AddVideo(video.Format, video.Info.dwScale, video.Info.dwRate, buffer.data(),
                 std::size_t(std::max(firstBytes, 0)));
    const std::int64_t samplesPerFrame = frames ? Mp3SamplesPerFrame(*frames) : 1;
    const std::int64_t sampleRate = audioFrames > 0 ? frames->SampleRate() : 1;
    if (audioFrames > 0)
        out.AddAudio(int(sampleRate), frames->Channels(), int(samplesPerFrame), frames->Bitrate());
    out.Begin();

    LogMessage("Writing the " + ContainerName(Container) + " file");
    std::optional<TSoundtrack> soundtrack;
    if (audioFrames > 0) {
        m_currentFile = AudioFile;
        soundtrack.emplace(AudioFile);
    }
    const std::int64_t total = std::int64_t(video.Length) + audioFrames;
    const auto progress = [&](std::int64_t done) {
        SetProgress(int(done * 1000 / std::max<std::int64_t>(total, 1)), 1000);
    };
    progress(0);
    // Video sample i starts at i x scale / rate s, audio frame k at k x samples / sample rate.
    const std::int64_t videoUnit = std::int64_t(video.Info.dwScale) * sampleRate;
    const std::int64_t audioUnit = samplesPerFrame * std::int64_t(video.Info.dwRate);
    std::int32_t i = 0;
    int k = 0;
    while (i < video.Length || k < audioFrames) {
        if (isInterruptionRequested())
            break;
        if (k >= audioFrames || (i < video.Length && i * videoUnit <= k * audioUnit)) {
            const std::int32_t bytes = video.Read(i, buffer, key);
            m_currentFile = OutputFile;
            if (bytes > 0) // a position the writer left empty holds no frame
                out.Write(0, i, buffer.data(), std::size_t(bytes), key);
            ++i;
        } else {
            const std::int64_t start = frames->FrameStart(k);
            const auto size = std::size_t(frames->FrameEnd(k) - start);
            if (size > buffer.size())
                buffer.resize(size);
            m_currentFile = AudioFile;
            soundtrack->Read(start, buffer.data(), size);
            m_currentFile = OutputFile;
            out.Write(1, k, buffer.data(), size, true);
            ++k;
        }
        progress(std::int64_t(i) + k);
    }
    video.Release();
    m_currentFile = OutputFile;
    // A join cut short never takes the output's name: the picture track stays in VideoFile.
    if (isInterruptionRequested()) {
        out.Abandon();
        m_aborted = true;
        return;
    }
    out.Finish();
    LogMessage("Done");
    m_aborted = false;
}

} // namespace lv
