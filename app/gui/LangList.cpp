#include "app/gui/LangList.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Registry.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>

#include <cstdlib>

namespace lv {

namespace {

constexpr const char* kAppliedProperty = "lvLanguageSerial";

} // namespace

TLangList::TLangList(QWidget* mainWindow) : QObject(mainWindow), m_mainWindow(mainWindow) {
    setObjectName(QStringLiteral("langue"));
    qApp->installEventFilter(this);
}

TLangList::~TLangList() = default;

std::string TLangList::PacksFolder() const {
    auto withSeparator = [](std::string folder) {
        if (folder.empty() || folder.back() != '/')
            folder += '/';
        return folder;
    };
    const std::string shipped = ProgramDataFolder() + SubDir;
    if (QFileInfo(QString::fromStdString(shipped)).isDir())
        return withSeparator(shipped);
    return withSeparator(QDir::currentPath().toStdString() + "/" + SubDir);
}

bool TLangList::ScanPacks() {
    m_packs = lv::ScanPacks(PacksFolder(), FilePrefix, [this](const std::string& why) {
        if (!m_skipsLogged.count(why) && logError(why))
            m_skipsLogged.insert(why);
    });
    return !m_packs.empty();
}

bool TLangList::logError(const std::string& line) const {
    return LogError && LogError(line);
}

TLanguageRecord TLangList::record() const {
    TLanguageRecord r;
    r.Excluded = ExcludedComps;
    return r;
}

void TLangList::SetLanguageIndex(int index) {
    if (index < 0 || index >= int(m_packs.size()))
        return;
    m_index = index;
    if (Autoload)
        SaveLanguage();
    TPack pack;
    try {
        pack = ReadPack(m_packs[std::size_t(index)].File);
    } catch (const EPackRevision& e) {
        logError(e.what());
        if (ReportError)
            ReportError(QString::fromStdString(e.what()));
        return;
    } catch (const Error& e) {
        logError(e.what()); // missing or damaged: the texts stay as they are
        return;
    }
    for (const std::string& cut : pack.Cuts)
        logError(cut);
    m_current = std::make_unique<TPack>(std::move(pack));
    ++m_serial;
    // The main window and every form already open; forms shown later get it as they show.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w == m_mainWindow || (qobject_cast<QDialog*>(w) && w->isVisible()))
            ApplyTo(w);
    Q_EMIT AfterLanguageSwitch();
}

void TLangList::ApplyTo(QWidget* form) const {
    if (!m_current || form->property(kAppliedProperty).toInt() == m_serial)
        return;
    form->setProperty(kAppliedProperty, m_serial);
    record().Apply(*m_current, {form}, m_mainWindow);
}

bool TLangList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && m_current) {
        auto* dialog = qobject_cast<QDialog*>(watched);
        // Qt's own boxes carry no component of ours.
        if (dialog && !qobject_cast<QMessageBox*>(dialog) && !dialog->objectName().isEmpty())
            ApplyTo(dialog);
    }
    return QObject::eventFilter(watched, event);
}

bool TLangList::SelectStoredLanguage() {
    const std::string stored = ReadRegString(RegKey, objectName().toStdString());
    std::int64_t value = -1;
    if (!stored.empty()) {
        char* end = nullptr;
        const long long parsed = std::strtoll(stored.c_str(), &end, 10);
        if (end && *end == '\0' && parsed >= 0)
            value = parsed;
    }
    const std::uint16_t user = LangIdFromLocale(QLocale::system().name().toStdString());
    std::vector<TFoundPack> readable;
    std::vector<int> positions;
    for (std::size_t i = 0; i < m_packs.size(); ++i)
        if (PackRevisionReadable(m_packs[i].Revision)) {
            readable.push_back(m_packs[i]);
            positions.push_back(int(i));
        }
    auto amongReadable = [&](std::int64_t choice) {
        const int i = SelectLanguage(readable, choice, user);
        return i < 0 ? -1 : positions[std::size_t(i)];
    };
    // What nobody chose must not raise an error at every start.
    const int index = value < 0 ? amongReadable(-1) : SelectLanguage(m_packs, value, user);
    if (index < 0)
        return false;
    SetLanguageIndex(index);
    if (PackRevisionReadable(m_packs[std::size_t(index)].Revision))
        return true;
    // Reported once: the choice that cannot be read gives way, also in the settings store.
    int fallback = amongReadable(value);
    if (fallback < 0)
        fallback = amongReadable(-1);
    if (fallback >= 0) {
        SetLanguageIndex(fallback);
        return true;
    }
    if (Autoload)
        WriteRegString(RegKey, objectName().toStdString(), "");
    return false;
}

void TLangList::SaveLanguage() const {
    if (m_index >= 0 && m_index < int(m_packs.size()))
        WriteRegString(RegKey, objectName().toStdString(),
                       std::to_string(m_packs[std::size_t(m_index)].Packed));
}

QString TLangList::Banner() const {
    return m_current ? QString::fromStdString(m_current->Header.Banner) : QString();
}

void TLangList::StartUp(const QStringList& arguments,
                        const std::function<std::vector<QWidget*>()>& forms) {
    if (m_started)
        return;
    m_started = true;
    for (int i = 1; i < arguments.size(); ++i) {
        if (IsTemplateSwitch(arguments[i].toStdString())) {
            QApplication::beep();
            ScanPacks();
            // The language still loads when the template cannot be written.
            try {
                WriteTemplatePack(forms());
            } catch (const std::exception& e) {
                if (ReportError)
                    ReportError(QString::fromStdString(e.what()));
            }
            break;
        }
    }
    ScanPacks();
    if (Autoload)
        SelectStoredLanguage();
}

void TLangList::WriteTemplatePack(const std::vector<QWidget*>& forms) {
    QDir().mkpath(QString::fromStdString(PacksFolder()));
    const TPack pack = record().Template(forms, m_mainWindow, [this](const QString& message) {
        if (ReportError)
            ReportError(message);
    });
    WritePack(PacksFolder() + FilePrefix + "ORIGINAL.SPK", pack);
}

} // namespace lv
