#pragma once

#include "Lang/LanguagePack.h"
#include "Lang/LanguageTable.h"
#include "app/gui/LanguageRecord.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QWidget;

namespace lv {

// The installed language packs and the one in use (on the main window as `langue`). Packs
// are PacksFolder() + FilePrefix + 8 hex digits of their packed id + ".SPK". Setting
// LanguageIndex applies a pack to the main window and to every form shown from then on,
// remembers it in the settings store and raises AfterLanguageSwitch. What goes wrong with a
// pack (not listed, not applied, texts cut) is logged at level Error in the main window's log
// once that exists. User-interface thread.
class TLangList : public QObject {
    Q_OBJECT
public:
    explicit TLangList(QWidget* mainWindow);
    ~TLangList() override;

    std::string FilePrefix = "LMV_";
    // Packs live in this folder of ProgramDataFolder().
    std::string SubDir = "lang";
    std::string RegKey = "HKEY_CURRENT_USER\\Software\\Tessaro\\Lumivane";
    bool Autoload = true;
    QStringList ExcludedComps;
    // Shows an error of a switch or of the template (the window's error box).
    std::function<void(const QString&)> ReportError;
    // Writes a line to the log at level Error; false while there is no log yet.
    std::function<bool(const std::string&)> LogError;

    std::string PacksFolder() const;
    // True when at least one pack was found.
    bool ScanPacks();
    const std::vector<TFoundPack>& Packs() const { return m_packs; }

    int LanguageIndex() const { return m_index; }
    // Outside the list: nothing. A pack that cannot be applied leaves the texts as they are
    // (index and stored value are updated all the same) and raises no AfterLanguageSwitch;
    // one of an unknown revision is reported through ReportError, naming its file.
    void SetLanguageIndex(int index);
    // The stored choice, or the user's language among the packs of a readable revision when
    // nothing is stored. A stored choice of an unreadable revision is reported, then gives way
    // to a readable pack of its language, else of the user's, which is stored in its place
    // (nothing is stored when there is none), so that the next start is quiet.
    bool SelectStoredLanguage();
    void SaveLanguage() const;
    // The banner of the pack applied last; empty before any.
    QString Banner() const;

    // Start-up, once: "-co" (or "/CO") among `arguments` writes the template of `forms()`
    // first; then the packs are scanned and the stored language selected.
    void StartUp(const QStringList& arguments, const std::function<std::vector<QWidget*>()>& forms);
    // Writes PacksFolder() + FilePrefix + "ORIGINAL.SPK" from the forms' current texts.
    void WriteTemplatePack(const std::vector<QWidget*>& forms);

    // Applies the pack in use, if any, to a form created after the switch.
    void ApplyTo(QWidget* form) const;

Q_SIGNALS:
    void AfterLanguageSwitch();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TLanguageRecord record() const;
    // False while the main window has no log yet.
    bool logError(const std::string& line) const;

    QWidget* m_mainWindow;
    std::vector<TFoundPack> m_packs;
    int m_index = 0;
    std::unique_ptr<TPack> m_current; // the pack applied last
    int m_serial = 0;                 // counts applied packs, so a form gets each once
    bool m_started = false;
    std::set<std::string> m_skipsLogged; // packs are scanned again whenever Settings opens
};

} // namespace lv
