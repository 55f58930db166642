#include "app/run/SlideshowRun.h"

#include "app/run/PreviewFrames.h"

#include "app/run/FrameSettings.h"

#include "Common/BmpToAvi.h"
#include "Common/PictureList.h"
#include "Common/VideoMakerThd.h"
#include "MultiPlex/Container.h"
#include "MultiPlex/MuxThd.h"
#include "MultiPlex/TempVideo.h"
#include "log/KLog.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Registry.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace lv {

namespace {

const char* yesNo(bool b) {
    return b ? "Yes" : "No";
}

std::string format(const char* fmt, int a, int b = 0) {
    char buf[128];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return buf;
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// Writing the video over one of its own inputs would destroy it before it is read.
void checkOutputIsNoInput(const TRunSettings& s, const TPictureList& pictures) {
    const std::string& out = s.OutputFile;
    if (!FileExists(out))
        return;
    auto refuse = [&](const std::string& input) {
        throw Error("The output file is one of the run's inputs: " + input);
    };
    if (SameFile(out, s.SoundtrackFile))
        refuse(s.SoundtrackFile);
    if (SameFile(out, s.ProjectFile))
        refuse(s.ProjectFile);
    for (const auto& picture : pictures.PicturePaths.Items())
        if (SameFile(out, picture))
            refuse(picture);
}

} // namespace

std::string StoppedRunDetail(const std::string& keptAs, const std::string& output,
                             bool withoutSoundtrack) {
    if (keptAs.empty())
        return {};
    if (keptAs == output)
        return withoutSoundtrack ? "The video has no soundtrack: " + output : std::string();
    return (withoutSoundtrack ? "The video, without its soundtrack, is kept in "
                              : "The video made so far is kept in ") +
           keptAs + "; " + output + " is as it was.";
}

TSlideshowRun::TSlideshowRun(TPictureList& pictures, TKLog* log, QObject* parent)
    : QObject(parent), m_pictures(pictures), m_log(log), m_writer(std::make_unique<TBmpToAvi>()) {}

// A job still running reads the picture list and uses the writer: stop it and wait first.
TSlideshowRun::~TSlideshowRun() {
    if (m_video)
        m_video->disconnect(this);
    if (m_mux)
        m_mux->disconnect(this);
    m_video.reset();
    m_mux.reset();
}

void TSlideshowRun::log(const std::string& line, int level) {
    if (m_log)
        m_log->Write(line, level);
}

// Until its end is handled: between a thread's end and its queued handler the run is not
// over (the handler may start the join).
bool TSlideshowRun::Running() const {
    return m_phase != TRunPhase::Idle;
}

const TDib* TSlideshowRun::CurrentFrame() const {
    return m_video ? m_video->Frame() : nullptr;
}

void TSlideshowRun::applyVisualOptionsRule(TRunSettings& s) {
    if (ApplyVisualOptionsRule(s)) {
        // The options are shown off before the message tells why.
        Q_EMIT VisualOptionsCleared();
        Q_EMIT Notice(
            QStringLiteral("Visual options disabled due to incompatible temporal settings"));
    }
}

std::unique_ptr<TPreviewFrames> TSlideshowRun::Preview(TRunSettings& s) {
    if (Running())
        throw Error("A run is already under way");
    if (m_pictures.Count() == 0)
        throw Error("Empty picture list");
    if (s.Fps <= 0)
        throw Error("Invalid frame rate");
    applyVisualOptionsRule(s);
    return std::make_unique<TPreviewFrames>(m_pictures, FrameSettingsOf(s));
}

void TSlideshowRun::Start(TRunSettings& s) {
    if (Running())
        throw Error("A run is already under way");
    if (m_pictures.Count() == 0)
        throw Error("Empty picture list");
    if (s.OutputFile.empty())
        throw Error("Invalid output file");
    if (s.Fps <= 0)
        throw Error("Invalid frame rate");
    checkOutputIsNoInput(s, m_pictures);
    const TContainer container = ContainerOfFile(s.OutputFile);
    if (const std::string refusal = ContainerRefusal(container, s.FourCC); !refusal.empty())
        throw Error(refusal);

    applyVisualOptionsRule(s);
    const TFrameSettings frames = FrameSettingsOf(s);

    log("Start Encoding");
    log(format("Resolution : %dx%d", frames.Width, frames.Height));
    log(format("FPS : %d", s.Fps));
    log(format("Time per Picture : %d ms", s.TimePerPicture));
    log("FCC : " + s.FourCC);
    log(std::string("OSD : ") + yesNo(frames.TextOverlay));
    log(std::string("Dynamic Pictures : ") + yesNo(frames.Dynamic));
    log(std::string("XFade : ") + yesNo(frames.CrossFade));
    log(std::string("Single Frame mode : ") + yesNo(s.SingleFrame));

    m_writer->Width = frames.Width;
    m_writer->Height = frames.Height;
    m_writer->FrameTime = frames.FrameTime;
    // With a soundtrack, or for MP4 and Matroska, the picture track goes under a name that
    // holds no file of the user's, and the output takes its name from the join: a failed join
    // leaves an earlier file of that name as it was.
    m_container = container;
    m_tempFile = s.SoundtrackFile.empty() && container == TContainer::Avi
                     ? std::string()
                     : TempVideoFileName(s.OutputFile);
    m_writer->FileName = m_tempFile.empty() ? s.OutputFile : m_tempFile;
    m_writer->SetCodec(s.FourCC);
    WriteRegString("LastFCC", s.FourCC);
    m_writer->Open();

    m_settings = s;
    m_cancelled = false;
    m_message.clear();
    m_detail.clear();
    m_location.clear();
    m_mux.reset();
    m_video = std::make_unique<TVideoMakerThd>();
    m_video->Writer = m_writer.get();
    m_video->TimePerPicture = s.TimePerPicture;
    m_video->PicturePaths = &m_pictures.PicturePaths;
    m_video->PictureTexts = &m_pictures.PictureTexts;
    m_video->DynamicPictures = frames.Dynamic;
    m_video->CrossFade = frames.CrossFade;
    m_video->TextOverlay = frames.TextOverlay;
    m_video->SingleFrame = s.SingleFrame;
    m_video->UpdateProgress = [this](const TVideoMakerThd& t) {
        Q_EMIT VideoProgress(t.Position(), t.Total());
    };
    connect(m_video.get(), &QThread::finished, this, &TSlideshowRun::VideoThreadDone,
            Qt::QueuedConnection);
    m_video->start();
    setPhase(TRunPhase::Video);
    setStatus(QStringLiteral("Processing Video"));
}

void TSlideshowRun::Cancel() {
    if (m_phase == TRunPhase::Idle)
        return;
    m_cancelled = true; // also seen by a handler still to come
    if (m_video && m_video->isRunning())
        m_video->requestInterruption();
    if (m_mux && m_mux->isRunning())
        m_mux->requestInterruption();
}

void TSlideshowRun::VideoThreadDone() {
    m_video->Join();
    const std::string error = m_video->ErrorMessage();
    const int position = m_video->Position();
    const bool aborted = m_video->Aborted();

    if (!error.empty()) {
        // An error part-way leaves the frame it stopped after; an error on the first frames
        // is the compressor refusing this input.
        finish(TRunOutcome::Failed,
               position != 0
                   ? QStringLiteral("An error has occured. Please reset the application.")
                   : QStringLiteral("An error occured while processing video. Please choose "
                                    "another codec or different settings and retry."),
               q(error), q(ErrorLocation(m_video->ErrorUnit(), m_video->ErrorLine())));
        return;
    }
    const std::string& output = m_settings.OutputFile;
    if ((aborted || m_cancelled) && m_container != TContainer::Avi) {
        // The picture track is an AVI: it never takes the name of an MP4 or Matroska file.
        finish(TRunOutcome::Aborted, QStringLiteral("Aborted by user."),
               FileExists(pictureTrack()) ? q(keptTrackDetail()) : QString());
        return;
    }
    if (aborted || (m_cancelled && !m_settings.SoundtrackFile.empty())) {
        // A stopped run never replaces an earlier video: what it made goes beside it. Cancelled
        // after the last frame, the picture track is complete but the join not begun.
        const bool viaTemp = !m_tempFile.empty();
        if (!deliverPictureTrack(false))
            return;
        finish(TRunOutcome::Aborted, QStringLiteral("Aborted by user."),
               q(StoppedRunDetail(viaTemp ? m_keptAs : m_writer->KeptAs(), output,
                                  !aborted && viaTemp)));
        return;
    }
    if (FileSize(m_writer->FileName) == 0) {
        finish(TRunOutcome::Failed,
               QStringLiteral("An error occured while processing video. Please choose another "
                              "codec or different settings and retry."));
        return;
    }
    if (m_settings.SoundtrackFile.empty() && m_container == TContainer::Avi) {
        finish(TRunOutcome::Done, {});
        return;
    }
    m_soundGone = !m_settings.SoundtrackFile.empty() && !FileExists(m_settings.SoundtrackFile);
    if (m_soundGone && m_container == TContainer::Avi) {
        // Delivered all the same, as without a soundtrack; the user must know why it is silent.
        if (deliverPictureTrack(true))
            finish(TRunOutcome::Done, {}, q(soundGoneDetail()));
        return;
    }

    m_mux = std::make_unique<TMuxThd>();
    m_mux->VideoFile = m_tempFile;
    m_mux->AudioFile = m_soundGone ? std::string() : m_settings.SoundtrackFile;
    m_mux->OutputFile = output;
    m_mux->Container = m_container;
    m_mux->OnProgress = [this](int position, int max, const std::string& text) {
        Q_EMIT MuxProgress(position, max, q(text));
    };
    m_mux->OnLog = [this](const std::string& text, int level) { log(text, level); };
    connect(m_mux.get(), &QThread::finished, this, &TSlideshowRun::MuxThreadDone,
            Qt::QueuedConnection);
    m_mux->start();
    setPhase(TRunPhase::Audio);
    // Without a soundtrack the last step only changes the picture track's container.
    setStatus(m_mux->AudioFile.empty() ? QStringLiteral("Processing Video")
                                       : QStringLiteral("Processing Audio"));
}

// Where the writer put the picture track: a stopped one never replaced a file of its name.
std::string TSlideshowRun::pictureTrack() const {
    return m_writer->KeptAs().empty() ? m_tempFile : m_writer->KeptAs();
}

std::string TSlideshowRun::keptTrackDetail() const {
    return (m_settings.SoundtrackFile.empty() ? "The video is kept as AVI in "
                                              : "The video without its soundtrack is kept in ") +
           pictureTrack();
}

std::string TSlideshowRun::soundGoneDetail() const {
    return "The video has no sound: the soundtrack " + m_settings.SoundtrackFile + " is gone.";
}

// The picture track becomes the output when no join follows. False, with the run
// finished as failed, when it cannot take the output's name.
bool TSlideshowRun::deliverPictureTrack(bool finished) {
    m_keptAs.clear();
    const std::string track = pictureTrack();
    if (m_tempFile.empty() || !FileExists(track))
        return true;
    std::error_code ec;
    if (finished) {
        std::filesystem::rename(std::filesystem::u8path(track),
                                std::filesystem::u8path(m_settings.OutputFile), ec);
        m_keptAs = m_settings.OutputFile;
    } else {
        int error = 0;
        m_keptAs = RenameKeepingEarlier(track, m_settings.OutputFile, error);
        ec = std::error_code(error, std::generic_category());
    }
    if (ec) {
        finish(TRunOutcome::Failed,
               q("Cannot rename " + m_tempFile + " to " + m_settings.OutputFile), q(ec.message()));
        return false;
    }
    m_tempFile.clear();
    return true;
}

void TSlideshowRun::MuxThreadDone() {
    m_mux->Join();
    if (m_mux->Aborted()) {
        finish(TRunOutcome::Aborted, QStringLiteral("Aborted by user."), q(keptTrackDetail()));
        return;
    }
    if (m_mux->Failed()) {
        // The picture track is the only copy of the encoded video: keep it and say where.
        finish(TRunOutcome::Failed, q(m_mux->ErrorMessage()), q(keptTrackDetail()),
               q(ErrorLocation(m_mux->ErrorUnit(), m_mux->ErrorLine())));
        return;
    }
    std::error_code ec;
    std::filesystem::remove(std::filesystem::u8path(m_tempFile), ec);
    Q_EMIT MuxProgress(0, 0, {});
    // After a join the done step comes with the status already cleared.
    setStatus(QString());
    QString detail;
    if (m_soundGone)
        detail = q(soundGoneDetail());
    else if (!m_settings.SoundtrackFile.empty() && m_mux->AudioFrames() == 0)
        detail = q("The video has no sound: no MPEG audio frame was found in " +
                   m_settings.SoundtrackFile + ".");
    finish(TRunOutcome::Done, {}, detail);
}

void TSlideshowRun::finish(TRunOutcome outcome, const QString& message, const QString& detail,
                           const QString& location) {
    m_message = message;
    m_detail = detail;
    m_location = location;
    if (outcome == TRunOutcome::Failed)
        log(message.toStdString() + (detail.isEmpty() ? "" : " " + detail.toStdString()), 2);
    setPhase(TRunPhase::Idle);
    Q_EMIT Finished(outcome);
    setStatus(QString());
}

void TSlideshowRun::setStatus(const QString& status) {
    if (status == m_status)
        return;
    m_status = status;
    Q_EMIT StatusChanged(status);
}

void TSlideshowRun::setPhase(TRunPhase phase) {
    if (phase == m_phase)
        return;
    m_phase = phase;
    Q_EMIT PhaseChanged(phase);
}

} // namespace lv
