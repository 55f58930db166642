#pragma once

#include <QApplication>

#include <functional>

namespace lv {

// The program's application object: title "Lumivane", and the one place where an exception
// that escapes an event handler ends up, shown in the application's error box instead of
// ending the program.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    // Shows the text of an escaped exception; set by the main window.
    std::function<void(const QString&)> ShowError;

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace lv
