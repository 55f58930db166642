#pragma once

#include "app/gui/Dialogs.h"
#include "app/gui/ProcessSuccessDlg.h"

#include <QDialog>
#include <QList>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace lvtest {

// Answers the window's dialogs in place of a user and records what it was shown.
class FakeDialogs : public lv::TDialogs {
public:
    QStringList messages, errors, confirmations;
    QList<lv::TFileDialog> fileDialogs;
    QList<QStringList> openAnswers; // one answer per OpenFiles, in order; empty: cancelled
    QStringList saveAnswers;
    bool confirmAnswer = true;
    std::function<int(QDialog&)> exec = [](QDialog&) { return int(QDialog::Rejected); };
    QList<QUrl> urls;

    std::function<void(const QString&)> onMessage; // sees the window as the box opens
    void Message(QWidget*, const QString& text) override {
        messages << text;
        if (onMessage)
            onMessage(text);
    }
    void Error(QWidget*, const QString& text) override { errors << text; }
    QStringList boxes; // "Caption: text"
    int boxAnswer = lv::kBoxNo;
    int Box(QWidget*, lv::TBoxKind kind, const QString& text, bool) override {
        boxes << lv::BoxCaption(kind) + ": " + text;
        return boxAnswer;
    }
    bool Confirm(QWidget*, const QString& text) override {
        confirmations << text;
        return confirmAnswer;
    }
    QStringList OpenFiles(QWidget*, const lv::TFileDialog& request) override {
        fileDialogs << request;
        return openAnswers.isEmpty() ? QStringList() : openAnswers.takeFirst();
    }
    QString saveFilterAnswer; // the filter the user picked; empty: the first
    QString SaveFile(QWidget*, const lv::TFileDialog& request) override {
        if (request.SelectedFilter)
            *request.SelectedFilter =
                saveFilterAnswer.isEmpty() ? request.Filters.value(0) : saveFilterAnswer;
        fileDialogs << request;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    QStringList executed;  // objectName of every dialog run
    std::string doneVideo; // what the done dialog was shown for
    int Exec(QDialog& dialog) override {
        executed << dialog.objectName();
        if (auto* done = qobject_cast<lv::TProcessSuccessDlg*>(&dialog))
            doneVideo = done->VideoPath;
        return exec(dialog);
    }
    void OpenUrl(const QUrl& url) override { urls << url; }
};

} // namespace lvtest
