// lumivane-screenshots PROJECT FOLDER [LANGID]: opens the real window on the display it is given
// (Xvfb in tools/screenshots.sh), loads PROJECT and writes FOLDER/window-idle.png, then the
// preview paused, playing and full screen (FOLDER/preview-*.png), then starts a run and writes
// FOLDER/window-running.png while the preview shows its frames, then FOLDER/dialog-*.png of the
// dialogs the window opens. With LANGID (hex, "040C") the window first switches to that language's
// pack and the files are named *-LANGID.png.
#include "Audio/DecoderLibraries.h"
#include "app/gui/Application.h"
#include "app/gui/Dialogs.h"
#include "app/gui/LangList.h"
#include "app/gui/MainDlg.h"
#include "app/gui/PreviewDlg.h"
#include "app/gui/ProcessSuccessDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

namespace {

QString g_suffix; // "-040C" for the French screenshots

bool shoot(QWidget& window, const QString& file);

// Never blocks: messages are printed, and a form's dialog is shown, photographed and closed.
class PrintingDialogs : public lv::TDialogs {
public:
    QString folder;

private:
    void Message(QWidget*, const QString& t) override { say(t); }
    void Error(QWidget*, const QString& t) override { say("error: " + t); }
    bool Confirm(QWidget*, const QString& t) override {
        say(t);
        return false;
    }
    QStringList OpenFiles(QWidget*, const lv::TFileDialog&) override { return {}; }
    QString SaveFile(QWidget*, const lv::TFileDialog&) override { return {}; }
    int Box(QWidget*, lv::TBoxKind, const QString&, bool) override { return lv::kBoxNo; }
    int Exec(QDialog& dialog) override {
        dialog.show();
        QApplication::processEvents();
        shoot(dialog, folder + "/dialog-" + dialog.objectName() + g_suffix + ".png");
        return QDialog::Rejected;
    }
    void OpenUrl(const QUrl&) override {}
    static void say(const QString& t) { std::fprintf(stderr, "%s\n", qPrintable(t)); }
};

bool shoot(QWidget& window, const QString& file) {
    const QRect r = window.frameGeometry();
    const QPixmap shot = window.screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
    const bool ok = shot.save(file, "PNG");
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    lv::TApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: lumivane-screenshots PROJECT FOLDER [LANGID]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const QString language = argc == 4 ? QString::fromLatin1(argv[3]) : QString();
    g_suffix = language.isEmpty() || language == "0409" ? QString() : "-" + language;
    lv::DecoderLibraries();
    auto dialogs = std::make_unique<PrintingDialogs>();
    dialogs->folder = folder;
    lv::TMainDlg window(std::move(dialogs));
    window.move(0, 0);
    window.show();
    if (!language.isEmpty()) {
        const auto& packs = window.Languages().Packs();
        for (std::size_t i = 0; i < packs.size(); ++i)
            if (lv::LangIdOf(packs[i].Packed) == language.toUInt(nullptr, 16)) {
                window.Languages().SetLanguageIndex(int(i));
                break;
            }
    }
    window.LoadProjectFile(argv[1]);
    window.findChild<QLineEdit*>("out_txt")->setText(folder + "/screenshot-run.avi");
    window.findChild<QCheckBox*>("dynamics_chk")->click();
    window.findChild<QComboBox*>("res_cmb")->setCurrentText("720x576");
    window.findChild<QSpinBox*>("time_txt")->setValue(8000);

    int status = 0;
    auto shot = [&](QWidget& w, const char* name) {
        status |= shoot(w, folder + "/" + name + g_suffix + ".png") ? 0 : 1;
    };
    auto preview = [&] { return window.PreviewWindow(); };
    auto key = [&](Qt::Key k) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(preview(), &press);
    };
    // Each step after the previous one's time has passed.
    const std::vector<std::pair<int, std::function<void()>>> steps = {
        {1500, [&] { shot(window, "window-idle"); }},
        {0, [&] { window.findChild<QPushButton*>("preview_btn")->click(); }},
        {200, [&] { preview()->move(0, 0); }},
        {300, [&] { preview()->findChild<QSlider*>("pos_trk")->setValue(150); }},
        {1200, [&] { shot(*preview(), "preview-idle"); }},
        {0, [&] { key(Qt::Key_Space); }},
        {1500, [&] { shot(*preview(), "preview-playing"); }},
        {0, [&] { key(Qt::Key_F11); }},
        {1200, [&] { shot(*preview(), "preview-fullscreen"); }},
        {0, [&] { window.findChild<QPushButton*>("go_btn")->click(); }},
        {1500, [&] { shot(window, "window-running"); }},
        {0, [&] { window.findChild<QPushButton*>("cancel_btn")->click(); }},
        {1000,
         [&] {
             for (const char* name : {"exp_btn", "codecconfig_btn"})
                 window.findChild<QPushButton*>(name)->click();
             // The organise dialog as a click on the second thumbnail opens it.
             QLabel* slot = window.findChild<QWidget*>("thumb_rct")->findChildren<QLabel*>().at(1);
             QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 10),
                                 slot->mapToGlobal(QPointF(10, 10)), Qt::LeftButton, Qt::LeftButton,
                                 Qt::NoModifier);
             QApplication::sendEvent(slot, &release);
             lv::TProcessSuccessDlg done(window.Dialogs(), &window);
             done.VideoPath = (folder + "/screenshot-run.avi").toStdString();
             window.Dialogs().Exec(done);
             window.findChild<QToolButton*>("about_btn")->click();
             window.findChild<QToolButton*>("settings_btn")->click();
             app.quit();
         }},
    };
    std::function<void(std::size_t)> run = [&](std::size_t i) {
        if (i < steps.size())
            QTimer::singleShot(steps[i].first, &window, [&, i] {
                steps[i].second();
                run(i + 1);
            });
    };
    run(0);
    app.exec();
    QFile::remove(folder + "/screenshot-run.avi");
    return status;
}
