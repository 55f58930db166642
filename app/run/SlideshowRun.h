#pragma once

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
class TPictureList;
class TVideoMakerThd;

// How a run ended.
enum class TRunOutcome {
    Done,    // the output file is complete
    Aborted, // cancelled by the user
    Failed,  // an error; Message() says which, Detail() what failed
};

// The run from "Go !" to the finished file, shared by the window and the command line:
// checks, the rule of incompatible timing, the log lines, the writer, the video maker
// thread, then, with a soundtrack, the hand-over of the picture track to the muxing thread.
//
// Lives in the main thread, which must run its event loop while a run is under way; every
// signal is emitted there. The picture list and the writer must not change during a run.
class TSlideshowRun : public QObject {
    Q_OBJECT
public:
    // log may be null.
    TSlideshowRun(TPictureList& pictures, TKLog* log, QObject* parent = nullptr);
    ~TSlideshowRun() override;

    TBmpToAvi& Writer() { return *m_writer; }

    // Starts a run. Throws lv::Error with "Empty picture list" or "Invalid output file"
    // before anything starts, and the writer's errors (SetCodec, Open). May clear the visual
    // options of `settings` (see ApplyVisualOptionsRule), emitting Message first.
    void Start(TRunSettings& settings);
    // Asks the running job to stop after the frame or block it is on.
    void Cancel();
    bool Running() const;

    // The frame just encoded, valid during VideoProgress; null otherwise.
    const TDib* CurrentFrame() const;
    // The file that holds the picture track while the soundtrack is joined ("temp.avi").
    const std::string& TempFile() const { return m_tempFile; }
    QString Message() const { return m_message; }
    QString Detail() const { return m_detail; }

Q_SIGNALS:
    void VideoProgress(int position, int total);
    void MuxProgress(int position, int max, const QString& text);
    // "Processing Video", "Processing Audio", or empty when no job runs.
    void StatusChanged(const QString& status);
    // A message for the user that does not end the run.
    void Notice(const QString& message);
    void Finished(lv::TRunOutcome outcome);

private:
    void VideoThreadDone();
    void MuxThreadDone();
    void finish(TRunOutcome outcome, const QString& message, const QString& detail = {});
    void log(const std::string& line, int level = 1);

    TPictureList& m_pictures;
    TKLog* m_log;
    std::unique_ptr<TBmpToAvi> m_writer;
    std::unique_ptr<TVideoMakerThd> m_video;
    std::unique_ptr<TMuxThd> m_mux;
    TRunSettings m_settings;
    std::string m_tempFile;
    QString m_message;
    QString m_detail;
};

} // namespace lv

Q_DECLARE_METATYPE(lv::TRunOutcome)
