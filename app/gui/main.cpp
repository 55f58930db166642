// lumivane: the desktop program. `lumivane [PROJECT.lmv]` opens the window, with that
// project loaded when one is named.
#include "Audio/DecoderLibraries.h"
#include "app/gui/Application.h"
#include "app/gui/Dialogs.h"
#include "app/gui/MainDlg.h"
#include "platform/Errors.h"

#include <QTimer>

int main(int argc, char** argv) {
    lv::TApplication app(argc, argv);
    lv::DecoderLibraries(); // loaded once at start, as the formats' readers expect

    lv::TMainDlg window(lv::CreateDesktopDialogs());
    app.ShowError = [&window](const QString& text) { window.Dialogs().Error(&window, text); };
    window.show();

    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        const std::string project = args.at(1).toStdString();
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
