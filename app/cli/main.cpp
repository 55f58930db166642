// lumivane-render: renders a project to AVI without the window, through the same run as the
// window's "Go !". See UsageText() for the options.
#include "Audio/AudioFile.h"
#include "Audio/DecoderLibraries.h"
#include "Audio/Duration.h"
#include "Common/BmpToAvi.h"
#include "Common/FrameServer.h"
#include "Common/PictureList.h"
#include "app/cli/CommandLine.h"
#include "app/cli/ProgressPrinter.h"
#include "app/run/FrameSettings.h"
#include "app/run/SlideshowRun.h"
#include "app/run/Soundtrack.h"
#include "app/run/Startup.h"
#include "log/KLog.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/RegularFile.h"
#include "platform/StandardStreams.h"
#include "project/PictureFiles.h"
#include "project/ProjectFile.h"

#include <QGuiApplication>
#include <QImage>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_interrupted{false};

void onSigint(int) {
    g_interrupted = true;
}

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitAborted = 130;

void say(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

// Seconds of a soundtrack, or -1 when no reader takes it. Readers that refuse a file throw.
long long soundtrackSeconds(const std::string& file) {
    return lv::SoundtrackSeconds(file).value_or(-1);
}

int printDuration(const std::string& file) {
    const long long seconds = soundtrackSeconds(file);
    if (seconds < 0) {
        say("No reader for " + file);
        return kExitFailure;
    }
    std::printf("%s\n", lv::FormatDuration(seconds).c_str());
    return 0;
}

int listCodecs() {
    std::vector<std::string> lines;
    lv::TBmpToAvi::ListCodecs(lines);
    for (const auto& line : lines)
        std::printf("%s\n", line.c_str());
    return 0;
}

// The run's settings: the options given, the project's output and soundtrack otherwise, and
// the window's defaults for the rest.
lv::TRunSettings settingsFor(const lv::TCliOptions& o, const lv::TProject& project,
                             std::size_t pictureCount) {
    lv::TRunSettings s;
    s.DynamicPictures = o.dynamicPictures.value_or(false);
    s.CrossFade = o.crossFade.value_or(true);
    s.TextOverlay = o.textOverlay.value_or(true);
    s.SingleFrame = o.singleFrame;
    s.Fps = o.fps.value_or(s.DynamicPictures ? 25 : 15);
    s.TimePerPicture = o.timePerPicture.value_or(3000);
    s.Resolution = o.resolution.value_or("640x480");
    if (o.output)
        s.OutputFile = *o.output;
    else if (project.Output)
        s.OutputFile = lv::ResolvePath(project.Folder, *project.Output);
    if (o.codec) {
        s.FourCC = *o.codec;
    } else {
        std::vector<std::string> lines;
        lv::TBmpToAvi::ListCodecs(lines);
        s.FourCC = lv::RememberedFourCC(lines);
    }
    s.ProjectFile = o.project;

    long long seconds = 0;
    if (o.soundtrack && !o.soundtrack->empty()) {
        seconds = soundtrackSeconds(*o.soundtrack);
        if (seconds < 0)
            throw lv::Error("No reader for soundtrack " + *o.soundtrack);
        s.SoundtrackFile = *o.soundtrack;
    } else if (!o.soundtrack && project.Sound && !project.Sound->empty()) {
        const std::string sound = lv::ResolvePath(project.Folder, *project.Sound);
        seconds = soundtrackSeconds(sound);
        if (seconds < 0)
            say("Soundtrack not used, no reader for it: " + sound);
        else
            s.SoundtrackFile = sound;
    }
    if (o.matchAudio) {
        if (s.SoundtrackFile.empty())
            throw lv::Error("--match-audio needs a soundtrack");
        if (auto m = lv::MatchAudio(seconds, std::int64_t(pictureCount), s.CrossFade)) {
            s.TimePerPicture = m->TimePerPicture;
            if (m->TooShort)
                say(lv::kMatchAudioTooShort);
        }
    }
    return s;
}

// One frame of the slideshow, composed as the run composes it, as a PNG.
int renderFrame(const lv::TCliOptions& o, lv::TRunSettings s, const lv::TPictureList& pictures) {
    if (pictures.Count() == 0)
        throw lv::Error("Empty picture list");
    if (lv::ApplyVisualOptionsRule(s))
        say("Visual options disabled due to incompatible temporal settings");
    const lv::TFrameSettings f = lv::FrameSettingsOf(s);
    lv::TFrameServer server(pictures.PicturePaths, &pictures.PictureTexts, f.FramesPerPicture,
                            f.Height, f.Width, f.Dynamic, f.CrossFade, f.TextOverlay);
    if (*o.frame >= server.FrameCount())
        throw lv::Error("There is no frame " + std::to_string(*o.frame) + ": the video has " +
                        std::to_string(server.FrameCount()) + " frames");
    // A pipe would block the write for good, a folder cannot take it.
    if (!lv::NoneOrRegularFile(s.OutputFile))
        throw lv::Error("Cannot write " + s.OutputFile + ": not a regular file");
    QImage frame;
    server.RenderFrame(frame, *o.frame);
    // A fade's frames carry alpha 0: the colours are what the video holds.
    if (!frame.convertToFormat(QImage::Format_RGB32)
             .save(QString::fromStdString(s.OutputFile), "PNG"))
        throw lv::Error("Cannot write " + s.OutputFile);
    std::printf("%s\n", s.OutputFile.c_str());
    return 0;
}

int render(const lv::TCliOptions& o, QGuiApplication& app) {
    auto log = lv::CreateProgramLog();
    lv::LogStartup(*log, lv::ProgramFolder() + "lumivane-render",
                   lv::ProgramCaption() + " (command line)");
    // The decoder libraries load once at start, as in the window; a missing one only
    // disables its format, which the log tells.
    lv::LogDecoderLibraries(*log);

    lv::TPictureList pictures;
    const lv::TProject project = lv::LoadProject(o.project, pictures, log.get());
    if (!project.Skipped.empty())
        say(lv::SkippedPicturesMessage(project.Skipped, log->FileName()));

    lv::TRunSettings s = settingsFor(o, project, pictures.Count());
    if (o.frame)
        return renderFrame(o, s, pictures);

    lv::TSlideshowRun run(pictures, log.get());
    lv::TProgressPrinter progress(stderr, isatty(STDERR_FILENO) != 0);
    int exitCode = kExitFailure;
    QObject::connect(&run, &lv::TSlideshowRun::Notice,
                     [&](const QString& m) { say(m.toStdString()); });
    if (!o.quiet) {
        QObject::connect(&run, &lv::TSlideshowRun::VideoProgress,
                         [&](int position, int total) { progress.Frames(position, total); });
        QObject::connect(&run, &lv::TSlideshowRun::MuxProgress,
                         [&](int position, int max, const QString& text) {
                             progress.Phase(text.toStdString(), position, max);
                         });
    }
    QObject::connect(&run, &lv::TSlideshowRun::Finished, [&](lv::TRunOutcome outcome) {
        progress.Finish();
        switch (outcome) {
        case lv::TRunOutcome::Done:
            if (!run.Detail().isEmpty())
                say(run.Detail().toStdString()); // delivered, but without its sound
            std::printf("%s\n", s.OutputFile.c_str());
            exitCode = 0;
            break;
        case lv::TRunOutcome::Aborted:
            say(run.Message().toStdString());
            if (!run.Detail().isEmpty())
                say(run.Detail().toStdString());
            exitCode = kExitAborted;
            break;
        case lv::TRunOutcome::Failed:
            say(run.Message().toStdString());
            if (!run.Detail().isEmpty())
                say(run.Detail().toStdString());
            exitCode = kExitFailure;
            break;
        }
        app.quit();
    });

    // Ctrl-C is the Cancel button: the job stops after its frame and closes the file.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (g_interrupted.exchange(false)) {
            progress.Finish();
            say("Cancelling...");
            run.Cancel();
        }
    });
    poll.start(100);

    run.Start(s);
    app.exec();
    return exitCode;
}

// --help and --version; false for any other action.
bool answerQuery(lv::TCliOptions::Action action) {
    if (action == lv::TCliOptions::Action::Help)
        std::printf("%s", lv::UsageText().c_str());
    else if (action == lv::TCliOptions::Action::Version)
        std::printf("%s\n", lv::VersionText("lumivane-render").c_str());
    else
        return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    lv::KeepStandardStreamsOpen();
    // Answered before Qt starts, which may want a display (QT_QPA_PLATFORM=xcb). A command
    // line with Qt's own options in it is judged once Qt has taken them out.
    try {
        if (answerQuery(lv::ParseCommandLine({argv + 1, argv + argc}).action))
            return 0;
    } catch (const lv::UsageError&) {
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0); // fonts without a display
    if (!getenv("XDG_RUNTIME_DIR")) {
        const std::string runtime = "/tmp/lumivane-runtime-" + std::to_string(getuid());
        mkdir(runtime.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Lumivane"));
    std::vector<std::string> args(argv + 1, argv + argc);
    lv::TCliOptions options;
    try {
        options = lv::ParseCommandLine(args);
    } catch (const lv::UsageError& e) {
        std::fprintf(stderr, "lumivane-render: %s\nTry 'lumivane-render --help'.\n", e.what());
        return kExitUsage;
    }
    // A closed terminal (SIGHUP) or a polite kill ends the run as Ctrl-C does, so the video
    // written so far is closed; a message to a terminal that is gone must not kill us first.
    std::signal(SIGINT, onSigint);
    std::signal(SIGTERM, onSigint);
    std::signal(SIGHUP, onSigint);
    std::signal(SIGPIPE, SIG_IGN);
    // Past a file-size limit a write fails and the run says so, instead of a silent kill.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        switch (options.action) {
        case lv::TCliOptions::Action::Help:
        case lv::TCliOptions::Action::Version:
            answerQuery(options.action);
            return 0;
        case lv::TCliOptions::Action::ListCodecs:
            return listCodecs();
        case lv::TCliOptions::Action::Duration:
            return printDuration(options.audioFile);
        case lv::TCliOptions::Action::Render:
            return render(options, app);
        }
    } catch (const std::exception& e) {
        say(e.what());
    }
    return kExitFailure;
}
