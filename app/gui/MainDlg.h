#pragma once

#include "Common/PictureList.h"
#include "app/run/SlideshowRun.h"
#include "platform/SharedThumbnails.h"
#include "project/ThumbStrip.h"
#include "project/ThumbWarmer.h"

#include <QElapsedTimer>
#include <QImage>
#include <QMainWindow>
#include <QPixmap>
#include <QPointer>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QLabel;

namespace Ui {
class MainDlg;
}

namespace lv {

class TDialogs;
class TFrameServer;
class TKLog;
class TLangList;
class TPreviewDlg;
class TTextStorage;

// The main window: the picture list with its thumbnail strip, the soundtrack, the output,
// the encoding options, projects, and the run, which it hands to TSlideshowRun and shows.
//
// Everything runs on the user-interface thread. Start-up (log, codec and resolution lists,
// thumbnail server) runs once, at the first activation or the first show, whichever comes
// first. While a job runs every control that could change the list, the soundtrack, the
// output, the codec or the options is disabled, so the run's threads read them unguarded.
// Closing the window during a job cancels it and waits for its end.
class TMainDlg : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainDlg(std::unique_ptr<TDialogs> dialogs, QWidget* parent = nullptr);
    ~TMainDlg() override;

    // Runs start-up unless it ran (also called by the first show or activation).
    void StartUp();

    TDialogs& Dialogs() { return *m_dialogs; }
    const TPictureList& Pictures() const { return m_pictures; }
    TSlideshowRun* Run() { return m_run.get(); }
    const TKLog* Log() const { return m_log.get(); }
    std::int64_t SoundtrackDuration() const { return m_soundtrackDuration; }
    // Preview pictures drawn during the current or last run.
    int PreviewUpdates() const { return m_previewUpdates; }
    // The open "Preview" window; null when none is open.
    TPreviewDlg* PreviewWindow() const;

    // Takes a soundtrack: its path and duration shown, "Match audio" enabled for a duration
    // above 0. A file no reader takes changes nothing; a reader's error is thrown.
    void SetSoundtrackFile(const std::string& path);
    // Checks and appends entries (paths, or path TAB text; relative ones taken against
    // baseFolder), logs them, refreshes the strip.
    void AddPictureFiles(const std::vector<std::string>& entries,
                         const std::string& baseFolder = {});
    // Files dropped on the window: one ".mp3" is the soundtrack, anything else goes to the
    // picture list. Nothing changes while a job runs.
    void FilesDropped(const std::vector<std::string>& files);
    // Reads a project into the window (what "Load" does after its dialog).
    void LoadProjectFile(const std::string& fileName);
    // Writes the window's project (what "Save" does after its dialog); returns the name used.
    std::string SaveProjectFile(const std::string& fileName);
    // Enables or disables the editing controls and their menu commands; "Cancel" opposite.
    void EnableControls(bool on);
    // A message of the window in the current language (through `main_ts`).
    QString Translate(const QString& english) const;
    TLangList& Languages() { return *m_lang; }
    // One of each dialog the window opens, for the language template.
    std::vector<std::unique_ptr<QWidget>> CreateDialogs();
    // The English messages of `main_ts`, in order.
    static QStringList Messages();

public Q_SLOTS:
    void sound_btnClick();
    void resetaudio_btnClick();
    void out_btnClick();
    void go_btnClick();
    void preview_btnClick();
    void cancel_btnClick();
    void dynamics_chkClick();
    void matchaudio_btnClick();
    void exp_btnClick();
    void codecconfig_btnClick();
    void codecabout_btnClick();
    void dlcodecs_btnClick();
    void settings_btnClick();
    void help_btnClick();
    void about_btnClick();
    void Quit1Click();
    void langueAfterLanguageSwitch();
    void addphotos_btnClick();
    void imgreset_btnClick();
    void next_btnClick();
    void prev_btnClick();
    void jump_btnClick();
    void organize_btnClick();
    void load_btnClick();
    void save_btnClick();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <typename Handler> void guarded(Handler handler);
    void connectHandlers();
    void showError(const std::exception& e);
    void message(const QString& text);

    TRunSettings readSettings() const;
    // The options as the rule of incompatible timing left them.
    void showOptions(const TRunSettings& settings);
    void closePreview();
    void videoProgress(int position, int total);
    void muxProgress(int position, int max, const QString& text);
    void runFinished(TRunOutcome outcome);
    void showDone(const std::string& video);

    void clearPictures();
    void refreshThumbs();
    // Thumbnails made on the other core: the rest of the strip, then those out of view.
    void warmThumbs();
    void updatePictureCount();
    void organize(int preselected);
    void updateMatchAudio();
    void proposeWebCompressor(const std::string& output);
    void fitWindow();

    std::unique_ptr<Ui::MainDlg> ui;
    std::unique_ptr<TDialogs> m_dialogs;
    TTextStorage* m_texts;           // main_ts, owned by the window
    TLangList* m_lang;               // langue, owned by the window
    QLabel* m_countPanel = nullptr;  // status bar panel 0
    QLabel* m_statusPanel = nullptr; // status bar panel 1
    std::array<QLabel*, 5> m_slots{};
    bool m_started = false;
    bool m_closing = false;

    std::unique_ptr<TKLog> m_log;
    // Declared in destruction order: the run and the thumbnail server go before the lists
    // they read.
    TPictureList m_pictures;
    TSharedThumbnails m_sharedThumbs; // the desktop's, outliving the server that reads it
    std::unique_ptr<TFrameServer> m_thumbServer;
    std::unique_ptr<TThumbWarmer> m_thumbWarmer;
    TThumbStrip<QPixmap> m_strip;
    std::unique_ptr<TSlideshowRun> m_run;
    std::int64_t m_soundtrackDuration = 0;
    std::string m_projectFile; // last loaded or saved: never a run's output

    QPointer<TPreviewDlg> m_previewDlg; // deleted on close
    QImage m_preview;
    QElapsedTimer m_previewClock;
    int m_previewUpdates = 0;
};

} // namespace lv
