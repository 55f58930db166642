// lumivane: the desktop program. `lumivane [PROJECT.lmv]` opens the window, with that
// project loaded when one is named; `lumivane -co` also writes the language template
// LMV_ORIGINAL.SPK into the packs' folder.
#include "Audio/DecoderLibraries.h"
#include "Lang/LanguageTable.h"
#include "app/gui/Application.h"
#include "app/gui/Dialogs.h"
#include "app/gui/MainDlg.h"
#include "platform/Errors.h"
#include "platform/StandardStreams.h"

#include <QTimer>

#include <csignal>

int main(int argc, char** argv) {
    lv::KeepStandardStreamsOpen();
    // Past a file-size limit a write fails and the run says so, instead of a silent kill.
    std::signal(SIGXFSZ, SIG_IGN);
    lv::TApplication app(argc, argv);
    lv::DecoderLibraries(); // loaded once at start, as the formats' readers expect

    lv::TMainDlg window(lv::CreateDesktopDialogs());
    app.ShowError = [&window](const QString& text) { window.Dialogs().Error(&window, text); };
    window.show();

    // The first argument that is not the language template's switch is a project to open.
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (lv::IsTemplateSwitch(args[i].toStdString()))
            continue;
        const std::string project = args[i].toStdString();
        QTimer::singleShot(0, &window, [&window, project] {
            try {
                window.LoadProjectFile(project);
            } catch (const std::exception& e) {
                window.Dialogs().Error(&window, QString::fromStdString(lv::ErrorWithLocation(e)));
            }
        });
        break;
    }
    return app.exec();
}
