// lumivane: the desktop program. See WindowUsageText() for its command line.
#include "Audio/DecoderLibraries.h"
#include "app/gui/Application.h"
#include "app/gui/Dialogs.h"
#include "app/gui/MainDlg.h"
#include "app/run/Startup.h"
#include "platform/Errors.h"
#include "platform/StandardStreams.h"

#include <QTimer>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    lv::KeepStandardStreamsOpen();
    // Answered before Qt starts, which would need a display.
    switch (lv::ParseWindowArguments({argv + 1, argv + argc}).action) {
    case lv::TWindowArguments::Action::Help:
        std::printf("%s", lv::WindowUsageText().c_str());
        return 0;
    case lv::TWindowArguments::Action::Version:
        std::printf("%s\n", lv::VersionText("lumivane").c_str());
        return 0;
    case lv::TWindowArguments::Action::Open:
        break;
    }
    // Past a file-size limit a write fails and the run says so, instead of a silent kill.
    std::signal(SIGXFSZ, SIG_IGN);
    lv::TApplication app(argc, argv);
    lv::DecoderLibraries(); // loaded once at start, as the formats' readers expect

    lv::TMainDlg window(lv::CreateDesktopDialogs());
    app.ShowError = [&window](const QString& text) { window.Dialogs().Error(&window, text); };
    window.show();

    // Qt has taken its own options out by now.
    std::vector<std::string> args;
    for (const QString& arg : QApplication::arguments().mid(1))
        args.push_back(arg.toStdString());
    const std::string project = lv::ParseWindowArguments(args).project;
    if (!project.empty()) {
        QTimer::singleShot(0, &window, [&window, project] {
            try {
                window.LoadProjectFile(project);
            } catch (const std::exception& e) {
                window.Dialogs().Error(&window, QString::fromStdString(lv::ErrorWithLocation(e)));
            }
        });
    }
    return app.exec();
}
