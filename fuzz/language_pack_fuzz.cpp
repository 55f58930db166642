// A language pack as the window takes it: listed by its display string, its flag read, then
// read whole and applied to forms holding every kind of control a pack can change.
#include "Lang/LanguagePack.h"
#include "Lang/TextStorage.h"
#include "app/gui/LanguageRecord.h"
#include "fuzz/FuzzInput.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

#include <cstdlib>
#include <memory>

using namespace lv;

namespace {

template <class T> T* named(QWidget* parent, const char* name) {
    auto* o = new T(parent);
    o->setObjectName(QString::fromLatin1(name));
    return o;
}

// Names as the shipped packs use them, so that their seeds reach every kind of control.
struct TForms {
    std::unique_ptr<QWidget> main = std::make_unique<QWidget>();
    std::unique_ptr<QDialog> reorder = std::make_unique<QDialog>();

    TForms() {
        QWidget* m = main.get();
        m->setObjectName("MainDlg");
        named<TTextStorage>(m, "main_ts")->SetEnglish({"Empty picture list", "Aborted by user."});
        named<QAction>(m, "Load1");
        named<QMenu>(m, "File1");
        named<QGroupBox>(m, "photo_grp");
        named<QPushButton>(named<QGroupBox>(m, "sound_grp"), "sound_btn");
        named<QCheckBox>(m, "dynamics_chk");
        named<QLabel>(m, "time_lbl");
        named<QLineEdit>(m, "out_edt");
        named<QComboBox>(m, "res_cmb")->addItems({"320x240", "640x480"});
        // A dialog opened from the form owns its own controls.
        named<QLabel>(named<QDialog>(m, "JumpDlg"), "ok_btn");

        QDialog* r = reorder.get();
        r->setObjectName("ReorderDlg");
        named<QListWidget>(r, "lst")->addItems({"a.jpg", "b.bmp", "c.jpg"});
        named<QTreeWidget>(r, "pics_tree")->setColumnCount(2);
        named<QLabel>(r, "pos_lbl")->setProperty("ShowHint", false);
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = lvfuzz::WriteInput(data, size, ".SPK");
    PackDisplayString(path);
    PackFlag(path);
    TPack pack;
    try {
        pack = ReadPack(path);
    } catch (const Error&) {
        return 0;
    }
    TForms forms;
    TLanguageRecord record;
    record.Excluded = {"time_lbl"};
    record.Apply(pack, {forms.main.get(), forms.reorder.get()}, forms.main.get());
    return 0;
}
