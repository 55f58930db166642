#include "app/gui/Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QUrl>

namespace lv {

namespace {

class TDesktopDialogs : public TDialogs {
public:
    void Message(QWidget* parent, const QString& text) override {
        QMessageBox::information(parent, QApplication::applicationName(), text);
    }
    void Error(QWidget* parent, const QString& text) override {
        QMessageBox::critical(parent, QApplication::applicationName(), text);
    }
    bool Confirm(QWidget* parent, const QString& text) override {
        return QMessageBox::question(parent, QApplication::applicationName(), text) ==
               QMessageBox::Yes;
    }

    int Box(QWidget* parent, TBoxKind kind, const QString& text, bool yesNo) override {
        static const QMessageBox::Icon icons[] = {QMessageBox::NoIcon, QMessageBox::Warning,
                                                  QMessageBox::Critical, QMessageBox::Question,
                                                  QMessageBox::Information};
        QMessageBox box(icons[int(kind)], BoxCaption(kind), text,
                        yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
        const int answer = box.exec();
        return answer == QMessageBox::Yes ? kBoxYes : answer == QMessageBox::No ? kBoxNo : kBoxOk;
    }

    QStringList OpenFiles(QWidget* parent, const TFileDialog& request) override {
        QFileDialog dialog(parent);
        setUp(dialog, request);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(request.Multiple ? QFileDialog::ExistingFiles
                                            : QFileDialog::ExistingFile);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
    }

    QString SaveFile(QWidget* parent, const TFileDialog& request) override {
        QFileDialog dialog(parent);
        setUp(dialog, request);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.ConfirmOverwrite);
        // A name typed without extension gets the chosen filter's.
        if (!request.DefaultSuffix.isEmpty())
            QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                             [&dialog](const QString& filter) {
                                 const QString suffix = FilterSuffix(filter);
                                 if (!suffix.isEmpty())
                                     dialog.setDefaultSuffix(suffix);
                             });
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        if (request.SelectedFilter)
            *request.SelectedFilter = dialog.selectedNameFilter();
        return dialog.selectedFiles().front();
    }

    int Exec(QDialog& dialog) override { return dialog.exec(); }

    void OpenUrl(const QUrl& url) override { QDesktopServices::openUrl(url); }

private:
    static void setUp(QFileDialog& dialog, const TFileDialog& request) {
        dialog.setObjectName(request.Name);
        dialog.setNameFilters(request.Filters);
        if (!request.Folder.isEmpty())
            dialog.setDirectory(request.Folder);
        dialog.setDefaultSuffix(request.DefaultSuffix);
        dialog.setOption(QFileDialog::ReadOnly, false);
    }
};

} // namespace

QString FilterSuffix(const QString& filter) {
    const auto match = QRegularExpression(QStringLiteral("\\*\\.([^ )*;]+)")).match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString BoxCaption(TBoxKind kind) {
    static const char* const captions[] = {"Message", "Warning", "Error", "Question",
                                           "Information"};
    return QString::fromLatin1(captions[int(kind)]);
}

std::unique_ptr<TDialogs> CreateDesktopDialogs() {
    return std::make_unique<TDesktopDialogs>();
}

} // namespace lv
