#pragma once

#include "MultiPlex/Container.h"
#include "app/run/RunSettings.h"

#include <QObject>
#include <QString>

#include <memory>
#include <string>

namespace lv {

class TBmpToAvi;
class TDib;
class TKLog;
class TMuxThd;
class TPreviewFrames;
class TPictureList;
class TVideoMakerThd;

// What a run is doing.
enum class TRunPhase {
    Idle,  // no job
    Video, // the picture track is being written
    Audio, // the soundtrack is being joined to it
};

// How a run ended.
enum class TRunOutcome {
    Done,    // the output file is complete; Detail() says so when it has no sound
    Aborted, // cancelled by the user
    Failed,  // an error; Message() says which, Detail() what failed, Location() where
};

// The run from "Go !" to the finished file, shared by the window and the command line:
// checks, the rule of incompatible timing, the log lines, the writer, the video maker
// thread, then, with a soundtrack, the hand-over of the picture track to the muxing thread.
//
// Lives in the main thread, which must run its event loop while a run is under way; every
// signal is emitted there. The picture list and the writer must not change during a run.
// What the user is told of the video of a stopped run: where it is, and that an earlier
// file of the output's name (when keptAs is another name) is as it was.
std::string StoppedRunDetail(const std::string& keptAs, const std::string& output,
                             bool withoutSoundtrack);

class TSlideshowRun : public QObject {
    Q_OBJECT
public:
    // log may be null.
    TSlideshowRun(TPictureList& pictures, TKLog* log, QObject* parent = nullptr);
    ~TSlideshowRun() override;

    TBmpToAvi& Writer() { return *m_writer; }

    // Starts a run. Throws lv::Error with "Empty picture list" or "Invalid output file", or
    // when the output names one of the run's inputs (a picture, the soundtrack, the project
    // file) or when the output's container cannot hold the compressor (ContainerRefusal),
    // before anything is written; then the writer's errors (SetCodec, Open), as
    // lv::EAssertionFailed where a check failed. May clear the visual options of `settings`
    // (see ApplyVisualOptionsRule), emitting Notice first.
    void Start(TRunSettings& settings);
    // The frames a run of these settings would make, for a preview: the same refusals of the
    // list and the frame rate and the same rule of incompatible timing as Start (nothing is
    // written, the output is not looked at). Throws while a run is under way.
    std::unique_ptr<TPreviewFrames> Preview(TRunSettings& settings);
    // Asks the running job to stop after the frame or block it is on; the run then ends
    // Aborted, Detail() telling where the video is when the join did not finish.
    void Cancel();
    // From Start until Finished has been emitted.
    bool Running() const;
    TRunPhase Phase() const { return m_phase; }
    // The video file of the current or last run.
    const std::string& OutputFile() const { return m_settings.OutputFile; }

    // The frame just encoded, valid during VideoProgress; null otherwise.
    const TDib* CurrentFrame() const;
    // The file that holds the picture track while the soundtrack is joined ("temp.avi").
    const std::string& TempFile() const { return m_tempFile; }
    QString Message() const { return m_message; }
    QString Detail() const { return m_detail; }
    // Where the failed thread's check failed: "U_BmpToAvi, line 173", "U_MuxThd"; empty
    // when the failure was no failed check.
    QString Location() const { return m_location; }

Q_SIGNALS:
    void VideoProgress(int position, int total);
    void MuxProgress(int position, int max, const QString& text);
    // "Processing Video", "Processing Audio", or empty when no job runs. A finished join clears
    // it before Finished (the done step comes after the status is gone); any other end of a
    // run clears it after Finished, so that what Finished shows still sees the job's status.
    void StatusChanged(const QString& status);
    void PhaseChanged(lv::TRunPhase phase);
    // A message for the user that does not end the run.
    void Notice(const QString& message);
    // Start has switched the three visual options off (see ApplyVisualOptionsRule).
    void VisualOptionsCleared();
    void Finished(lv::TRunOutcome outcome);

private:
    void VideoThreadDone();
    void MuxThreadDone();
    // The picture track takes the output's name; with finished false, only when no file has
    // it (else the name of PartialFileName). m_keptAs says where it went.
    bool deliverPictureTrack(bool finished);
    void finish(TRunOutcome outcome, const QString& message, const QString& detail = {},
                const QString& location = {});
    void log(const std::string& line, int level = 1);
    void applyVisualOptionsRule(TRunSettings& settings);
    void setPhase(TRunPhase phase);
    void setStatus(const QString& status);
    // Where the picture track is kept when the last step did not make the output.
    std::string keptTrackDetail() const;
    std::string pictureTrack() const;
    std::string soundGoneDetail() const;

    TPictureList& m_pictures;
    TKLog* m_log;
    std::unique_ptr<TBmpToAvi> m_writer;
    std::unique_ptr<TVideoMakerThd> m_video;
    std::unique_ptr<TMuxThd> m_mux;
    TRunSettings m_settings;
    TRunPhase m_phase = TRunPhase::Idle;
    bool m_cancelled = false;
    std::string m_tempFile;
    std::string m_keptAs;
    TContainer m_container = TContainer::Avi;
    bool m_soundGone = false; // the soundtrack was deleted before the join
    QString m_status;
    QString m_message;
    QString m_detail;
    QString m_location;
};

} // namespace lv

Q_DECLARE_METATYPE(lv::TRunOutcome)
Q_DECLARE_METATYPE(lv::TRunPhase)
