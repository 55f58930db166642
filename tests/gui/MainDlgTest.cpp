#include "app/gui/MainDlg.h"
#include "MultiPlex/Container.h"
#include "app/gui/ElidedComboBox.h"
#include "app/gui/PreviewDlg.h"
#include "app/gui/PreviewSound.h"
#include "app/run/PreviewFrames.h"

#include "Captions.h"
#include "FakeDialogs.h"
#include "log/KLog.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/SharedThumbnails.h"
#include "support/Ffprobe.h"
#include "support/Pictures.h"
#include "support/Process.h"
#include "support/Sounds.h"
#include "support/TempDir.h"

#include <QAction>
#include <QAudioDevice>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMediaDevices>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolButton>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>

using lvtest::FakeDialogs;

namespace {

// A started window with fake dialogs, and a folder of pictures.
struct Window {
    lvtest::TempDir dir;
    FakeDialogs* dialogs;
    std::unique_ptr<lv::TMainDlg> dlg;

    Window() {
        auto fake = std::make_unique<FakeDialogs>();
        dialogs = fake.get();
        dlg = std::make_unique<lv::TMainDlg>(std::move(fake));
        dlg->show();
    }
    template <typename T = QWidget> T* get(const char* name) const {
        T* w = dlg->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no %s", name);
        return w;
    }
    void click(const char* name) { QTest::mouseClick(get<QAbstractButton>(name), Qt::LeftButton); }
    // Pictures a.jpg, b.bmp, c.jpg... of 160 x 120.
    std::vector<std::string> pictures(int count) {
        std::vector<std::string> files;
        for (int i = 0; i < count; ++i) {
            const bool bmp = i % 2;
            const std::string name = std::string(1, char('a' + i)) + (bmp ? ".bmp" : ".jpg");
            lvtest::savePicture(lvtest::detailedImage(160, 120), dir.file(name),
                                bmp ? "BMP" : "JPG");
            files.push_back(dir.file(name));
        }
        return files;
    }
    QString countPanel() const {
        return dlg->findChild<QStatusBar*>("StatusBar")->findChildren<QLabel*>().at(0)->text();
    }
    QString statusPanel() const {
        return dlg->findChild<QStatusBar*>("StatusBar")->findChildren<QLabel*>().at(1)->text();
    }
    // "Expert", single-frame mode ticked, "Ok".
    void singleFrameMode() {
        dialogs->exec = [](QDialog& d) {
            if (d.objectName() != "ExpertDlg")
                return int(QDialog::Rejected);
            d.findChild<QCheckBox*>("sng_chk")->setChecked(true);
            return int(QDialog::Accepted);
        };
        click("exp_btn");
    }
    bool runToEnd() {
        QSignalSpy finished(dlg->Run(), &lv::TSlideshowRun::Finished);
        return finished.wait(120000);
    }
};

} // namespace

class MainDlgTest : public QObject {
    Q_OBJECT
    std::unique_ptr<Window> m_window;
    QString m_soundServer;
private Q_SLOTS:
    void cleanupTestCase() {
        m_window.reset();
        if (!m_soundServer.isEmpty())
            QProcess::execute(m_soundServer, {"-k"});
    }

    void initTestCase() {
        qputenv("LUMIVANE_SETTINGS_DIR", QByteArray(LUMIVANE_BINARY_DIR "/test-settings-gui"));
        lv::WriteRegString("LastFCC", "");
        // A sound server of the test's own with a silent device, for the preview's sound; it
        // ends by itself once no client is left.
        m_soundServer = QStandardPaths::findExecutable("pulseaudio");
        if (!m_soundServer.isEmpty()) {
            const QByteArray runtime = LUMIVANE_BINARY_DIR "/test-pulse";
            QDir().mkpath(QString::fromUtf8(runtime));
            QFile::setPermissions(QString::fromUtf8(runtime), QFileDevice::ReadOwner |
                                                                  QFileDevice::WriteOwner |
                                                                  QFileDevice::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", runtime);
            QProcess::execute(m_soundServer,
                              {"--daemonize=yes", "--exit-idle-time=10", "-n",
                               "--load=module-null-sink", "--load=module-native-protocol-unix"});
        }
    }

    void namesAndCaptions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const char* rows[][2] = {{"photo_grp", "Photos"},
                                 {"sound_grp", "Soundtrack"},
                                 {"video_grp", "Video Compression"},
                                 {"out_grp", "Output"},
                                 {"options_grp", "Options"},
                                 {"modes_pnl", ""},
                                 {"thumb_rct", ""},
                                 {"thumbstats_lbl", ""},
                                 {"addphotos_btn", "Add Files"},
                                 {"imgreset_btn", "Reset"},
                                 {"prev_btn", "<"},
                                 {"next_btn", ">"},
                                 {"jump_btn", "Jump to...."},
                                 {"organize_btn", "Organize"},
                                 {"load_btn", "Load"},
                                 {"save_btn", "Save"},
                                 {"sound_txt", ""},
                                 {"sound_btn", "Browse"},
                                 {"resetaudio_btn", "Reset"},
                                 {"audioduration_lbl", ""},
                                 {"codecs_grp", "Codecs"},
                                 {"codecs_cmb", ""},
                                 {"codecconfig_btn", "Codec Configuration"},
                                 {"codecabout_btn", "About"},
                                 {"dlcodecs_lbl", "Download More Codecs"},
                                 {"res_grp", "Resolution"},
                                 {"res_cmb", ""},
                                 {"dynamics_chk", "Enable dynamic pictures"},
                                 {"xfade_chk", "Enable Cross-Fading"},
                                 {"osd_chk", "Enable \"On Video Text Insertion\""},
                                 {"exp_btn", "Expert"},
                                 {"time_lbl", "Time per picture (ms) :"},
                                 {"time_txt", ""},
                                 {"matchaudio_btn", "Match audio"},
                                 {"fps_lbl", "Fps :"},
                                 {"FPS_txt", ""},
                                 {"out_txt", ""},
                                 {"out_btn", "Browse"},
                                 {"prog_lbl", ""},
                                 {"pb", ""},
                                 {"go_btn", "Go !"},
                                 {"cancel_btn", "Cancel"},
                                 {"preview_btn", "Preview"},
                                 {"preview_grp", "Preview"},
                                 {"img", ""},
                                 {"Shape1", ""},
                                 {"settings_btn", "Settings"},
                                 {"help_btn", "Help"},
                                 {"about_btn", "About..."},
                                 {"StatusBar", ""},
                                 {"menu", ""},
                                 {"File1", "File"},
                                 {"Load1", "Load"},
                                 {"Save1", "Save"},
                                 {"Quit1", "Quit"},
                                 {"Pictures1", "Pictures"},
                                 {"Add1", "Add"},
                                 {"reset1", "Reset"},
                                 {"N4", ""},
                                 {"Organize1", "Organize"},
                                 {"Preview1", "Preview"},
                                 {"Sound1", "Sound"},
                                 {"Select1", "Add"},
                                 {"Remove1", "Remove"},
                                 {"N1", "?"},
                                 {"Help1", "Help"},
                                 {"N3", ""},
                                 {"About1", "About"}};
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString(row[0]) << QString(row[1]);
    }
    void namesAndCaptions() {
        if (!m_window)
            m_window = std::make_unique<Window>();
        Window& w = *m_window;
        QFETCH(QString, name);
        QFETCH(QString, text);
        QObject* o = w.dlg->findChild<QObject*>(name);
        QVERIFY2(o, qPrintable(name + " is missing"));
        QCOMPARE(lvtest::caption(o), text);
        if (auto* widget = qobject_cast<QWidget*>(o);
            widget && !text.isEmpty() && widget->isVisible())
            QVERIFY2(lvtest::fitsCaption(widget),
                     qPrintable(QStringLiteral("%1 cuts its caption off: %2 of %3 pixels")
                                    .arg(name)
                                    .arg(widget->width())
                                    .arg(widget->sizeHint().width())));
    }

    void formIsFixedAndStartsWithItsDefaults() {
        Window w;
        QCOMPARE(w.dlg->objectName(), QString("MainDlg"));
        QVERIFY(w.dlg->windowTitle().startsWith("Lumivane v"));
        QCOMPARE(w.dlg->minimumSize(), w.dlg->maximumSize());
        QVERIFY(!(w.dlg->windowFlags() & Qt::WindowMaximizeButtonHint));
        auto* res = w.get<QComboBox>("res_cmb");
        QCOMPARE(res->count(), 7);
        QCOMPARE(res->itemText(2), QString("720x576"));
        QCOMPARE(res->currentText(), QString("640x480"));
        QVERIFY(w.get<QComboBox>("codecs_cmb")->currentText().startsWith("XVID"));
        QCOMPARE(w.get<QSpinBox>("time_txt")->value(), 3000);
        QCOMPARE(w.get<QSpinBox>("FPS_txt")->value(), 15);
        QVERIFY(!w.get("matchaudio_btn")->isEnabled());
        QVERIFY(!w.get("cancel_btn")->isEnabled());
        QCOMPARE(w.countPanel(), QString("0 pictures"));
        // The first log lines of a start.
        const auto lines = w.dlg->Log()->Lines();
        QVERIFY(std::find(lines.begin(), lines.end(), "Info\tStarting") != lines.end());
        QCOMPARE(QString::fromStdString(
                     lv::ReadRegString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessaro", "Lumivane")),
                 QString::fromStdString(lv::ProgramFolder() + "lumivane"));
    }

    // A compressor's name too long for the box ends in "…" after its FourCC; the whole name
    // is the tool tip.
    void longCodecNamesEndInAnEllipsis() {
        Window w;
        auto* codecs = w.get<lv::TElidedComboBox>("codecs_cmb");
        const QString name = "QQQQ " + QString("a long description ").repeated(8);
        for (const QString& line : {name, QString("DIB ")}) {
            codecs->addItem(line);
            codecs->setCurrentIndex(codecs->count() - 1);
            QCOMPARE(codecs->itemData(codecs->currentIndex(), Qt::ToolTipRole).toString(), line);
        }
        QCOMPARE(codecs->DisplayedText(), QString("DIB "));
        QCOMPARE(codecs->toolTip(), QString());
        codecs->setCurrentIndex(codecs->count() - 2);
        const QString shown = codecs->DisplayedText();
        QVERIFY2(shown.startsWith("QQQQ a") && shown.endsWith(QChar(0x2026)), qPrintable(shown));
        QVERIFY(codecs->fontMetrics().horizontalAdvance(shown) < codecs->width());
        QCOMPARE(codecs->toolTip(), name);
    }

    void enableControlsTouchesExactlyTheEditingControls() {
        Window w;
        const QStringList editing = {
            "sound_btn",       "resetaudio_btn", "sound_txt", "organize_btn", "addphotos_btn",
            "imgreset_btn",    "load_btn",       "save_btn",  "dynamics_chk", "FPS_txt",
            "matchaudio_btn",  "osd_chk",        "time_txt",  "xfade_chk",    "exp_btn",
            "codecconfig_btn", "codecs_cmb",     "res_cmb",   "go_btn",       "out_btn",
            "out_txt",         "preview_btn"};
        const QStringList commands = {"Load1",     "Save1",    "Add1",    "reset1",
                                      "Organize1", "Preview1", "Select1", "Remove1"};
        w.dlg->EnableControls(false);
        // Every named control of the form other than these stays usable (the strip's
        // buttons, the codec's About, the side panel...).
        for (QWidget* widget : w.dlg->findChildren<QWidget*>()) {
            const QString name = widget->objectName();
            if (name.isEmpty() || name.startsWith("qt_") || widget->isWindow())
                continue;
            QVERIFY2(widget->isEnabled() == !editing.contains(name), qPrintable(name));
        }
        QVERIFY(w.get("cancel_btn")->isEnabled());
        for (QAction* a : w.dlg->findChildren<QAction*>())
            if (!a->objectName().isEmpty())
                QVERIFY2(a->isEnabled() == !commands.contains(a->objectName()),
                         qPrintable(a->objectName()));
        w.dlg->EnableControls(true);
        for (const QString& name : editing)
            QVERIFY2(w.get(qPrintable(name))->isEnabled() != (name == "matchaudio_btn"),
                     qPrintable(name + " (Match audio needs a soundtrack)"));
        QVERIFY(!w.get("cancel_btn")->isEnabled());
    }

    void optionsFollowTheirRules() {
        Window w;
        auto* fps = w.get<QSpinBox>("FPS_txt");
        auto* time = w.get<QSpinBox>("time_txt");
        fps->setValue(42);
        w.click("dynamics_chk");
        QCOMPARE(fps->value(), 25);
        fps->setValue(7);
        w.click("dynamics_chk");
        QCOMPARE(fps->value(), 15);
        // Typed values: nearest, ties to even, then into the limits.
        const struct {
            QSpinBox* box;
            const char* typed;
            int value;
        } typed[] = {{fps, "2.5", 2}, {fps, "3.5", 4}, {fps, "99", 60}, {time, "55", 100}};
        for (const auto& t : typed) {
            t.box->findChild<QLineEdit*>()->selectAll();
            QTest::keyClicks(t.box, t.typed);
            QTest::keyClick(t.box, Qt::Key_Enter);
            QCOMPARE(t.box->value(), t.value);
        }

        // Expert: "Ok" with single frame mode disables the timing controls; cancel changes
        // nothing; the end of a run would enable them again.
        w.singleFrameMode();
        for (const char* name :
             {"dynamics_chk", "xfade_chk", "osd_chk", "time_txt", "matchaudio_btn"})
            QVERIFY2(!w.get(name)->isEnabled(), name);
        QVERIFY(w.get<QCheckBox>("xfade_chk")->isChecked());
        w.dialogs->exec = [](QDialog& d) {
            if (!d.findChild<QCheckBox*>("sng_chk")->isChecked())
                qFatal("the dialog must show the current mode");
            d.findChild<QCheckBox*>("sng_chk")->setChecked(false);
            return int(QDialog::Rejected);
        };
        w.click("exp_btn");
        QVERIFY(!w.get("dynamics_chk")->isEnabled());
        w.dlg->EnableControls(true);
        QVERIFY(w.get("dynamics_chk")->isEnabled());
    }

    void matchAudioSpreadsTheSoundtrackOverThePictures() {
        Window w;
        const std::string song =
            lvtest::makeMp3(w.dir.path().string(), "song", {"-b", "32"}, 22050, 1, 60.0);
        w.dlg->SetSoundtrackFile(song);
        QCOMPARE(w.get<QLineEdit>("sound_txt")->text(), QString::fromStdString(song));
        QCOMPARE(w.get<QLabel>("audioduration_lbl")->text(), QString("1:00"));
        QVERIFY(w.get("matchaudio_btn")->isEnabled());
        const std::string picture = w.pictures(1).front();
        w.dlg->AddPictureFiles(std::vector<std::string>(10, picture));
        auto* time = w.get<QSpinBox>("time_txt");
        w.click("matchaudio_btn");
        QCOMPARE(time->value(), 4615);
        w.get<QCheckBox>("xfade_chk")->setChecked(false);
        w.click("matchaudio_btn");
        QCOMPARE(time->value(), 6000);
        QVERIFY(w.dialogs->messages.isEmpty());
        w.dlg->AddPictureFiles(std::vector<std::string>(990, picture));
        w.click("matchaudio_btn");
        QCOMPARE(time->value(), 100);
        QCOMPARE(w.dialogs->messages,
                 QStringList{"Soundtrack too short or too many picture loaded. Using minimal "
                             "picture duration."});
        // A file no reader takes keeps the soundtrack; Reset forgets it.
        std::ofstream(w.dir.file("notes.txt")) << "text";
        w.dlg->SetSoundtrackFile(w.dir.file("notes.txt"));
        QCOMPARE(w.get<QLineEdit>("sound_txt")->text(), QString::fromStdString(song));
        w.click("resetaudio_btn");
        QVERIFY(w.get<QLineEdit>("sound_txt")->text().isEmpty());
        QVERIFY(w.get<QLabel>("audioduration_lbl")->text().isEmpty());
        QVERIFY(!w.get("matchaudio_btn")->isEnabled());
        QCOMPARE(w.dlg->SoundtrackDuration(), 0);

        // Without a soundtrack nothing enables it: neither leaving single-frame mode nor a
        // project whose soundtrack is refused.
        w.singleFrameMode();
        w.dialogs->exec = [](QDialog& d) {
            if (auto* single = d.findChild<QCheckBox*>("sng_chk"))
                single->setChecked(false);
            return int(d.objectName() == "ExpertDlg" ? QDialog::Accepted : QDialog::Rejected);
        };
        w.click("exp_btn");
        QVERIFY(w.get("time_txt")->isEnabled());
        QVERIFY(!w.get("matchaudio_btn")->isEnabled());
        std::ofstream(w.dir.file("noise.mp3"), std::ios::binary) << std::string(20000, 'Z');
        std::ofstream(w.dir.file("p.lmv")) << ";Sound=" << w.dir.file("noise.mp3") << "\n"
                                           << picture << "\n";
        w.dlg->LoadProjectFile(w.dir.file("p.lmv"));
        QCOMPARE(w.dialogs->errors.size(), 1);
        QVERIFY(!w.get("matchaudio_btn")->isEnabled());
    }

    void picturesComeInFolderOrderAndTheStripFollows() {
        Window w;
        const auto files = w.pictures(7);
        // Chosen c, a, b in the dialog: added in the folder's order.
        w.dialogs->openAnswers << QStringList{QString::fromStdString(files[2]),
                                              QString::fromStdString(files[0]),
                                              QString::fromStdString(files[1])};
        w.click("addphotos_btn");
        QCOMPARE(w.dialogs->fileDialogs.back().Name, QString("JOD"));
        QVERIFY(w.dialogs->fileDialogs.back().Multiple);
        const auto& paths = w.dlg->Pictures().PicturePaths.Items();
        QCOMPARE(paths, (std::vector<std::string>{files[0], files[1], files[2]}));
        QCOMPARE(QString::fromStdString(lv::ReadRegString("PicsPath")),
                 QString::fromStdString(w.dir.path().string() + "/"));
        QCOMPARE(w.get<QLabel>("thumbstats_lbl")->text(), QString("1 - 3 / 3"));
        auto slots = w.get("thumb_rct")->findChildren<QLabel*>();
        QCOMPARE(slots.size(), 5);
        QVERIFY(slots[2]->isVisible() && !slots[3]->isVisible());
        QVERIFY(!slots[0]->pixmap().isNull());
        // Kept in the desktop's thumbnail cache, for the next view here or in a file manager.
        for (int i = 0; i < 3; ++i)
            QVERIFY(
                QFile::exists(QString::fromStdString(lv::TSharedThumbnails().PathFor(files[i]))));
        w.click("next_btn");
        QCOMPARE(w.get<QLabel>("thumbstats_lbl")->text(), QString("1 - 3 / 3"));

        // Texts after a TAB; other extensions and missing files are logged, not added.
        lvtest::savePicture(lvtest::solidImage(8, 8, 0xFF00FF00u), w.dir.file("x.JPG"), "JPG");
        lvtest::savePicture(lvtest::solidImage(8, 8, 0xFF00FF00u), w.dir.file("y.Jpeg"), "JPG");
        std::ofstream(w.dir.file("c.gif")) << "gif";
        w.dlg->AddPictureFiles({files[3] + "\tHello\tWorld", w.dir.file("x.JPG"),
                                w.dir.file("y.Jpeg"), w.dir.file("c.gif"), w.dir.file("none.jpg"),
                                files[4], files[5], files[6]});
        QCOMPARE(int(w.dlg->Pictures().Count()), 9);
        QCOMPARE(w.dlg->Pictures().PictureTexts[3], std::string("Hello\tWorld"));
        // Those out of view are made ahead, for browsing (at idle priority: whenever a core is).
        QTRY_VERIFY_WITH_TIMEOUT(
            QFile::exists(QString::fromStdString(lv::TSharedThumbnails().PathFor(files[6]))),
            60000);
        QCOMPARE(w.countPanel(), QString("9 pictures"));
        const auto log = w.dlg->Log()->Lines();
        QVERIFY(std::find(log.begin(), log.end(),
                          "Error\tFile not supported : " + w.dir.file("c.gif")) != log.end());
        QVERIFY(std::find(log.begin(), log.end(),
                          "Error\tFile not found : " + w.dir.file("none.jpg")) != log.end());

        // Nine pictures: ">" moves by one up to 9 - 5, "<" back; a jump goes anywhere.
        for (int i = 0; i < 6; ++i)
            w.click("next_btn");
        QCOMPARE(w.get<QLabel>("thumbstats_lbl")->text(), QString("5 - 9 / 9"));
        w.click("prev_btn");
        QCOMPARE(w.get<QLabel>("thumbstats_lbl")->text(), QString("4 - 8 / 9"));
        w.dialogs->exec = [](QDialog& d) {
            d.findChild<QSlider*>("trk")->setValue(1);
            return int(QDialog::Accepted);
        };
        w.click("jump_btn");
        QCOMPARE(w.get<QLabel>("thumbstats_lbl")->text(), QString("2 - 6 / 9"));

        // The hidden counter keeps its place: nothing below it moves.
        const auto soundAt = [&] {
            w.dlg->layout()->activate();
            QCoreApplication::processEvents();
            return w.get("sound_grp")->mapTo(w.dlg.get(), QPoint(0, 0));
        };
        const QPoint before = soundAt();
        w.click("imgreset_btn");
        QCOMPARE(w.countPanel(), QString("0 pictures"));
        QVERIFY(!w.get("thumbstats_lbl")->isVisible());
        QVERIFY(!slots[0]->isVisible());
        QCOMPARE(soundAt(), before);
    }

    // A picture replaced by a pipe after it was added: the strip shows it as unusable and
    // the window goes on answering (it used to block for good on ">").
    void aPipeInThePictureListBlocksNothing() {
        Window w;
        const auto files = w.pictures(6);
        w.dlg->AddPictureFiles(files);
        std::filesystem::remove(files.back());
        QCOMPARE(::mkfifo(files.back().c_str(), 0600), 0);
        w.click("next_btn");
        QCOMPARE(w.get<QLabel>("thumbstats_lbl")->text(), QString("2 - 6 / 6"));
        QVERIFY(w.dialogs->errors.isEmpty());
    }

    void projectsSaveAndLoadThroughTheWindow() {
        Window w;
        const auto files = w.pictures(2);
        w.dlg->AddPictureFiles({files[0], files[1] + "\tSecond"});
        w.dialogs->saveAnswers << QString::fromStdString(w.dir.file("show.AVI"));
        w.click("out_btn");
        QCOMPARE(w.get<QLineEdit>("out_txt")->text(),
                 QString::fromStdString(w.dir.file("show.AVI.avi")));
        QCOMPARE(w.dialogs->fileDialogs.back().DefaultSuffix, QString("avi"));

        // A new project file is created only once the user agrees.
        w.dialogs->confirmAnswer = false;
        w.dialogs->saveAnswers << QString::fromStdString(w.dir.file("show"));
        w.click("save_btn");
        QVERIFY(!lv::FileExists(w.dir.file("show.lmv")));
        QCOMPARE(w.dialogs->confirmations.size(), 1);
        w.dialogs->confirmAnswer = true;
        w.dialogs->saveAnswers << QString::fromStdString(w.dir.file("show"));
        w.click("save_btn");
        std::ifstream in(w.dir.file("show.lmv"), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        QCOMPARE(QString::fromStdString(text),
                 QString::fromStdString(";Sound=\r\n;Output=" + w.dir.file("show.AVI.avi") +
                                        "\r\n" + files[0] + "\r\n" + files[1] + "\tSecond\r\n"));
        // An existing file is replaced without a question.
        w.dialogs->saveAnswers << QString::fromStdString(w.dir.file("show.lmv"));
        w.click("save_btn");
        QCOMPARE(w.dialogs->confirmations.size(), 2);

        Window other;
        other.dialogs->openAnswers << QStringList{QString::fromStdString(w.dir.file("show.lmv"))};
        other.click("load_btn");
        QCOMPARE(other.dlg->Pictures().PicturePaths.Items(),
                 w.dlg->Pictures().PicturePaths.Items());
        QCOMPARE(other.dlg->Pictures().PictureTexts[1], std::string("Second"));
        QCOMPARE(other.get<QLineEdit>("out_txt")->text(),
                 QString::fromStdString(w.dir.file("show.AVI.avi")));
        QCOMPARE(other.countPanel(), QString("2 pictures"));
        QVERIFY(other.dialogs->errors.isEmpty());
    }

    // Leaks show as threads, open files or memory that grow with the cycles; the count can be
    // raised (LUMIVANE_CYCLES=200) for the hardening figures.
    void startAndCancelCyclesLeaveNoThreadOrFileBehind() {
        Window w;
        w.dlg->AddPictureFiles(w.pictures(2));
        w.get<QLineEdit>("out_txt")->setText(QString::fromStdString(w.dir.file("cycle.avi")));
        const auto entries = [](const char* folder) {
            return std::distance(std::filesystem::directory_iterator(folder), {});
        };
        const int cycles = qEnvironmentVariableIntValue("LUMIVANE_CYCLES") ?: 30;
        long fds = 0, threads = 0, rssKb = 0;
        for (int cycle = 0; cycle < cycles; ++cycle) {
            QSignalSpy finished(w.dlg->Run(), &lv::TSlideshowRun::Finished);
            w.click("go_btn");
            w.click("cancel_btn");
            QVERIFY(!finished.isEmpty() || finished.wait(60000));
            QVERIFY(w.get("go_btn")->isEnabled());
            if (cycle == 2) { // after the first runs have set up what stays
                fds = entries("/proc/self/fd");
                threads = entries("/proc/self/task");
                rssKb = lvtest::residentKb();
            }
        }
        QVERIFY2(entries("/proc/self/fd") <= fds, "open files grew with the runs");
        QVERIFY2(entries("/proc/self/task") <= threads, "threads grew with the runs");
        qInfo("%d start/cancel cycles: %ld open files, %ld threads, resident %+ld KB after the "
              "third",
              cycles, fds, threads, lvtest::residentKb() - rssKb);
        QVERIFY(w.dialogs->errors.isEmpty());
        // From the second run on, each stopped run's video is kept beside the first one's.
        QCOMPARE(w.dialogs->messages.filter(QRegularExpression("^Aborted by user\\.")).size(),
                 cycles);
        QVERIFY(lv::FileExists(w.dir.file("cycle.partial.avi")));
    }

    void aRunDrivenLikeAUserReachesTheDoneStep() {
        Window w;
        w.click("go_btn");
        QCOMPARE(w.dialogs->messages, QStringList{"Empty picture list"});
        w.dlg->AddPictureFiles(w.pictures(2));
        w.click("go_btn");
        QCOMPARE(w.dialogs->messages.back(), QString("Invalid output file"));
        QVERIFY(w.get("go_btn")->isEnabled());
        // A writer that cannot open its file: the error box tells where, and the window
        // stays usable.
        w.get<QLineEdit>("out_txt")->setText("/no/such/folder/show.avi");
        w.click("go_btn");
        QCOMPARE(w.dialogs->errors,
                 QStringList{"FileOpen failed. Err: $8004406F. No such file or directory: "
                             "\"/no/such/folder/show.avi\" (U_BmpToAvi, line 304)"});
        QVERIFY(w.get("go_btn")->isEnabled() && !w.get("cancel_btn")->isEnabled());
        w.dialogs->errors.clear();

        const std::string song =
            lvtest::makeMp3(w.dir.path().string(), "song", {"-b", "128"}, 44100, 2, 2.0);
        w.dialogs->openAnswers << QStringList{QString::fromStdString(song)};
        w.click("sound_btn");
        w.dialogs->saveAnswers << QString::fromStdString(w.dir.file("show.avi"));
        w.click("out_btn");
        w.get<QSpinBox>("time_txt")->setValue(2000); // 15 fps x 2000 ms: just enough
        // The done step comes after the status and the progress label are cleared.
        QString seenAtDone = "not shown";
        w.dialogs->exec = [&](QDialog& d) {
            if (d.objectName() == "ProcessSuccessDlg")
                seenAtDone = w.statusPanel() + w.get<QLabel>("prog_lbl")->text();
            return int(QDialog::Rejected);
        };
        w.click("go_btn");
        QVERIFY(!w.get("go_btn")->isEnabled());
        QVERIFY(w.get("cancel_btn")->isEnabled());
        QVERIFY(w.get("jump_btn")->isEnabled());
        QCOMPARE(w.statusPanel(), QString("Processing Video"));
        QVERIFY(w.runToEnd());
        QVERIFY2(w.dialogs->errors.isEmpty(), qPrintable(w.dialogs->errors.join("\n")));
        QCOMPARE(w.dialogs->executed.back(), QString("ProcessSuccessDlg"));
        QCOMPARE(w.dialogs->doneVideo, w.dir.file("show.avi"));
        QCOMPARE(seenAtDone, QString());
        QVERIFY(w.dlg->PreviewUpdates() > 0);
        QVERIFY(!w.get<QLabel>("img")->pixmap().isNull());
        QVERIFY(w.get("go_btn")->isEnabled());
        QCOMPARE(w.get<QProgressBar>("pb")->value(), 0);
        QVERIFY(!lv::FileExists(w.dir.file("temp.avi")));
        const auto streams = lvtest::probeStreams(w.dir.file("show.avi"));
        QCOMPARE(int(streams.size()), 2);
        QCOMPARE(QString::fromStdString(streams[0].codecTagString), QString("XVID"));
        QCOMPARE(QString::fromStdString(streams[1].codecTag), QString("0x0055"));
        QCOMPARE(QString::fromStdString(lv::ReadRegString("LastFCC")), QString("XVID"));
        QVERIFY(w.get<QCheckBox>("xfade_chk")->isChecked());

        // A soundtrack deleted since it was chosen counts as none. 15 fps x 1900 ms leaves
        // no room for the options: off, with the message.
        std::filesystem::remove(song);
        w.get<QSpinBox>("time_txt")->setValue(1900);
        w.dialogs->messages.clear();
        bool checkedAtMessage = true;
        w.dialogs->onMessage = [&](const QString& text) {
            if (text.startsWith("Visual options"))
                checkedAtMessage = w.get<QCheckBox>("xfade_chk")->isChecked();
        };
        w.click("go_btn");
        QVERIFY(w.runToEnd());
        QCOMPARE(w.dialogs->messages,
                 (QStringList{"Visual options disabled due to incompatible temporal settings",
                              QString::fromStdString("The video has no sound: the soundtrack " +
                                                     song + " is gone.")}));
        QCOMPARE(w.dialogs->executed.back(), QString("ProcessSuccessDlg"));
        QVERIFY(!w.get<QCheckBox>("xfade_chk")->isChecked());
        QVERIFY(!w.get<QCheckBox>("osd_chk")->isChecked());
        QVERIFY2(!checkedAtMessage, "the options are unchecked before the message");
        QCOMPARE(int(lvtest::probeStreams(w.dir.file("show.avi")).size()), 1);

        // Single-frame mode at 1 fps: the rule still applies to the checked (disabled)
        // options, and the end of the run ends the mode.
        w.click("resetaudio_btn");
        w.get<QCheckBox>("xfade_chk")->setChecked(true);
        w.get<QSpinBox>("FPS_txt")->setValue(1);
        w.get<QSpinBox>("time_txt")->setValue(3000);
        w.singleFrameMode();
        w.dialogs->messages.clear();
        w.click("go_btn");
        QVERIFY(w.runToEnd());
        QCOMPARE(w.dialogs->messages,
                 QStringList{"Visual options disabled due to incompatible temporal settings"});
        QVERIFY(!w.get<QCheckBox>("xfade_chk")->isChecked());
        QVERIFY(w.get("dynamics_chk")->isEnabled());
        QCOMPARE(lvtest::probeStreams(w.dir.file("show.avi")).at(0).packets, 2LL);
    }

    // MP4 from the save dialog's second filter, H264 proposed for the web, a whole run.
    void aRunToMp4ThroughTheWindow() {
        if (lv::WebCompressor().empty())
            QSKIP("no H264 compressor installed");
        Window w;
        w.dlg->AddPictureFiles(w.pictures(2));
        w.dialogs->saveFilterAnswer = "MP4 Files (*.mp4)";
        w.dialogs->saveAnswers << QString::fromStdString(w.dir.file("web"));
        w.click("out_btn");
        QCOMPARE(w.dialogs->fileDialogs.back().Filters,
                 (QStringList{"AVI Files (*.avi)", "MP4 Files (*.mp4)", "Matroska Files (*.mkv)"}));
        QCOMPARE(w.get<QLineEdit>("out_txt")->text(),
                 QString::fromStdString(w.dir.file("web.mp4")));
        QCOMPARE(w.dialogs->confirmations.size(), 1);
        QVERIFY(w.dialogs->confirmations[0].contains("XVID") &&
                w.dialogs->confirmations[0].endsWith("Use H264 instead?"));
        QVERIFY(w.get<QComboBox>("codecs_cmb")->currentText().startsWith("H264"));

        // Declined, the user's compressor stays; a name with a container's extension keeps it.
        auto* codecs = w.get<QComboBox>("codecs_cmb");
        codecs->setCurrentIndex(codecs->findText("XVID", Qt::MatchStartsWith));
        w.dialogs->confirmAnswer = false;
        w.dialogs->saveFilterAnswer.clear();
        w.dialogs->saveAnswers << QString::fromStdString(w.dir.file("keep.mkv"));
        w.click("out_btn");
        QCOMPARE(w.get<QLineEdit>("out_txt")->text(),
                 QString::fromStdString(w.dir.file("keep.mkv")));
        QCOMPARE(w.dialogs->confirmations.size(), 2);
        QVERIFY(codecs->currentText().startsWith("XVID"));

        codecs->setCurrentIndex(codecs->findText("H264", Qt::MatchStartsWith));
        w.get<QLineEdit>("out_txt")->setText(QString::fromStdString(w.dir.file("web.mp4")));
        w.dlg->SetSoundtrackFile(
            lvtest::makeMp3(w.dir.path().string(), "song", {"-b", "128"}, 44100, 2, 2.0));
        w.get<QSpinBox>("time_txt")->setValue(2000);
        w.click("go_btn");
        QVERIFY(w.runToEnd());
        QVERIFY2(w.dialogs->errors.isEmpty(), qPrintable(w.dialogs->errors.join("\n")));
        QCOMPARE(w.dialogs->doneVideo, w.dir.file("web.mp4"));
        const auto streams = lvtest::probeStreams(w.dir.file("web.mp4"));
        QCOMPARE(int(streams.size()), 2);
        QCOMPARE(QString::fromStdString(streams[0].codecName), QString("h264"));
        QCOMPARE(QString::fromStdString(streams[1].codecName), QString("mp3"));
        QVERIFY(!lv::FileExists(w.dir.file("temp.avi")));
    }

    // The preview shows the frames the run makes: those shown at full size and scaled into a
    // smaller view are compared with the uncompressed video that "Go !" makes after closing
    // the preview. Keys and the slider move it; a preview that composes slowly drops frames
    // and keeps time.
    void thePreviewPlaysTheFramesOfTheVideo() {
        Window w;
        w.click("preview_btn");
        QCOMPARE(w.dialogs->messages, QStringList{"Empty picture list"});
        QVERIFY(!w.dlg->PreviewWindow());
        w.dlg->LoadProjectFile(LUMIVANE_SOURCE_DIR "/examples/example.lmv");
        auto* res = w.get<QComboBox>("res_cmb");
        res->setCurrentIndex(res->findText("320x240"));
        w.click("dynamics_chk"); // pan at 25 fps: 75 frames a picture, 18-frame fades
        w.get<QAction>("Preview1")->trigger();
        lv::TPreviewDlg* p = w.dlg->PreviewWindow();
        QVERIFY(p);
        QVERIFY(QTest::qWaitForWindowExposed(p));
        auto* slider = p->findChild<QSlider*>("pos_trk");
        auto* screen = p->findChild<QWidget*>("screen");
        const QSize fitted = QSize(320, 240).scaled(screen->size(), Qt::KeepAspectRatio);
        QTRY_COMPARE(p->ShownImage().size(), fitted); // the first frame too, once shown
        QCOMPARE(p->ShownFrame(), 0);
        QCOMPARE(p->Frames()->FrameCount(), 5 * 75 + 4 * 18);

        struct Seen {
            int frame;
            QImage image;
            QSize view;
        };
        std::vector<Seen> seen;
        auto showAt = [&](int frame, QSize view) {
            slider->setValue(frame);
            QTRY_COMPARE(p->ShownFrame(), frame);
            seen.push_back({frame, p->ShownImage(), view});
        };
        p->Frames()->SetViewSize(QSize());    // as composed: byte for byte
        for (const int frame : {40, 80, 200}) // on a pan, in a fade, past a picture
            showAt(frame, QSize());
        QCOMPARE(seen[0].image.size(), QSize(320, 240)); // no view size: not scaled
        QCOMPARE(p->findChild<QLabel*>("picturenum_lbl")->text(), QString("3 / 5"));
        QCOMPARE(p->findChild<QLabel*>("time_lbl")->text(), QString("0:08.00 / 0:17.88"));
        p->Frames()->SetViewSize(screen->size()); // as the window shows it: scaled to fit
        showAt(92, screen->size());
        QCOMPARE(p->ShownImage().size(), fitted);

        QTest::keyClick(p, Qt::Key_Right);
        QTRY_COMPARE(p->ShownFrame(), 93);
        QTest::keyClick(p, Qt::Key_Left);
        QTest::keyClick(p, Qt::Key_Left);
        QTRY_COMPARE(p->ShownFrame(), 91);
        QVERIFY(!p->Playing());
        // Dragged, the slider shows its frames; the clock moves when it is let go.
        slider->setSliderDown(true);
        slider->setValue(300);
        QTRY_COMPARE(p->ShownFrame(), 300);
        QCOMPARE(p->Position(), 91);
        slider->setSliderDown(false);
        QCOMPARE(p->Position(), 300);
        // The lists were read when the preview opened: emptied since, it plays on.
        w.click("imgreset_btn");
        QCOMPARE(w.dlg->Pictures().Count(), std::size_t(0));
        QTest::keyClick(p, Qt::Key_Right);
        QTRY_COMPARE(p->ShownFrame(), 301);
        // Real time: 25 frames a second from where play started.
        auto playFor = [&](int ms) {
            const int from = p->Position();
            QElapsedTimer t;
            t.start();
            QTest::keyClick(p, Qt::Key_Space);
            const qint64 lag = t.elapsed(); // play started within this
            QVERIFY(p->Playing());
            QTest::qWait(ms);
            const qint64 before = t.elapsed();
            QTest::keyClick(p, Qt::Key_Space);
            const qint64 after = t.elapsed(); // paused within these
            QVERIFY(!p->Playing());
            const int early = from + int((before - lag) / 40) - 1,
                      late = from + int(after / 40) + 1;
            QVERIFY2(
                p->Position() >= early && p->Position() <= late,
                qPrintable(
                    QStringLiteral("at %1, due %2 to %3").arg(p->Position()).arg(early).arg(late)));
        };
        playFor(400);
        p->Frames()->SetMinimumComposeTime(100); // two and a half frames' time
        QSignalSpy shown(p, &lv::TPreviewDlg::FrameShown);
        playFor(1000);
        QVERIFY2(p->Dropped() >= 10, qPrintable(QString::number(p->Dropped())));
        QVERIFY(shown.size() >= 3 && shown.size() <= 14);
        for (int i = 1; i < shown.size(); ++i)
            QVERIFY(shown[i][0].toInt() > shown[i - 1][0].toInt());

        QTest::keyClick(p, Qt::Key_F11);
        QVERIFY(p->isFullScreen() && !p->findChild<QWidget*>("controls_pnl")->isVisible());
        QTest::keyClick(p, Qt::Key_Escape);
        QVERIFY(!p->isFullScreen() && p->findChild<QWidget*>("controls_pnl")->isVisible());
        QTest::keyClick(p, Qt::Key_Escape); // closes it, and frees what it loaded
        QTRY_VERIFY(!w.dlg->PreviewWindow());

        // "Go !" closes the preview before the run starts.
        w.dlg->LoadProjectFile(LUMIVANE_SOURCE_DIR "/examples/example.lmv");
        w.click("preview_btn");
        QVERIFY(w.dlg->PreviewWindow());
        w.click("resetaudio_btn");
        auto* codecs = w.get<QComboBox>("codecs_cmb");
        codecs->setCurrentIndex(codecs->findText("DIB ", Qt::MatchStartsWith));
        w.get<QLineEdit>("out_txt")->setText(QString::fromStdString(w.dir.file("run.avi")));
        w.click("go_btn");
        QVERIFY(!w.dlg->PreviewWindow());
        QVERIFY(w.runToEnd());
        QVERIFY2(w.dialogs->errors.isEmpty(), qPrintable(w.dialogs->errors.join("\n")));
        for (const Seen& s : seen) {
            const QImage video = lvtest::videoFrame(w.dir.file("run.avi"), s.frame, 320, 240);
            QVERIFY(!video.isNull());
            QVERIFY2(s.image == lv::PreviewImage(video, s.view),
                     qPrintable(QString::number(s.frame)));
        }
    }

    // The soundtrack plays from the clock's position and stays with it.
    void thePreviewsSoundFollowsItsClock() {
        Window w;
        w.dlg->LoadProjectFile(LUMIVANE_SOURCE_DIR "/examples/example.lmv");
        const std::string song =
            lvtest::makeMp3(w.dir.path().string(), "song", {"-b", "128"}, 44100, 2, 8.0);
        w.dlg->SetSoundtrackFile(song);
        // Replaced by a pipe since it was chosen: silent, and said; nothing waits on it.
        std::filesystem::rename(song, song + ".kept");
        QCOMPARE(::mkfifo(song.c_str(), 0600), 0);
        w.click("preview_btn");
        QVERIFY(w.dlg->PreviewWindow()
                    ->findChild<QLabel*>("nosound_lbl")
                    ->isVisibleTo(w.dlg->PreviewWindow()));
        std::filesystem::remove(song);
        std::filesystem::rename(song + ".kept", song);
        w.click("preview_btn"); // 15 fps: a frame every 66 ms
        lv::TPreviewDlg* p = w.dlg->PreviewWindow();
        QVERIFY(p && QTest::qWaitForWindowExposed(p));
        // Without a sound device it plays silent, and says so.
        const bool device = !QMediaDevices::audioOutputs().isEmpty();
        QCOMPARE(p->findChild<QLabel*>("nodevice_lbl")->isVisibleTo(p), !device);
        if (!device)
            QSKIP("no sound device (pulseaudio missing)");
        const lv::TPreviewSound* sound = p->Sound();
        QCOMPARE(int(sound->Silence()), int(lv::TPreviewSound::TSilence::None));
        p->findChild<QSlider*>("pos_trk")->setValue(30); // 1980 ms
        QTest::keyClick(p, Qt::Key_Space);
        QTRY_VERIFY(sound->Position() > 2100);
        // Two seconds on (time for a player that stalled to be put back in step), the sound
        // has played on with the picture.
        QTest::qWait(2000);
        const qint64 heard = sound->Position(), seen = p->Position() * 66;
        QVERIFY2(
            std::abs(heard - seen) < 250,
            qPrintable(QStringLiteral("sound at %1 ms, picture at %2 ms").arg(heard).arg(seen)));
        QVERIFY(!p->findChild<QLabel*>("nosound_lbl")->isVisibleTo(p));
        QTest::keyClick(p, Qt::Key_Space);
        QTRY_COMPARE(sound->Position(), qint64(-1)); // paused with the picture
    }

    void cancelAndCloseDuringARun() {
        Window w;
        w.dlg->AddPictureFiles(w.pictures(3));
        w.dialogs->saveAnswers << QString::fromStdString(w.dir.file("long.avi"));
        w.click("out_btn");
        w.get<QComboBox>("res_cmb")->setCurrentText("720x576");
        w.get<QSpinBox>("time_txt")->setValue(60000);
        QSignalSpy progress(w.dlg->Run(), &lv::TSlideshowRun::VideoProgress);
        w.click("go_btn");
        QVERIFY(progress.wait(30000));
        // A thumbnail opens nothing while a job runs; neither does a drop change anything.
        QTest::mouseClick(w.get("thumb_rct")->findChildren<QLabel*>().at(0), Qt::LeftButton);
        QVERIFY(w.dialogs->executed.isEmpty());
        w.dlg->FilesDropped({w.dir.file("a.jpg")});
        QCOMPARE(int(w.dlg->Pictures().Count()), 3);
        w.click("cancel_btn");
        QVERIFY(!w.get("cancel_btn")->isEnabled());
        QVERIFY(w.runToEnd());
        QCOMPARE(w.dialogs->messages.back(), QString("Aborted by user."));
        QVERIFY(w.get("go_btn")->isEnabled());
        QCOMPARE(w.statusPanel(), QString());

        // Closing the window mid-run stops the job before the lists go.
        w.click("go_btn");
        QVERIFY(progress.wait(30000));
        QVERIFY(w.dlg->Run()->Running());
        const int shown = w.dialogs->messages.size() + w.dialogs->errors.size();
        w.dlg->close();
        QVERIFY(!w.dlg->Run()->Running());
        QCOMPARE(w.dialogs->messages.size() + w.dialogs->errors.size(), shown);
        w.dlg.reset();
    }
};

QTEST_MAIN(MainDlgTest)
#include "MainDlgTest.moc"
