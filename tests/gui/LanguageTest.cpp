#include "Lang/LanguagePack.h"
#include "Lang/PackTable.h"
#include "app/gui/LangList.h"
#include "app/gui/LanguageRecord.h"
#include "app/gui/MainDlg.h"
#include "log/KLog.h"
#include "platform/Files.h"
#include "platform/Registry.h"

#include "Captions.h"
#include "FakeDialogs.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

const char* const kPacks = "../app/gui/lang"; // the built packs, seen from tests/

// A small form: a label, a button, a combo box of three, a label inside an unnamed box, an
// edit and an action.
struct TestForm {
    QDialog form;
    QLabel* label = new QLabel("Hello", &form);
    QPushButton* button = new QPushButton("Press", &form);
    QComboBox* combo = new QComboBox(&form);
    QWidget* box = new QWidget(&form);
    QLabel* inner = new QLabel("Inside", box);
    QLineEdit* edit = new QLineEdit("typed", &form);
    QAction* action = new QAction("Act", &form);
    TestForm() {
        form.setObjectName("TestDlg");
        label->setObjectName("cap_lbl");
        button->setObjectName("btn");
        combo->setObjectName("cmb");
        combo->addItems({"a", "b", "c"});
        combo->setCurrentIndex(1);
        inner->setObjectName("inner_lbl");
        edit->setObjectName("edit");
        action->setObjectName("act");
    }
};

lv::TPackEntry entry(const std::string& path, lv::TPackText caption, lv::TPackText hint = {},
                     lv::TPackText items = {}, int alignment = 0) {
    lv::TPackEntry e;
    e.Path = path;
    e.Caption = std::move(caption);
    e.Hint = std::move(hint);
    e.Items = std::move(items);
    e.Alignment = alignment;
    return e;
}

std::vector<QWidget*> formsOf(lv::TMainDlg& window, std::vector<std::unique_ptr<QWidget>>& keep) {
    keep = window.CreateDialogs();
    std::vector<QWidget*> forms{&window};
    for (auto& d : keep)
        forms.push_back(d.get());
    return forms;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

class LanguageTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        qputenv("LUMIVANE_SETTINGS_DIR", QByteArray(LUMIVANE_BINARY_DIR "/test-settings-lang"));
        QFile::remove(LUMIVANE_BINARY_DIR "/test-settings-lang/Lumivane.ini");
    }

    void packsApplyTheirFlaggedTextsByPath() {
        TestForm t;
        lv::TLanguageRecord record;
        record.Excluded = {"EDIT"};
        lv::TPack pack;
        pack.Header.Revision = 4;
        pack.Entries = {
            entry("testdlg.CAP_LBL", {0x21, "Bonjour"}, {}, {}, 1),
            entry("TestDlg.btn", {0x01, "Appuyer"}, {0x22, "Astuce"}),
            entry("TestDlg.cmb", {}, {}, {0x23, "A\r\nB\r\nC\r\nD"}),
            entry("TestDlg.inner_lbl", {0x21, "Dedans"}),
            entry("TestDlg.edit", {0x21, "changed"}),
            entry("TestDlg.act", {0x21, "Agir"}),
            entry("TestDlg.missing", {0x21, "nothing"}),
        };
        record.Apply(pack, {&t.form}, &t.form);
        QCOMPARE(t.label->text(), QString("Bonjour"));
        QVERIFY(t.label->alignment() & Qt::AlignRight);
        QCOMPARE(t.button->text(), QString("Press")); // not marked translated
        QCOMPARE(t.button->property("Hint").toString(), QString("Astuce"));
        QCOMPARE(t.button->toolTip(), QString()); // 0x22: ShowHint off
        QCOMPARE(t.combo->count(), 3);
        QCOMPARE(t.combo->itemText(2), QString("C"));
        QCOMPARE(t.combo->currentIndex(), 1);
        QCOMPARE(t.inner->text(), QString("Dedans")); // an unnamed box hides nothing
        QCOMPARE(t.edit->text(), QString("typed"));   // excluded
        QCOMPARE(t.action->text(), QString("Agir"));
        pack.Entries = {entry("TestDlg.btn", {0x21, "Appuyer"}, {0x32, "Astuce"})};
        record.Apply(pack, {&t.form}, &t.form);
        QCOMPARE(t.button->text(), QString("Appuyer"));
        QCOMPARE(t.button->toolTip(), QString("Astuce")); // 0x32: ShowHint on

        // Revision 0: no flags, an empty text changes nothing, the kind says what follows.
        lv::TPack old;
        old.Header.Revision = 0;
        lv::TPackEntry caption = entry("TestDlg.cap_lbl", {0, "Salut"});
        caption.Kind = 6;
        lv::TPackEntry items = entry("TestDlg.cmb", {0, ""}, {0, ""}, {0, "x\ny"});
        items.Kind = 11;
        lv::TPackEntry menu = entry("TestDlg.act", {0, ""});
        menu.Kind = 13;
        old.Entries = {caption, items, menu};
        record.Apply(old, {&t.form}, &t.form);
        QCOMPARE(t.label->text(), QString("Salut"));
        QCOMPARE(t.combo->itemText(0), QString("x"));
        QCOMPARE(t.combo->itemText(2), QString("C"));
        QCOMPARE(t.action->text(), QString("Agir"));
    }

    void theTemplateTranslatesEveryTextOfEveryFormAndEnglishComesBack() {
        lv::TMainDlg window(std::make_unique<lvtest::FakeDialogs>());
        window.show();
        std::vector<std::unique_ptr<QWidget>> dialogs;
        const auto forms = formsOf(window, dialogs);
        lv::TLanguageRecord record;
        record.Excluded = window.Languages().ExcludedComps;
        const lv::TPack english = record.Template(forms, &window, {});
        QVERIFY(english.Entries.size() > 60);

        // What a translator's tool makes of the template: every text bracketed, marked.
        lv::TPackTable table = lv::TableFromPacks(english, nullptr);
        for (auto& row : table.Rows) {
            std::string bracketed;
            for (const auto& line : lv::SplitPackLines(row.English))
                bracketed += (bracketed.empty() ? "" : "\n") + ("[" + line + "]");
            row.Translation = bracketed;
        }
        const std::string packFile = std::string(LUMIVANE_BINARY_DIR) + "/bracketed.SPK";
        lv::WritePack(packFile, lv::PackFromTable(lv::ParseTable(lv::FormatTable(table))));
        record.Apply(lv::ReadPack(packFile), forms, &window);
        for (const auto& e : record.Template(forms, &window, {}).Entries)
            for (const lv::TPackText* text : {&e.Caption, &e.Hint, &e.Items})
                for (const auto& line : lv::SplitPackLines(text->Text))
                    QVERIFY2(line.size() >= 2 && line.front() == '[' && line.back() == ']',
                             (e.Path + ": " + line).c_str());
        QCOMPARE(window.Translate("pictures"), QString("[pictures]"));

        // Back to English through a pack that carries the English texts.
        lv::TPackTable back = lv::TableFromPacks(english, nullptr);
        for (auto& row : back.Rows)
            row.Translation = row.English;
        record.Apply(lv::PackFromTable(back), forms, &window);
        const lv::TPack again = record.Template(forms, &window, {});
        QCOMPARE(again.Entries.size(), english.Entries.size());
        for (std::size_t i = 0; i < again.Entries.size(); ++i)
            QCOMPARE(again.Entries[i].Caption.Text, english.Entries[i].Caption.Text);
        QCOMPARE(window.Translate("pictures"), QString("pictures"));
    }

    void shippedPacksAreCompleteAndCutNoCaptionOff() {
        lv::TMainDlg window(std::make_unique<lvtest::FakeDialogs>());
        window.Languages().SubDir = kPacks;
        window.show();
        std::vector<std::unique_ptr<QWidget>> dialogs;
        const auto forms = formsOf(window, dialogs);
        lv::TLanguageRecord record;
        record.Excluded = window.Languages().ExcludedComps;
        const lv::TPackTable current =
            lv::TableFromPacks(record.Template(forms, &window, {}), nullptr);
        const auto& packs = window.Languages().Packs();
        QCOMPARE(int(packs.size()), 3); // English, French, German: the language table's order
        for (const char* id : {"0000040C", "00000407"}) {
            const lv::TPackTable shipped = lv::ParseTable(
                readFile(std::string(LUMIVANE_SOURCE_DIR) + "/Lang/packs/" + id + ".tsv"));
            for (const auto& row : current.Rows) {
                if (row.Path == "MainDlg" && row.Field == "caption")
                    continue; // the caption is the program's name and version
                const auto found = std::find_if(
                    shipped.Rows.begin(), shipped.Rows.end(), [&](const lv::TTableRow& r) {
                        return r.Path == row.Path && r.Field == row.Field;
                    });
                QVERIFY2(found != shipped.Rows.end(),
                         (std::string(id) + " lacks " + row.Path).c_str());
                QVERIFY2(lv::SplitPackLines(found->English) == lv::SplitPackLines(row.English) &&
                             !found->Translation.empty(),
                         (std::string(id) + ": " + row.Path + " is out of date").c_str());
            }
        }
        for (std::size_t i = 0; i < packs.size(); ++i) {
            window.Languages().SetLanguageIndex(int(i));
            QTest::qWait(20);
            for (QWidget* w : window.findChildren<QWidget*>())
                if (w->isVisible() && !w->objectName().isEmpty() &&
                    !w->objectName().startsWith("qt_") &&
                    (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w)))
                    QVERIFY2(lvtest::fitsCaption(w),
                             qPrintable(QString::fromStdString(packs[i].Display) + ": " +
                                        w->objectName() +
                                        QStringLiteral(" %1 of %2, window %3 of %4")
                                            .arg(w->width())
                                            .arg(w->minimumSizeHint().width())
                                            .arg(window.width())
                                            .arg(window.sizeHint().width())));
        }
    }

    void theTemplateSwitchWritesItAndTheStoredLanguageStillLoads() {
        lv::WriteRegString("HKEY_CURRENT_USER\\Software\\Tessaro\\Lumivane", "langue",
                           std::to_string(0x040C));
        lv::TMainDlg window(std::make_unique<lvtest::FakeDialogs>());
        lv::TLangList& languages = window.Languages();
        languages.SubDir = kPacks;
        const std::string original = languages.PacksFolder() + "LMV_ORIGINAL.SPK";
        QFile::remove(QString::fromStdString(original));
        window.show(); // start-up without the switch: no template
        QVERIFY(!lv::FileExists(original));
        QCOMPARE(window.findChild<QPushButton*>("go_btn")->text(), QString("Créer !"));

        lv::TMainDlg second(std::make_unique<lvtest::FakeDialogs>());
        second.Languages().SubDir = kPacks;
        std::vector<std::unique_ptr<QWidget>> dialogs;
        second.Languages().StartUp({"lumivane", "/CO"}, [&] { return formsOf(second, dialogs); });
        QVERIFY(lv::FileExists(original));
        QVERIFY(lv::PackDisplayString(original).find(" [1.") != std::string::npos);
        QCOMPARE(second.Languages().LanguageIndex(), 1); // French
        QCOMPARE(second.findChild<QPushButton*>("go_btn")->text(), QString("Créer !"));
        QCOMPARE(second.Translate("Empty picture list"), QString("La liste d'images est vide"));
        QFile::remove(QString::fromStdString(original));
    }

    // A file that is no pack is logged; a stored choice of a revision this program cannot read
    // is reported once, naming its file, and gives way to a readable pack of its language,
    // stored in its place; a text beyond its bound is cut and logged.
    void unreadablePacksAreLoggedAndAStoredOneGivesWayOnce() {
        const std::string folder = lv::ProgramFolder() + "test-lang-unreadable/";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        const std::string notAPack = folder + "LMV_00000407.SPK";
        const std::string future = folder + "LMV_0000040C.SPK";
        const std::string big = folder + "LMV_0001040C.SPK";
        std::ofstream(notAPack) << "not a pack";
        lv::TPack pack;
        pack.Header.LangId = 0x040C;
        lv::WritePack(future, pack);
        {
            // The revision is the high half of the first record's payload.
            std::fstream f(future, std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(17 + 4 + 8 + 2);
            f.put(5);
        }
        pack.Entries = {entry("MainDlg.go_btn", {0x21, "Créer !" + std::string(1 << 20, 'x')})};
        lv::WritePack(big, pack);
        const std::string key = "HKEY_CURRENT_USER\\Software\\Tessaro\\Lumivane";
        lv::WriteRegString(key, "langue", std::to_string(0x040C));

        auto logged = [](const lv::TMainDlg& window, const std::string& line) {
            const auto lines = window.Log()->Lines();
            return std::find(lines.begin(), lines.end(), "Error\t" + line) != lines.end();
        };
        for (int start = 0; start < 2; ++start) {
            auto fake = std::make_unique<lvtest::FakeDialogs>();
            lvtest::FakeDialogs* dialogs = fake.get();
            lv::TMainDlg window(std::move(fake));
            window.Languages().SubDir = "test-lang-unreadable";
            window.show();
            QCOMPARE(dialogs->errors, start == 0
                                          ? QStringList{QString::fromStdString(
                                                "Format not supported in this revision: " + future)}
                                          : QStringList());
            QCOMPARE(logged(window, "Format not supported in this revision: " + future),
                     start == 0);
            QVERIFY(logged(window, "Not a language file: " + notAPack));
            QVERIFY(logged(window, "Language file " + big +
                                       ": caption of MainDlg.go_btn cut to 2048 bytes"));
            QCOMPARE(window.Languages().LanguageIndex(), 1);
            QCOMPARE(lv::ReadRegString(key, "langue"), std::to_string(0x0001040C));
            const QString go = window.findChild<QPushButton*>("go_btn")->text();
            QVERIFY(go.startsWith("Créer !xxx"));
            QCOMPARE(go.toUtf8().size(), 2048);
        }
        lv::WriteRegString(key, "langue", "");
        std::filesystem::remove_all(folder);
    }
};

QTEST_MAIN(LanguageTest)
#include "LanguageTest.moc"
