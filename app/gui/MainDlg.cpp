#include "app/gui/MainDlg.h"

#include "Audio/Duration.h"
#include "Common/BmpToAvi.h"
#include "Common/FrameServer.h"
#include "Lang/TextStorage.h"
#include "MultiPlex/Container.h"
#include "app/gui/AboutDlg.h"
#include "app/gui/BurnDlg.h"
#include "app/gui/CodecConfigDlg.h"
#include "app/gui/Dialogs.h"
#include "app/gui/ExpertDlg.h"
#include "app/gui/HelpPage.h"
#include "app/gui/Icons.h"
#include "app/gui/JumpDlg.h"
#include "app/gui/LangList.h"
#include "app/gui/LoaderDlg.h"
#include "app/gui/PreviewDlg.h"
#include "app/gui/ProcessSuccessDlg.h"
#include "app/gui/ReorderDlg.h"
#include "app/gui/SettingsDlg.h"
#include "app/gui/SpinEdit.h"
#include "app/run/CodecChoice.h"
#include "app/run/PreviewFrames.h"
#include "app/run/RunSettings.h"
#include "app/run/Soundtrack.h"
#include "app/run/Startup.h"
#include "log/KLog.h"
#include "platform/Dib.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "project/DroppedFiles.h"
#include "project/FolderOrder.h"
#include "project/PictureFiles.h"
#include "project/ProjectFile.h"

#include "ui_MainDlg.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>

namespace lv {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string s(const QString& text) {
    return text.toStdString();
}

// The preview is redrawn at most this often: the eye sees no more, and every frame's
// progress call makes the encoder wait for this thread.
constexpr int kPreviewIntervalMs = 40;

constexpr int kThumbWidth = 100;
constexpr int kThumbHeight = 75;

} // namespace

TMainDlg::TMainDlg(std::unique_ptr<TDialogs> dialogs, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::MainDlg>()), m_dialogs(std::move(dialogs)),
      m_texts(new TTextStorage(this)), m_lang(new TLangList(this)) {
    ui->setupUi(this);
    m_texts->setObjectName(QStringLiteral("main_ts"));
    m_texts->SetEnglish(Messages());
    // Filled from this machine at start: a pack's lines would name another machine's codecs.
    m_lang->ExcludedComps = {QStringLiteral("codecs_cmb"), QStringLiteral("res_cmb"),
                             QStringLiteral("AboutDlg.version_lbl"),
                             QStringLiteral("AboutDlg.links_lbl")};
    connect(m_lang, &TLangList::AfterLanguageSwitch, this, &TMainDlg::langueAfterLanguageSwitch);
    m_lang->ReportError = [this](const QString& text) { m_dialogs->Error(this, text); };
    m_lang->LogError = [this](const std::string& line) {
        if (m_log)
            m_log->Write(line, llError);
        return m_log != nullptr;
    };
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    QFont strip = ui->prev_btn->font();
    strip.setPixelSize(13);
    strip.setBold(true);
    ui->prev_btn->setFont(strip);
    ui->next_btn->setFont(strip);
    QFont counter = ui->thumbstats_lbl->font();
    counter.setBold(true);
    ui->thumbstats_lbl->setFont(counter);
    for (int k = 0; k < int(m_slots.size()); ++k) {
        auto* slot = new QLabel(ui->thumb_rct);
        slot->setGeometry(k * 103 + 1, 1, kThumbWidth, kThumbHeight);
        slot->setAlignment(Qt::AlignCenter);
        slot->setCursor(Qt::PointingHandCursor);
        slot->installEventFilter(this);
        slot->hide();
        m_slots[std::size_t(k)] = slot;
    }
    ui->dlcodecs_lbl->installEventFilter(this);
    // The preview and the picture counter come and go without the layout moving around them.
    for (QWidget* w : {static_cast<QWidget*>(ui->img), static_cast<QWidget*>(ui->thumbstats_lbl)}) {
        QSizePolicy keep = w->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        w->setSizePolicy(keep);
    }
    ui->img->hide();

    ui->settings_btn->setIcon(SettingsIcon());
    ui->help_btn->setIcon(HelpIcon());
    ui->about_btn->setIcon(AboutIcon());

    ui->menu->setObjectName(QStringLiteral("menu"));
    QAction* n4 = ui->Pictures1->insertSeparator(ui->Organize1);
    n4->setObjectName(QStringLiteral("N4"));
    QAction* n3 = ui->N1->insertSeparator(ui->About1);
    n3->setObjectName(QStringLiteral("N3"));
    // The separators the form file adds are unnamed: keep only the named ones.
    for (QMenu* menu : {ui->Pictures1, ui->N1})
        for (QAction* a : menu->actions())
            if (a->isSeparator() && a->objectName().isEmpty())
                menu->removeAction(a);

    m_countPanel = new QLabel(this);
    m_countPanel->setMinimumWidth(200);
    m_statusPanel = new QLabel(this);
    m_statusPanel->setMinimumWidth(50);
    ui->StatusBar->addWidget(m_countPanel);
    ui->StatusBar->addWidget(m_statusPanel, 1);
    ui->StatusBar->setSizeGripEnabled(false);

    setAcceptDrops(true);
    connectHandlers();
}

TMainDlg::~TMainDlg() {
    if (m_log)
        m_log->Write("Closing...", llInfo);
    // A job still running reads the lists: the run cancels it and waits before they go.
    m_run.reset();
    m_thumbServer.reset();
}

template <typename Handler> void TMainDlg::guarded(Handler handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        showError(e);
    }
}

QStringList TMainDlg::Messages() {
    return {"Soundtrack too short or too many picture loaded. Using minimal picture duration.",
            "Empty picture list", "File not found :", "Invalid output file",
            "Visual options disabled due to incompatible temporal settings", "Processing Video",
            "An error has occured. Please reset the application.", "Aborted by user.",
            "Processing Audio", "unused", "pictures",
            "An error occured while processing video. Please choose another codec or different "
            "settings and retry.",
            "Convertion to DVD requires a third party product from ZOQ Software. Do you want to "
            "download it now ?",
            "Ardisk is required to burn CDs or DVDs. Do you want to download it now ?",
            // Messages of this program beyond the classic ones.
            "This codec has no settings to configure.", "This file does not exist. Create it?",
            "A run is already under way"};
}

QString TMainDlg::Translate(const QString& english) const {
    return m_texts->Translate(english);
}

void TMainDlg::langueAfterLanguageSwitch() {
    // A pack may translate the caption: it always shows the name and the version.
    setWindowTitle(q(ProgramCaption()));
    updatePictureCount();
    fitWindow();
    // Some widgets take their new size only once the events of the switch have run.
    QTimer::singleShot(0, this, &TMainDlg::fitWindow);
}

// A fixed window: the size its layouts need with this platform's fonts and the captions of
// the current language.
void TMainDlg::fitWindow() {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    // New captions ask their layouts to be redone later: do it now, before measuring.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    // The side panel keeps its classic width unless a caption needs more.
    int side = 0;
    for (QToolButton* b : {ui->settings_btn, ui->help_btn, ui->about_btn})
        side = std::max(side, b->sizeHint().width());
    ui->modes_pnl->setMinimumWidth(std::max(103, side + 26));
    for (QLayout* l : findChildren<QLayout*>())
        l->invalidate();
    if (layout())
        layout()->activate();
    setFixedSize(sizeHint());
}

std::vector<std::unique_ptr<QWidget>> TMainDlg::CreateDialogs() {
    std::vector<std::unique_ptr<QWidget>> forms;
    forms.push_back(std::make_unique<TAboutDlg>([](const QUrl&) {}, this));
    forms.push_back(std::make_unique<TJumpDlg>(this));
    if (m_thumbServer)
        forms.push_back(std::make_unique<TReorderDlg>(m_pictures, *m_thumbServer, this));
    forms.push_back(std::make_unique<TLoaderDlg>(this));
    forms.push_back(std::make_unique<TSettingsDlg>(this, m_lang));
    forms.push_back(std::make_unique<TExpertDlg>(this));
    forms.push_back(std::make_unique<TProcessSuccessDlg>(*m_dialogs, this));
    forms.push_back(std::make_unique<TBurnDlg>(*m_dialogs, this));
    forms.push_back(
        std::make_unique<TCodecConfigDlg>(QString(), std::vector<TCodecSetting>{}, this));
    forms.push_back(std::make_unique<TPreviewDlg>(nullptr, QString(), this));
    return forms;
}

void TMainDlg::showError(const std::exception& e) {
    if (m_log && !dynamic_cast<const Error*>(&e))
        m_log->Write(std::string("Internal error: ") + e.what(), llError);
    m_dialogs->Error(this, q(ErrorWithLocation(e)));
}

void TMainDlg::message(const QString& text) {
    m_dialogs->Message(this, Translate(text));
}

void TMainDlg::connectHandlers() {
    auto on = [this](auto* sender, auto signal, void (TMainDlg::*handler)()) {
        connect(sender, signal, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    using B = QAbstractButton;
    on(ui->sound_btn, &B::clicked, &TMainDlg::sound_btnClick);
    on(ui->Select1, &QAction::triggered, &TMainDlg::sound_btnClick);
    on(ui->resetaudio_btn, &B::clicked, &TMainDlg::resetaudio_btnClick);
    on(ui->Remove1, &QAction::triggered, &TMainDlg::resetaudio_btnClick);
    on(ui->out_btn, &B::clicked, &TMainDlg::out_btnClick);
    on(ui->go_btn, &B::clicked, &TMainDlg::go_btnClick);
    on(ui->cancel_btn, &B::clicked, &TMainDlg::cancel_btnClick);
    on(ui->preview_btn, &B::clicked, &TMainDlg::preview_btnClick);
    on(ui->Preview1, &QAction::triggered, &TMainDlg::preview_btnClick);
    on(ui->dynamics_chk, &B::clicked, &TMainDlg::dynamics_chkClick);
    on(ui->matchaudio_btn, &B::clicked, &TMainDlg::matchaudio_btnClick);
    on(ui->exp_btn, &B::clicked, &TMainDlg::exp_btnClick);
    on(ui->codecconfig_btn, &B::clicked, &TMainDlg::codecconfig_btnClick);
    on(ui->codecabout_btn, &B::clicked, &TMainDlg::codecabout_btnClick);
    on(ui->settings_btn, &B::clicked, &TMainDlg::settings_btnClick);
    on(ui->help_btn, &B::clicked, &TMainDlg::help_btnClick);
    on(ui->Help1, &QAction::triggered, &TMainDlg::help_btnClick);
    on(ui->about_btn, &B::clicked, &TMainDlg::about_btnClick);
    on(ui->About1, &QAction::triggered, &TMainDlg::about_btnClick);
    on(ui->Quit1, &QAction::triggered, &TMainDlg::Quit1Click);
    on(ui->addphotos_btn, &B::clicked, &TMainDlg::addphotos_btnClick);
    on(ui->Add1, &QAction::triggered, &TMainDlg::addphotos_btnClick);
    on(ui->imgreset_btn, &B::clicked, &TMainDlg::imgreset_btnClick);
    on(ui->reset1, &QAction::triggered, &TMainDlg::imgreset_btnClick);
    on(ui->next_btn, &B::clicked, &TMainDlg::next_btnClick);
    on(ui->prev_btn, &B::clicked, &TMainDlg::prev_btnClick);
    on(ui->jump_btn, &B::clicked, &TMainDlg::jump_btnClick);
    on(ui->organize_btn, &B::clicked, &TMainDlg::organize_btnClick);
    on(ui->Organize1, &QAction::triggered, &TMainDlg::organize_btnClick);
    on(ui->load_btn, &B::clicked, &TMainDlg::load_btnClick);
    on(ui->Load1, &QAction::triggered, &TMainDlg::load_btnClick);
    on(ui->save_btn, &B::clicked, &TMainDlg::save_btnClick);
    on(ui->Save1, &QAction::triggered, &TMainDlg::save_btnClick);
}

bool TMainDlg::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate)
        guarded([this] { StartUp(); });
    return QMainWindow::event(e);
}

void TMainDlg::showEvent(QShowEvent* e) {
    guarded([this] { StartUp(); });
    QMainWindow::showEvent(e);
}

void TMainDlg::StartUp() {
    if (m_started)
        return;
    m_started = true;
    const std::string executable = ProgramFolder() + "lumivane";
    WriteRegString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessaro", "Lumivane", executable);
    setWindowTitle(q(ProgramCaption()));

    m_log = CreateProgramLog();
    m_run = std::make_unique<TSlideshowRun>(m_pictures, m_log.get());
    connect(m_run.get(), &TSlideshowRun::VideoProgress, this, &TMainDlg::videoProgress);
    connect(m_run.get(), &TSlideshowRun::MuxProgress, this, &TMainDlg::muxProgress);
    connect(m_run.get(), &TSlideshowRun::StatusChanged, this,
            [this](const QString& status) { m_statusPanel->setText(Translate(status)); });
    connect(m_run.get(), &TSlideshowRun::PhaseChanged, this, [this](TRunPhase phase) {
        if (phase == TRunPhase::Audio)
            ui->img->hide();
    });
    connect(m_run.get(), &TSlideshowRun::VisualOptionsCleared, this, [this] {
        for (QCheckBox* box : {ui->dynamics_chk, ui->xfade_chk, ui->osd_chk})
            box->setChecked(false);
    });
    connect(m_run.get(), &TSlideshowRun::Notice, this, &TMainDlg::message);
    connect(m_run.get(), &TSlideshowRun::Finished, this, &TMainDlg::runFinished);

    std::vector<std::string> codecs;
    TBmpToAvi::ListCodecs(codecs);
    for (const auto& line : codecs)
        ui->codecs_cmb->addItem(q(line));
    ui->codecs_cmb->setCurrentIndex(SelectCodecLine(codecs, ReadRegString("LastFCC")));

    LogStartup(*m_log, executable, ProgramCaption());
    LogDecoderLibraries(*m_log);

    m_soundtrackDuration = 0;
    m_thumbServer = std::make_unique<TFrameServer>(m_pictures.PicturePaths, nullptr, 1,
                                                   kThumbHeight, kThumbWidth, false, false, false);
    m_thumbServer->SetSharedThumbnails(&m_sharedThumbs);
    m_thumbWarmer = std::make_unique<TThumbWarmer>(m_sharedThumbs, kThumbWidth, kThumbHeight);
    m_strip.Reset();

    for (const auto& item : ResolutionItems())
        ui->res_cmb->addItem(q(item));
    ui->res_cmb->setCurrentIndex(kDefaultResolution);

    EnableControls(true);
    updatePictureCount();
    fitWindow();

    std::vector<std::unique_ptr<QWidget>> dialogs; // alive while the template is written
    m_lang->StartUp(QCoreApplication::arguments(), [&] {
        dialogs = CreateDialogs();
        std::vector<QWidget*> forms{this};
        for (auto& d : dialogs)
            forms.push_back(d.get());
        return forms;
    });
}

void TMainDlg::EnableControls(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->sound_btn,     ui->resetaudio_btn, ui->sound_txt,      ui->organize_btn,
             ui->addphotos_btn, ui->imgreset_btn,   ui->load_btn,       ui->save_btn,
             ui->dynamics_chk,  ui->FPS_txt,        ui->matchaudio_btn, ui->osd_chk,
             ui->time_txt,      ui->xfade_chk,      ui->exp_btn,        ui->codecconfig_btn,
             ui->codecs_cmb,    ui->res_cmb,        ui->go_btn,         ui->out_btn,
             ui->out_txt,       ui->preview_btn})
        w->setEnabled(on);
    for (QAction* a : {ui->Load1, ui->Save1, ui->Add1, ui->reset1, ui->Organize1, ui->Preview1,
                       ui->Select1, ui->Remove1})
        a->setEnabled(on);
    updateMatchAudio();
    ui->cancel_btn->setEnabled(!on);
}

// --- soundtrack and output ---

void TMainDlg::sound_btnClick() {
    TFileDialog request{QStringLiteral("JODSound"),
                        q(ReadRegString("AudioPath")),
                        {QStringLiteral("MP3 files (*.mp3)")}};
    const QStringList files = m_dialogs->OpenFiles(this, request);
    if (files.isEmpty())
        return;
    SetSoundtrackFile(s(files.front()));
    WriteRegString("AudioPath", ExtractFilePath(s(files.front())));
}

void TMainDlg::SetSoundtrackFile(const std::string& path) {
    const auto seconds = SoundtrackSeconds(path);
    if (!seconds)
        return;
    ui->sound_txt->setText(q(path));
    m_soundtrackDuration = *seconds;
    ui->audioduration_lbl->setText(q(FormatDuration(*seconds)));
    updateMatchAudio();
}

// The one place that enables "Match audio": time_txt is disabled in single-frame mode and
// during a run.
void TMainDlg::updateMatchAudio() {
    ui->matchaudio_btn->setEnabled(
        MatchAudioAllowed(m_soundtrackDuration, ui->time_txt->isEnabled()));
}

void TMainDlg::resetaudio_btnClick() {
    ui->sound_txt->clear();
    ui->audioduration_lbl->clear();
    m_soundtrackDuration = 0;
    updateMatchAudio();
}

void TMainDlg::out_btnClick() {
    TFileDialog request{QStringLiteral("JSD"),
                        q(ReadRegString("OutPath")),
                        {QStringLiteral("AVI Files (*.avi)"), QStringLiteral("MP4 Files (*.mp4)"),
                         QStringLiteral("Matroska Files (*.mkv)")},
                        QStringLiteral("avi")};
    request.ConfirmOverwrite = true;
    QString filter;
    request.SelectedFilter = &filter;
    const QString name = m_dialogs->SaveFile(this, request);
    if (name.isEmpty())
        return;
    const QString suffix = FilterSuffix(filter);
    const std::string output =
        OutputFileName(s(name), suffix.isEmpty() ? std::string(".avi") : "." + s(suffix));
    ui->out_txt->setText(q(output));
    WriteRegString("OutPath", ExtractFilePath(s(name)));
    proposeWebCompressor(output);
}

// MP4 and Matroska are chosen to be played in browsers and on phones, which show no picture
// of most compressors: the one they show is proposed, and the user may keep theirs.
void TMainDlg::proposeWebCompressor(const std::string& output) {
    const TContainer container = ContainerOfFile(output);
    const int index = ui->codecs_cmb->currentIndex();
    const std::string fourCC =
        index < 0 ? std::string() : FourCCOfLine(s(ui->codecs_cmb->currentText()));
    const std::string web = WebCompressor();
    if (container == TContainer::Avi || web.empty() || PlaysOnTheWeb(container, fourCC))
        return;
    const std::string kind = ContainerName(container);
    const std::string why = ContainerHolds(container, fourCC)
                                ? fourCC + " video in " + kind +
                                      " files plays in desktop players, but web browsers and "
                                      "phones show no picture."
                                : ContainerRefusal(container, fourCC) + ".";
    if (!m_dialogs->Confirm(this, q(why + " Use " + web + " instead?")))
        return;
    std::vector<std::string> lines;
    for (int i = 0; i < ui->codecs_cmb->count(); ++i)
        lines.push_back(s(ui->codecs_cmb->itemText(i)));
    ui->codecs_cmb->setCurrentIndex(SelectCodecLine(lines, web));
}

// --- the run ---

TRunSettings TMainDlg::readSettings() const {
    TRunSettings r;
    r.TimePerPicture = ui->time_txt->value();
    r.Fps = ui->FPS_txt->value();
    r.Resolution = s(ui->res_cmb->currentText());
    r.FourCC = ui->codecs_cmb->currentIndex() < 0 ? std::string()
                                                  : FourCCOfLine(s(ui->codecs_cmb->currentText()));
    r.DynamicPictures = ui->dynamics_chk->isChecked();
    r.CrossFade = ui->xfade_chk->isChecked();
    r.TextOverlay = ui->osd_chk->isChecked();
    r.SingleFrame = !ui->dynamics_chk->isEnabled();
    r.OutputFile = s(ui->out_txt->text());
    r.SoundtrackFile = s(ui->sound_txt->text());
    r.ProjectFile = m_projectFile;
    return r;
}

void TMainDlg::showOptions(const TRunSettings& settings) {
    ui->dynamics_chk->setChecked(settings.DynamicPictures);
    ui->xfade_chk->setChecked(settings.CrossFade);
    ui->osd_chk->setChecked(settings.TextOverlay);
}

TPreviewDlg* TMainDlg::PreviewWindow() const {
    return m_previewDlg.data();
}

void TMainDlg::closePreview() {
    // Deleted now, not later: its frames and the pictures they hold go with it.
    delete m_previewDlg.data();
}

void TMainDlg::go_btnClick() {
    closePreview();
    TRunSettings settings = readSettings();
    try {
        m_run->Start(settings);
    } catch (const EAssertionFailed&) {
        showOptions(settings);
        throw;
    } catch (const Error& e) {
        // The run's own refusals ("Empty picture list"...) are messages, not failures.
        showOptions(settings);
        message(q(e.what()));
        return;
    }
    showOptions(settings);
    if (m_thumbWarmer)
        m_thumbWarmer->Warm({});
    m_previewUpdates = 0;
    m_previewClock.invalidate();
    ui->pb->setValue(0);
    EnableControls(false);
}

void TMainDlg::preview_btnClick() {
    // Opened again, it takes the settings and lists as they are now.
    closePreview();
    TRunSettings settings = readSettings();
    std::unique_ptr<TPreviewFrames> frames;
    try {
        frames = m_run->Preview(settings);
    } catch (const Error& e) {
        showOptions(settings);
        message(q(e.what()));
        return;
    }
    showOptions(settings);
    auto* preview = new TPreviewDlg(std::move(frames), q(settings.SoundtrackFile), this);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    m_previewDlg = preview;
    preview->show();
}

void TMainDlg::cancel_btnClick() {
    if (m_run && m_run->Running()) {
        m_run->Cancel();
        ui->cancel_btn->setEnabled(false);
    }
}

void TMainDlg::videoProgress(int position, int total) {
    ui->pb->setMaximum(total);
    ui->pb->setValue(position);
    const TDib* frame = m_run->CurrentFrame();
    if (!frame)
        return;
    if (m_previewClock.isValid() && m_previewClock.elapsed() < kPreviewIntervalMs)
        return;
    m_previewClock.start();
    DibToPreview(*frame, m_preview, ui->img->width(), ui->img->height());
    ui->img->setPixmap(QPixmap::fromImage(m_preview));
    ui->img->show();
    ++m_previewUpdates;
}

void TMainDlg::muxProgress(int position, int max, const QString& text) {
    ui->pb->setMaximum(max);
    ui->pb->setValue(position);
    ui->prog_lbl->setText(text);
}

void TMainDlg::runFinished(TRunOutcome outcome) {
    ui->pb->setRange(0, 100); // the end of the join leaves 0 .. 0, a busy bar
    ui->pb->setValue(0);
    ui->prog_lbl->clear();
    EnableControls(true);
    if (m_closing)
        return;
    warmThumbs();
    switch (outcome) {
    case TRunOutcome::Done:
        if (!m_run->Detail().isEmpty())
            m_dialogs->Message(this, m_run->Detail()); // delivered, but without its sound
        showDone(m_run->OutputFile());
        break;
    case TRunOutcome::Aborted:
        m_dialogs->Message(this, m_run->Detail().isEmpty()
                                     ? Translate(m_run->Message())
                                     : Translate(m_run->Message()) + "\n\n" + m_run->Detail());
        break;
    case TRunOutcome::Failed: {
        QString text = Translate(m_run->Message());
        if (!m_run->Detail().isEmpty())
            text += "\n\n" + m_run->Detail();
        if (!m_run->Location().isEmpty())
            text += " (" + m_run->Location() + ")";
        m_dialogs->Error(this, text);
        break;
    }
    }
}

void TMainDlg::showDone(const std::string& video) {
    TProcessSuccessDlg done(*m_dialogs, this);
    done.VideoPath = video;
    done.Translate = [this](const QString& english) { return Translate(english); };
    m_dialogs->Exec(done);
}

// --- options ---

void TMainDlg::dynamics_chkClick() {
    ui->FPS_txt->setValue(ui->dynamics_chk->isChecked() ? 25 : 15);
}

void TMainDlg::matchaudio_btnClick() {
    const auto match = MatchAudio(m_soundtrackDuration, std::int64_t(m_pictures.Count()),
                                  ui->xfade_chk->isChecked());
    if (!match)
        return;
    ui->time_txt->setValue(match->TimePerPicture);
    if (match->TooShort)
        message(q(kMatchAudioTooShort));
}

void TMainDlg::exp_btnClick() {
    TExpertDlg dialog(this);
    dialog.SetSingleFrame(!ui->dynamics_chk->isEnabled());
    if (m_dialogs->Exec(dialog) != QDialog::Accepted)
        return;
    const bool single = dialog.SingleFrame();
    for (QWidget* w : std::initializer_list<QWidget*>{ui->dynamics_chk, ui->xfade_chk, ui->osd_chk,
                                                      ui->time_txt})
        w->setEnabled(!single);
    updateMatchAudio();
}

void TMainDlg::codecconfig_btnClick() {
    if (ui->codecs_cmb->currentIndex() < 0)
        return;
    TBmpToAvi& writer = m_run->Writer();
    writer.SetCodec(FourCCOfLine(s(ui->codecs_cmb->currentText())));
    const auto settings = writer.Configure();
    if (settings.empty()) {
        message(QStringLiteral("This codec has no settings to configure."));
        return;
    }
    TCodecConfigDlg dialog(ui->codecs_cmb->currentText(), settings, this);
    if (m_dialogs->Exec(dialog) == QDialog::Accepted)
        writer.StoreConfiguration(dialog.Settings());
}

void TMainDlg::codecabout_btnClick() {
    if (ui->codecs_cmb->currentIndex() < 0)
        return;
    // A run may be using the writer: ask a compressor of its own.
    TBmpToAvi about;
    about.SetCodec(FourCCOfLine(s(ui->codecs_cmb->currentText())));
    message(q(about.About()));
}

void TMainDlg::dlcodecs_btnClick() {
    m_dialogs->OpenUrl(HelpPageUrl(QStringLiteral("codecs")));
}

void TMainDlg::settings_btnClick() {
    TSettingsDlg dialog(this, m_lang);
    m_dialogs->Exec(dialog);
}

void TMainDlg::help_btnClick() {
    m_dialogs->OpenUrl(HelpPageUrl());
}

void TMainDlg::about_btnClick() {
    TAboutDlg dialog([this](const QUrl& url) { m_dialogs->OpenUrl(url); }, this);
    m_dialogs->Exec(dialog);
}

void TMainDlg::Quit1Click() {
    close();
}

void TMainDlg::closeEvent(QCloseEvent* e) {
    if (m_run && m_run->Running()) {
        // The job reads the lists and the writer: let it stop before anything goes.
        m_closing = true;
        QEventLoop loop;
        connect(m_run.get(), &TSlideshowRun::Finished, &loop, &QEventLoop::quit);
        m_run->Cancel();
        if (m_run->Running())
            loop.exec();
    }
    e->accept();
}

// --- the picture list and its strip ---

void TMainDlg::addphotos_btnClick() {
    TFileDialog request{QStringLiteral("JOD"),
                        q(ReadRegString("PicsPath")),
                        {QStringLiteral("JPEG (*.jpeg *.jpg)"), QStringLiteral("Bitmap (*.bmp)")}};
    request.Multiple = true;
    std::vector<std::string> chosen;
    for (const QString& file : m_dialogs->OpenFiles(this, request))
        chosen.push_back(s(file));
    if (chosen.empty())
        return;
    const std::vector<std::string> ordered = SortByFolderOrder(chosen);
    AddPictureFiles(ordered);
    if (!ordered.empty())
        WriteRegString("PicsPath", ExtractFilePath(ordered.front()));
}

void TMainDlg::AddPictureFiles(const std::vector<std::string>& entries,
                               const std::string& baseFolder) {
    lv::AddPictureFiles(m_pictures, entries, m_log.get(), baseFolder);
    updatePictureCount();
    refreshThumbs();
}

void TMainDlg::clearPictures() {
    m_pictures.Clear();
    m_strip.Reset();
    refreshThumbs();
}

void TMainDlg::imgreset_btnClick() {
    clearPictures();
    ui->thumbstats_lbl->clear();
    ui->img->hide();
    updatePictureCount();
}

void TMainDlg::refreshThumbs() {
    const int count = int(m_pictures.Count());
    const int first = m_strip.FirstThumb();
    auto loadSlot = [this, first](int k) {
        if (m_strip[k].Tag == first + k)
            return;
        QImage frame;
        try {
            m_thumbServer->RenderFrame(frame, first + k);
        } catch (const Error& e) {
            // An unusable picture shows an empty slot; the run reports it.
            if (m_log)
                m_log->Write(e.what(), llError);
            frame = QImage(kThumbWidth, kThumbHeight, QImage::Format_RGB32);
            frame.fill(Qt::darkGray);
        }
        m_strip.Set(k, first + k, QPixmap::fromImage(frame));
        m_slots[std::size_t(k)]->setPixmap(m_strip[k].Picture);
        m_slots[std::size_t(k)]->show();
    };
    warmThumbs();
    // The progress dialog only when a slot needs its picture.
    if (!m_strip.SlotsToRender(count).empty()) {
        TLoaderDlg loader(this);
        loader.Run(first, m_strip.Last(count), loadSlot);
    }
    const int shown = m_strip.Last(count) - m_strip.FirstThumb() + 1;
    for (int k = 0; k < int(m_slots.size()); ++k) {
        m_slots[std::size_t(k)]->setPixmap(m_strip[k].Picture);
        m_slots[std::size_t(k)]->setVisible(k < shown);
    }
    ui->thumbstats_lbl->setText(q(m_strip.Label(count)));
    ui->thumbstats_lbl->setVisible(count > 0);
}

void TMainDlg::warmThumbs() {
    // Never in a run's way: the run has both cores.
    if (m_thumbWarmer && !(m_run && m_run->Running()))
        m_thumbWarmer->Warm(WarmOrder(m_pictures.PicturePaths.Items(), m_strip.FirstThumb(),
                                      m_strip.Last(int(m_pictures.Count()))));
}

void TMainDlg::next_btnClick() {
    if (m_strip.Next(int(m_pictures.Count())))
        refreshThumbs();
}

void TMainDlg::prev_btnClick() {
    if (m_strip.Prev(int(m_pictures.Count())))
        refreshThumbs();
}

void TMainDlg::jump_btnClick() {
    const int count = int(m_pictures.Count());
    if (count < TThumbStrip<QPixmap>::kSlots + 1)
        return;
    TJumpDlg jump(this);
    jump.Setup(count, m_strip.FirstThumb());
    if (m_dialogs->Exec(jump) == QDialog::Accepted) {
        m_strip.JumpTo(jump.Position(), count);
        refreshThumbs();
    }
}

void TMainDlg::organize_btnClick() {
    organize(-1);
}

void TMainDlg::organize(int preselected) {
    if (m_pictures.Count() > 0) {
        TReorderDlg reorder(m_pictures, *m_thumbServer, this);
        reorder.Open(preselected);
        m_dialogs->Exec(reorder);
    }
    m_strip.InvalidateAll();
    m_strip.ClampTo(int(m_pictures.Count()));
    refreshThumbs();
    updatePictureCount();
}

void TMainDlg::updatePictureCount() {
    m_countPanel->setText(
        QStringLiteral("%1 %2").arg(m_pictures.Count()).arg(Translate("pictures")));
}

bool TMainDlg::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
        if (watched == ui->dlcodecs_lbl) {
            guarded([this] { dlcodecs_btnClick(); });
            return true;
        }
        for (int k = 0; k < int(m_slots.size()); ++k)
            if (watched == m_slots[std::size_t(k)]) {
                // Like the organise button, unavailable while a job runs.
                if (ui->organize_btn->isEnabled() && m_strip[k].Tag >= 0)
                    guarded([this, k] { organize(m_strip[k].Tag); });
                return true;
            }
    }
    return QMainWindow::eventFilter(watched, e);
}

// --- dropped files ---

void TMainDlg::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void TMainDlg::dragMoveEvent(QDragMoveEvent* e) {
    if (e->mimeData()->hasUrls() && (e->possibleActions() & Qt::CopyAction)) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
    } else {
        e->ignore();
    }
}

void TMainDlg::dropEvent(QDropEvent* e) {
    const std::vector<std::string> files = DroppedFilePaths(e->mimeData()->urls());
    e->acceptProposedAction();
    // After the drop has been answered: the source waits while the strip renders otherwise.
    if (!files.empty())
        QTimer::singleShot(0, this, [this, files] { guarded([&] { FilesDropped(files); }); });
}

void TMainDlg::FilesDropped(const std::vector<std::string>& files) {
    if (m_run && m_run->Running())
        return; // the lists and the soundtrack stay as the job reads them
    if (IsSoundtrackDrop(files))
        SetSoundtrackFile(files.front());
    else
        AddPictureFiles(files);
}

// --- projects ---

void TMainDlg::load_btnClick() {
    TFileDialog request{QStringLiteral("JOD_fl"), {}, {QStringLiteral("Lumivane Project (*.lmv)")}};
    const QStringList files = m_dialogs->OpenFiles(this, request);
    if (!files.isEmpty())
        LoadProjectFile(s(files.front()));
}

void TMainDlg::LoadProjectFile(const std::string& fileName) {
    const TProject project = ReadProject(fileName); // a failed read leaves the window as it was
    if (project.Output)
        ui->out_txt->setText(q(ResolvePath(project.Folder, *project.Output)));
    if (project.Sound) {
        // A soundtrack that cannot be taken must not cost the user the project's pictures.
        try {
            SetSoundtrackFile(ResolvePath(project.Folder, *project.Sound));
        } catch (const std::exception& e) {
            showError(e);
        }
    }
    imgreset_btnClick();
    AddPictureFiles(project.Entries, project.Folder);
    m_projectFile = fileName;
}

void TMainDlg::save_btnClick() {
    TFileDialog request{QStringLiteral("JSD_fl"), {}, {QStringLiteral("Lumivane Project (*.lmv)")}};
    const QString chosen = m_dialogs->SaveFile(this, request);
    if (chosen.isEmpty())
        return;
    const std::string name = ProjectSaveName(s(chosen));
    if (!FileExists(name) &&
        !m_dialogs->Confirm(this,
                            q(name) + "\n" + Translate("This file does not exist. Create it?")))
        return;
    SaveProjectFile(name);
}

std::string TMainDlg::SaveProjectFile(const std::string& fileName) {
    const std::string saved =
        SaveProject(fileName, m_pictures, s(ui->sound_txt->text()), s(ui->out_txt->text()));
    m_projectFile = saved;
    return saved;
}

} // namespace lv
