#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QDialog;
class QUrl;
class QWidget;

namespace lv {

// A file dialog of a form, named as the form names it ("JOD", "JSD"...).
struct TFileDialog {
    QString Name{};
    QString Folder{};      // initial folder; empty for the dialog's own choice
    QStringList Filters{}; // in Qt's syntax: "JPEG (*.jpeg *.jpg)"
    QString DefaultSuffix{};
    bool Multiple = false;             // open: several files may be chosen
    bool ConfirmOverwrite = false;     // save: ask before replacing a file
    QString* SelectedFilter = nullptr; // receives the filter chosen, when given
};

enum class TBoxKind { Message = 0, Warning = 1, Error = 2, Question = 3, Information = 4 };
inline constexpr int kBoxOk = 1;
inline constexpr int kBoxYes = 6; // what callers of the helper compare with
inline constexpr int kBoxNo = 7;

// The extension of a filter's first pattern, without its dot: "mp4" for "MP4 Files
// (*.mp4)"; empty when it has none.
QString FilterSuffix(const QString& filter);

// "Message", "Warning", "Error", "Question", "Information": never translated.
QString BoxCaption(TBoxKind kind);

// Everything a form shows modally, behind one interface so that tests answer in place of a
// user and never block in exec(). Every call runs on the user-interface thread.
class TDialogs {
public:
    virtual ~TDialogs() = default;

    // A plain box with one OK button, the program's title as caption.
    virtual void Message(QWidget* parent, const QString& text) = 0;
    // The application's error box (critical icon).
    virtual void Error(QWidget* parent, const QString& text) = 0;
    // Yes or No; true for Yes.
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;
    // The message-box helper: a box of one of the five kinds, with its fixed caption and
    // icon, OK or (yesNo) Yes and No. Returns kBoxOk, kBoxYes or kBoxNo.
    virtual int Box(QWidget* parent, TBoxKind kind, const QString& text, bool yesNo) = 0;

    // The files chosen; empty when cancelled.
    virtual QStringList OpenFiles(QWidget* parent, const TFileDialog& request) = 0;
    // The name chosen; empty when cancelled.
    virtual QString SaveFile(QWidget* parent, const TFileDialog& request) = 0;

    // Runs a form's own dialog modally; returns its result (QDialog::Accepted...).
    virtual int Exec(QDialog& dialog) = 0;

    // Opens a page or file with the desktop's default application.
    virtual void OpenUrl(const QUrl& url) = 0;
};

// The real dialogs of the desktop.
std::unique_ptr<TDialogs> CreateDesktopDialogs();

} // namespace lv
