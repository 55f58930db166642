#include "app/gui/Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
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
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().front();
    }

    int Exec(QDialog& dialog) override { return dialog.exec(); }

    std::optional<int> JumpTo(QWidget* parent, int count, int first) override {
        bool ok = false;
        const int chosen = QInputDialog::getInt(parent, QStringLiteral("Jump To..."),
                                                QStringLiteral("First picture shown:"), first + 1,
                                                1, count - 4, 1, &ok);
        return ok ? std::optional<int>(chosen - 1) : std::nullopt;
    }

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

std::unique_ptr<TDialogs> CreateDesktopDialogs() {
    return std::make_unique<TDesktopDialogs>();
}

} // namespace lv
