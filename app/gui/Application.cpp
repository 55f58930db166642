#include "app/gui/Application.h"

#include "platform/Errors.h"

#include <cstdio>
#include <exception>

namespace lv {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Lumivane"));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    QString message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        message = QString::fromStdString(ErrorWithLocation(e));
        if (!dynamic_cast<const Error*>(&e))
            std::fprintf(stderr, "Internal error: %s\n", e.what());
    } catch (...) {
        message = QStringLiteral("Unknown error");
    }
    if (ShowError)
        ShowError(message);
    else
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    return false;
}

} // namespace lv
