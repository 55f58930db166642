#pragma once

#include "MultiPlex/Container.h"
#include "platform/WorkerThread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace lv {

class TMP3FrameExtract;

// The 30-byte MPEG Layer-3 wave format of the audio stream, little-endian as in the file.
#pragma pack(push, 1)
struct MPEGLAYER3WAVEFORMAT {
    std::uint16_t wFormatTag = 0x55;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 1152;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 12; // the bytes that follow these 18
    std::uint16_t wID = 1;
    std::uint32_t fdwFlags = 2;
    std::uint16_t nBlockSize = 522;
    std::uint16_t nFramesPerBlock = 1;
    std::uint16_t nCodecDelay = 1393;
};
#pragma pack(pop)
static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30);

// Audio format of a soundtrack from its first frame; an empty list gives zeros.
MPEGLAYER3WAVEFORMAT Mp3WaveFormat(const TMP3FrameExtract& frames);
// Samples that one frame of the soundtrack holds (the audio stream's time unit).
int Mp3SamplesPerFrame(const TMP3FrameExtract& frames);

// Writes OutputFile: the video stream of VideoFile copied sample for sample (format, stream
// header and key flags kept), then every complete frame of the MP3 AudioFile as one audio
// sample. Nothing is decoded.
//
// Set the inputs, then start(). The object must be created in a thread that runs an event
// loop (the main thread): OnProgress and OnLog run there, through blocking queued calls, the
// worker waiting for each. Cancel with requestInterruption(); it is polled during the scan,
// before each video sample and each audio frame.
//
// The outcome, read after finished(): Aborted() for a cancel; Failed() with ErrorMessage()
// (the English text), ErrorUnit() and ErrorFile() when a check or a file operation failed.
// After a failure VideoFile is untouched, so the caller must keep it. Destroying a running
// thread cancels and waits.
class TMuxThd : public TWorkerThread {
    Q_OBJECT
public:
    explicit TMuxThd(QObject* parent = nullptr);
    ~TMuxThd() override;

    std::string VideoFile;
    // Empty: no soundtrack (only for a container other than AVI).
    std::string AudioFile;
    std::string OutputFile;
    // AVI as always; MP4 or Matroska interleave the picture track and the soundtrack's frames
    // in time order through libavformat, nothing decoded.
    TContainer Container = TContainer::Avi;
    // Sent when the displayed progress changes (at most about a thousand times per phase).
    std::function<void(int position, int max, const std::string& text)> OnProgress;
    // Log lines in English; level 0 (verbose) for the steps, 2 for the failure.
    std::function<void(const std::string& text, int level)> OnLog;

    // Current phase, as last reported; any thread.
    int Position() const;
    int Max() const;
    std::string Text() const;

    bool Aborted() const { return m_aborted; }
    bool Failed() const { return m_failed; }
    // Audio frames found in the soundtrack (0 until the scan is done, and for a file that
    // holds none: the output then has no sound).
    int AudioFrames() const { return m_audioFrames; }
    // The file the failed step was working on (VideoFile, OutputFile or AudioFile).
    std::string ErrorFile() const;

protected:
    void run() override;

private:
    class VideoSource;
    void Execute();
    void ExecuteContainer();
    int ScanSoundtrack(TMP3FrameExtract& frames);
    void LogMessage(const std::string& message);
    void SetProgress(int position, int max);
    void ScanProgress(std::uint8_t percent);

    mutable std::mutex m_stateMutex;
    int m_position = 0;
    int m_max = 0;
    std::string m_text;
    std::string m_errorFile;
    std::string m_currentFile;
    int m_lastReported = -1; // per-mille of the last progress sent
    std::atomic<bool> m_aborted{false};
    std::atomic<bool> m_failed{false};
    std::atomic<int> m_audioFrames{0};
};

} // namespace lv
