#include "Common/FrameServer.h"
#include "Common/PictureList.h"
#include "app/gui/AboutDlg.h"
#include "app/gui/BurnDlg.h"
#include "app/gui/CodecConfigDlg.h"
#include "app/gui/ExpertDlg.h"
#include "app/gui/JumpDlg.h"
#include "app/gui/LoaderDlg.h"
#include "app/gui/MainDlg.h"
#include "app/gui/PreviewDlg.h"
#include "app/gui/ProcessSuccessDlg.h"
#include "app/gui/ReorderDlg.h"
#include "app/gui/SettingsDlg.h"
#include "app/run/AfterRun.h"
#include "app/run/PreviewFrames.h"
#include "log/KLog.h"
#include "platform/ExternalProducts.h"
#include "platform/Files.h"
#include "platform/NamedMutex.h"
#include "platform/Registry.h"

#include "Captions.h"
#include "FakeDialogs.h"
#include "support/Pictures.h"
#include "support/Sounds.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using lvtest::FakeDialogs;

namespace {

// Five pictures A..E (a.jpg ... e.jpg) and the window's kind of thumbnail server over them.
struct Pictures {
    lvtest::TempDir dir;
    lv::TPictureList list;
    std::unique_ptr<lv::TFrameServer> thumbs;
    explicit Pictures(int count) {
        for (int i = 0; i < count; ++i) {
            const std::string name = std::string(1, char('a' + i)) + ".jpg";
            lvtest::savePicture(lvtest::solidImage(40, 30, qRgb(40 * i, 90, 200)), dir.file(name),
                                "JPG");
            list.Add(dir.file(name), std::string(1, char('A' + i)));
        }
        thumbs = std::make_unique<lv::TFrameServer>(list.PicturePaths, nullptr, 1, 75, 100, false,
                                                    false, false);
    }
    std::string order() const {
        std::string s;
        for (std::size_t i = 0; i < list.Count(); ++i)
            s += list.PictureTexts[i];
        return s;
    }
};

QStringList column(QTreeWidget* lst, int c) {
    QStringList values;
    for (int i = 0; i < lst->topLevelItemCount(); ++i)
        values << lst->topLevelItem(i)->text(c);
    return values;
}

// A stand-in for a tool: records its arguments, one a line, in `record`; as the burner it
// holds the burner's mutex for `seconds`.
std::string standIn(const lvtest::TempDir& dir, const std::string& name, const std::string& record,
                    double seconds) {
    const std::string path = dir.file(name);
    std::ofstream(path) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << record << "'\n"
                        << "exec flock -o '" << lv::NamedMutexPath(lv::kBurnerMutex) << "' sleep "
                        << seconds << "\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        qputenv("LUMIVANE_SETTINGS_DIR", QByteArray(LUMIVANE_BINARY_DIR "/test-settings-gui"));
        qputenv("LUMIVANE_SYSTEM_SETTINGS_DIR", QByteArray(LUMIVANE_BINARY_DIR "/test-system"));
        for (const char* value : {lv::kBurnerValue, lv::kDvdValue, lv::kDvdValue2})
            lv::WriteRegString(lv::kProductsKey, value, "");
    }

    void namesAndCaptions_data() {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const char* rows[][3] = {
            {"ExpertDlg", "ExpertDlg", "Expert Options"},
            {"ExpertDlg", "sng_chk", "Single Frame mode"},
            {"ExpertDlg", "ok_btn", "Ok"},
            {"JumpDlg", "JumpDlg", "Jump To..."},
            {"JumpDlg", "trk", ""},
            {"JumpDlg", "thumbstats_lbl", "1 - 5 / 12"},
            {"JumpDlg", "ok_btn", "Ok"},
            {"JumpDlg", "cancel_btn", "Cancel"},
            {"ReorderDlg", "ReorderDlg", "Organize"},
            {"ReorderDlg", "pics_grp", "Pictures"},
            {"ReorderDlg", "lst", ""},
            {"ReorderDlg", "sel_grp", ""},
            {"ReorderDlg", "img", ""},
            {"ReorderDlg", "pos_lbl", "New Position"},
            {"ReorderDlg", "pos_txt", ""},
            {"ReorderDlg", "change_btn", "Move"},
            {"ReorderDlg", "del_btn", "Delete"},
            {"ReorderDlg", "txt_lbl", "Text : "},
            {"ReorderDlg", "txt", ""},
            {"ReorderDlg", "shuffle_btn", "Shuffle"},
            {"ReorderDlg", "exit_btn", "Exit"},
            {"ProcessSuccessDlg", "ProcessSuccessDlg", "Done !"},
            {"ProcessSuccessDlg", "text_lbl",
             "Lumivane has successfully processed your video file. Please select the "
             "appropriate action :"},
            {"ProcessSuccessDlg", "play_btn", "Play"},
            {"ProcessSuccessDlg", "burncd_btn", "Burn"},
            {"ProcessSuccessDlg", "dvd_btn", "DVD"},
            {"ProcessSuccessDlg", "folder_btn", "Open Folder"},
            {"BurnDlg", "BurnDlg", "Burn"},
            {"BurnDlg", "prog", ""},
            {"BurnDlg", "cancel_btn", "Cancel"},
            {"BurnDlg", "tmr", ""},
            {"LoaderDlg", "LoaderDlg", "Thumbnails"},
            {"SettingsDlg", "SettingsDlg", "Settings"},
            {"SettingsDlg", "lng", ""},
            {"AboutDlg", "AboutDlg", "About"},
            {"CodecConfigDlg", "CodecConfigDlg", "Codec Configuration"},
            {"PreviewDlg", "PreviewDlg", "Preview"},
            {"PreviewDlg", "screen", ""},
            {"PreviewDlg", "pos_trk", ""},
            {"PreviewDlg", "back_btn", ""},
            {"PreviewDlg", "play_btn", ""},
            {"PreviewDlg", "fwd_btn", ""},
            {"PreviewDlg", "frame_lbl", "Frame :"},
            {"PreviewDlg", "framenum_lbl", "0"},
            {"PreviewDlg", "time_lbl", "0:00.00 / 0:00.06"},
            {"PreviewDlg", "picture_lbl", "Picture :"},
            {"PreviewDlg", "picturenum_lbl", "1 / 1"},
            {"PreviewDlg", "nodevice_lbl", "No sound device: the preview plays silent."},
            {"PreviewDlg", "nosound_lbl",
             "The soundtrack cannot be played: the preview plays silent."},
            {"PreviewDlg", "full_btn", "Full screen"},
            {"PreviewDlg", "close_btn", "Close"}};
        for (const auto& row : rows)
            QTest::newRow(qPrintable(QString(row[0]) + "." + row[1]))
                << QString(row[0]) << QString(row[1]) << QString(row[2]);
    }
    void namesAndCaptions() {
        QFETCH(QString, form);
        QFETCH(QString, name);
        QFETCH(QString, text);
        FakeDialogs dialogs;
        Pictures p(1);
        std::unique_ptr<QDialog> dialog;
        if (form == "ExpertDlg")
            dialog = std::make_unique<lv::TExpertDlg>();
        else if (form == "JumpDlg") {
            auto jump = std::make_unique<lv::TJumpDlg>();
            jump->Setup(12, 0);
            dialog = std::move(jump);
        } else if (form == "ReorderDlg")
            dialog = std::make_unique<lv::TReorderDlg>(p.list, *p.thumbs);
        else if (form == "ProcessSuccessDlg")
            dialog = std::make_unique<lv::TProcessSuccessDlg>(dialogs);
        else if (form == "BurnDlg")
            dialog = std::make_unique<lv::TBurnDlg>(dialogs);
        else if (form == "LoaderDlg")
            dialog = std::make_unique<lv::TLoaderDlg>();
        else if (form == "SettingsDlg")
            dialog = std::make_unique<lv::TSettingsDlg>(nullptr, nullptr);
        else if (form == "AboutDlg")
            dialog = std::make_unique<lv::TAboutDlg>([](const QUrl&) {});
        else if (form == "PreviewDlg")
            dialog = std::make_unique<lv::TPreviewDlg>(
                std::make_unique<lv::TPreviewFrames>(p.list, lv::TFrameSettings{}), QString());
        else
            dialog =
                std::make_unique<lv::TCodecConfigDlg>("XVID", std::vector<lv::TCodecSetting>{});
        QCOMPARE(dialog->objectName(), form);
        QObject* o = name == form ? dialog.get() : dialog->findChild<QObject*>(name);
        QVERIFY2(o, qPrintable(name + " is missing"));
        QCOMPARE(lvtest::caption(o), text);
    }

    void organiseMovesDeletesEditsAndShuffles() {
        Pictures p(5);
        lv::TReorderDlg dlg(p.list, *p.thumbs);
        auto* lst = dlg.findChild<QTreeWidget*>("lst");
        auto* pos = dlg.findChild<QSpinBox*>("pos_txt");
        auto* img = dlg.findChild<QLabel*>("img");
        auto click = [&](const char* name) {
            QTest::mouseClick(dlg.findChild<QAbstractButton*>(name), Qt::LeftButton);
        };
        dlg.Open(2); // C
        dlg.show();
        QCOMPARE(dlg.Selected(), 2);
        QVERIFY(img->isVisible() && !img->pixmap().isNull());
        QCOMPARE(dlg.findChild<QGroupBox*>("sel_grp")->title(),
                 QString::fromStdString(p.dir.file("c.jpg")));
        QCOMPARE(pos->value(), 3);
        pos->setValue(1);
        click("change_btn");
        QCOMPARE(p.order(), std::string("CABDE"));
        QCOMPARE(column(lst, 0), (QStringList{"1", "2", "3", "4", "5"}));
        QCOMPARE(column(lst, 1), (QStringList{"C", "A", "B", "D", "E"}));
        QCOMPARE(dlg.Selected(), 0);
        pos->setValue(5);
        click("change_btn");
        QCOMPARE(p.order(), std::string("ABDEC"));
        QCOMPARE(column(lst, 2).back(), QString::fromStdString(p.dir.file("c.jpg")));

        // Typed positions are kept within 1 .. count.
        for (auto [typed, value] : {std::pair{"0", 1}, std::pair{"9", 5}}) {
            pos->findChild<QLineEdit*>()->selectAll();
            QTest::keyClicks(pos, typed);
            QTest::keyClick(pos, Qt::Key_Enter);
            QCOMPARE(pos->value(), value);
        }

        // The text takes effect at every keystroke, 50 characters at most.
        auto* txt = dlg.findChild<QLineEdit*>("txt");
        txt->selectAll();
        QTest::keyClicks(txt, "Sea");
        QCOMPARE(p.list.PictureTexts[4], std::string("Sea"));
        QCOMPARE(lst->topLevelItem(4)->text(1), QString("Sea"));
        QTest::keyClicks(txt, QString(60, 'x'));
        QCOMPARE(p.list.PictureTexts[4].size(), 50u);

        click("del_btn");
        QCOMPARE(int(p.list.Count()), 4);
        QCOMPARE(lst->topLevelItemCount(), 4);
        QVERIFY(!img->isVisible());
        QCOMPARE(pos->maximum(), 4);
        click("change_btn"); // nothing selected: nothing moves
        QCOMPARE(p.order(), std::string("ABDE"));

        // Shuffle: two pictures always end B, A; one stays.
        Pictures two(2);
        lv::TReorderDlg shuffle2(two.list, *two.thumbs);
        shuffle2.Open(-1);
        QTest::mouseClick(shuffle2.findChild<QAbstractButton*>("shuffle_btn"), Qt::LeftButton);
        QCOMPARE(two.order(), std::string("BA"));
        QCOMPARE(shuffle2.Selected(), -1);
        Pictures one(1);
        lv::TReorderDlg shuffle1(one.list, *one.thumbs);
        shuffle1.Open(-1);
        QTest::mouseClick(shuffle1.findChild<QAbstractButton*>("shuffle_btn"), Qt::LeftButton);
        QCOMPARE(one.order(), std::string("A"));
        // Deleting the last picture leaves an empty table.
        shuffle1.Open(0);
        QTest::mouseClick(shuffle1.findChild<QAbstractButton*>("del_btn"), Qt::LeftButton);
        QCOMPARE(shuffle1.findChild<QTreeWidget*>("lst")->topLevelItemCount(), 0);
        QCOMPARE(int(one.list.Count()), 0);
    }

    // Deleting any row of lists of 1 to 6 pictures, then the rows that follow it, keeps
    // the table, the paths and the texts in step; a second Delete removes nothing.
    void organiseDeleteKeepsTableAndListsInStep() {
        for (int n = 1; n <= 6; ++n)
            for (int first = 0; first < n; ++first) {
                Pictures p(n);
                lv::TReorderDlg dlg(p.list, *p.thumbs);
                auto* lst = dlg.findChild<QTreeWidget*>("lst");
                auto* del = dlg.findChild<QAbstractButton*>("del_btn");
                dlg.Open(-1);
                dlg.show();
                for (int left = n; left > 0; --left) {
                    const int row = std::min(first, left - 1);
                    QTest::mouseClick(lst->viewport(), Qt::LeftButton, {},
                                      lst->visualItemRect(lst->topLevelItem(row)).center());
                    QCOMPARE(dlg.Selected(), row);
                    QTest::mouseClick(del, Qt::LeftButton);
                    QTest::mouseClick(del, Qt::LeftButton);
                    QCOMPARE(int(p.list.Count()), left - 1);
                    QCOMPARE(dlg.Selected(), -1);
                    QCOMPARE(lst->topLevelItemCount(), left - 1);
                    for (int r = 0; r < left - 1; ++r) {
                        const auto* item = lst->topLevelItem(r);
                        QCOMPARE(item->text(0), QString::number(r + 1));
                        QCOMPARE(item->text(1).toStdString(), p.list.PictureTexts[r]);
                        QCOMPARE(item->text(2).toStdString(), p.list.PicturePaths[r]);
                    }
                }
            }
    }

    void jumpShowsTheRangeItWouldShow() {
        lv::TJumpDlg jump;
        jump.Setup(12, 3);
        auto* trk = jump.findChild<QSlider*>("trk");
        QCOMPARE(trk->minimum(), 0);
        QCOMPARE(trk->maximum(), 7);
        QCOMPARE(jump.findChild<QLabel*>("thumbstats_lbl")->text(), QString("4 - 8 / 12"));
        trk->setValue(7);
        QCOMPARE(jump.findChild<QLabel*>("thumbstats_lbl")->text(), QString("8 - 12 / 12"));
        QCOMPARE(jump.Position(), 7);
    }

    void theWindowOpensOrganiseOnAClickedThumbnailAndTakesDrops() {
        lvtest::TempDir dir;
        auto fake = std::make_unique<FakeDialogs>();
        FakeDialogs* dialogs = fake.get();
        lv::TMainDlg window(std::move(fake));
        window.show();
        std::vector<std::string> files;
        for (int i = 0; i < 12; ++i) {
            files.push_back(dir.file("p" + std::to_string(10 + i) + ".jpg"));
            lvtest::savePicture(lvtest::solidImage(40, 30, qRgb(20 * i, 50, 90)), files.back(),
                                "JPG");
        }
        window.AddPictureFiles(files);
        dialogs->exec = [](QDialog& d) {
            d.findChild<QSlider*>("trk")->setValue(4);
            return int(QDialog::Accepted);
        };
        QTest::mouseClick(window.findChild<QAbstractButton*>("jump_btn"), Qt::LeftButton);
        int selected = -2;
        bool preview = false;
        dialogs->exec = [&](QDialog& d) {
            auto* reorder = qobject_cast<lv::TReorderDlg*>(&d);
            selected = reorder ? reorder->Selected() : -3;
            preview = reorder && reorder->findChild<QLabel*>("img")->isVisibleTo(reorder);
            return int(QDialog::Rejected);
        };
        QTest::mouseClick(window.findChild<QWidget*>("thumb_rct")->findChildren<QLabel*>().at(2),
                          Qt::LeftButton);
        QCOMPARE(selected, 6);
        QVERIFY(preview);

        // Real drop events, as a file manager sends them.
        auto dropUrls = [&](const QList<QUrl>& urls) {
            QMimeData data;
            data.setUrls(urls);
            const QPoint at = window.rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&window, &enter);
            QDropEvent event(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&window, &event);
            QTest::qWait(20); // the files are taken once the drop has been answered
        };
        auto drop = [&](const QStringList& paths) {
            QList<QUrl> urls;
            for (const QString& path : paths)
                urls << QUrl::fromLocalFile(path);
            dropUrls(urls);
        };
        auto logged = [&](const std::string& line) {
            const auto lines = window.Log()->Lines();
            return std::find(lines.begin(), lines.end(), line) != lines.end();
        };
        const QString song = QString::fromStdString(
            lvtest::makeMp3(dir.path().string(), "song", {"-b", "64"}, 22050, 1, 1.0));
        drop({song});
        QCOMPARE(window.findChild<QLineEdit*>("sound_txt")->text(), song);
        std::filesystem::copy(dir.file("song.mp3"), dir.file("song.MP3"));
        drop({QString::fromStdString(dir.file("song.MP3"))});
        QVERIFY(logged("Error\tFile not supported : " + dir.file("song.MP3")));
        drop({song, QString::fromStdString(files[0])});
        QCOMPARE(int(window.Pictures().Count()), 13);
        QVERIFY(logged("Error\tFile not supported : " + dir.file("song.mp3")));
        std::filesystem::create_directory(dir.file("folder"));
        drop({QString::fromStdString(dir.file("folder"))});
        QVERIFY(logged("Error\tFile not found : " + dir.file("folder")));
        QCOMPARE(int(window.Pictures().Count()), 13);
        // A name that is not UTF-8, as a file manager sends it: its bytes percent-encoded.
        const std::string latin1 = dir.file("caf\xE9.jpg");
        std::filesystem::copy(files[0], latin1);
        dropUrls({QUrl::fromEncoded("file://" +
                                    QByteArray::fromStdString(latin1).toPercentEncoding("/"))});
        QCOMPARE(int(window.Pictures().Count()), 14);
        QCOMPARE(window.Pictures().PicturePaths[13], latin1);
    }

    void doneDialogPlaysOpensAndHandsToTheDvdTool() {
        lvtest::TempDir dir;
        const std::string folder = dir.path().string() + "/Vidéos \"d'été\"/";
        std::filesystem::create_directory(folder);
        const std::string video = folder + "my show.avi";
        FakeDialogs dialogs;
        auto done = [&] {
            auto d = std::make_unique<lv::TProcessSuccessDlg>(dialogs);
            d->VideoPath = video;
            return d;
        };
        auto press = [](QDialog& d, const char* name) {
            QTest::mouseClick(d.findChild<QAbstractButton*>(name), Qt::LeftButton);
        };
        auto play = done();
        press(*play, "play_btn");
        QCOMPARE(play->result(), int(QDialog::Accepted));
        QCOMPARE(dialogs.urls.back(), QUrl::fromLocalFile(QString::fromStdString(video)));
        auto open = done();
        press(*open, "folder_btn");
        QCOMPARE(dialogs.urls.back(), QUrl::fromLocalFile(QString::fromStdString(folder)));

        // No converter: the download prompt; No keeps the dialog open, Yes opens the page.
        auto dvd = done();
        dialogs.boxAnswer = lv::kBoxNo;
        press(*dvd, "dvd_btn");
        QCOMPARE(dialogs.boxes, QStringList{"Warning: Convertion to DVD requires a third party "
                                            "product from ZOQ Software. Do you want to "
                                            "download it now ?"});
        QCOMPARE(dvd->result(), 0);
        dialogs.boxAnswer = lv::kBoxYes;
        press(*dvd, "dvd_btn");
        QCOMPARE(dvd->result(), int(QDialog::Accepted));
        QCOMPARE(dialogs.urls.back().fragment(), QString("tools"));

        // A registered converter gets the video, every character of its path intact.
        const std::string record = dir.file("dvd-args.txt");
        lv::WriteRegString(lv::kProductsKey, lv::kDvdValue2,
                           standIn(dir, "orvadisc.exe", record, 0));
        auto dvd2 = done();
        press(*dvd2, "dvd_btn");
        QCOMPARE(dvd2->result(), int(QDialog::Accepted));
        for (int i = 0; i < 500 && readAll(record).empty(); ++i)
            QTest::qWait(10);
        QCOMPARE(readAll(record), video + "\n");
        lv::WriteRegString(lv::kProductsKey, lv::kDvdValue2, "");
    }

    void burnWaitsForARunningBurnerThenHandsOverTheProject() {
        lvtest::TempDir dir;
        FakeDialogs dialogs;
        dialogs.exec = [](QDialog& d) { return d.exec(); }; // the burn dialog runs for real
        const std::string video = dir.file("my \"best\" show.avi");
        const std::string record = dir.file("burner-args.txt");
        lv::WriteRegString(lv::kProductsKey, lv::kBurnerValue, dir.path().string());
        standIn(dir, "ArdiskCd.exe", record, 1.5);

        // Another burner is running: the new one may only start once it has ended.
        const pid_t other = fork();
        if (other == 0) {
            setpgid(0, 0);
            execlp("flock", "flock", "-o", lv::NamedMutexPath(lv::kBurnerMutex).c_str(), "sleep",
                   "2", static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 200 && !lv::NamedMutexExists(lv::kBurnerMutex); ++i)
            QTest::qWait(10);
        QVERIFY(lv::NamedMutexExists(lv::kBurnerMutex));

        lv::TProcessSuccessDlg done(dialogs);
        done.VideoPath = video;
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(done.findChild<QAbstractButton*>("burncd_btn"), Qt::LeftButton);
        const qint64 elapsed = clock.elapsed();
        waitpid(other, nullptr, 0);
        QCOMPARE(done.result(), int(QDialog::Accepted));
        QCOMPARE(dialogs.executed, QStringList{"BurnDlg"});
        const std::string project = lv::BurnerProjectFolder() + "lmv_0.adk";
        QCOMPARE(readAll(project), video + "\r\n");
        QCOMPARE(readAll(record), "/fl\n" + project + "\n");
        // Waited for the other burner (2 s), ran its own (1.5 s), closed a tick later.
        QVERIFY2(elapsed >= 3500 && elapsed < 9000, qPrintable(QString::number(elapsed)));
        QVERIFY(dialogs.boxes.isEmpty() && dialogs.errors.isEmpty());

        // A burner that cannot be started: the dialog closes by itself, without a word.
        std::ofstream(dir.file("ArdiskCd.exe")) << "not a program";
        std::filesystem::permissions(dir.file("ArdiskCd.exe"), std::filesystem::perms::owner_read);
        lv::TBurnDlg burn(dialogs);
        burn.ProjectCount = 1;
        burn.ProjectName = lv::kBurnerProjectName;
        burn.ProjectFolder = lv::BurnerProjectFolder();
        QVERIFY(burn.Run());
        QCOMPARE(burn.Launched, 1);
        QVERIFY(dialogs.errors.isEmpty() && dialogs.messages.isEmpty());
        lv::WriteRegString(lv::kProductsKey, lv::kBurnerValue, "");
        burn.ProjectCount = 0;
        QVERIFY(!burn.Run()); // nothing to hand over
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
