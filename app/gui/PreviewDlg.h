#pragma once

#include "app/run/PreviewClock.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>

#include <memory>

namespace Ui {
class PreviewDlg;
}

namespace lv {

class TPreviewFrames;
class TPreviewSound;

// "Preview": plays the frames a run would make, at the video's pace, with its soundtrack.
// Space plays or pauses, Left and Right step a frame, F11 goes full screen and Escape leaves
// it; the slider scrubs. The clock (TPreviewClock) runs in real time: frames that cannot be
// composed in time are skipped, never waited for.
class TPreviewDlg : public QDialog {
    Q_OBJECT
public:
    // frames may be null: an empty form, for the language template.
    TPreviewDlg(std::unique_ptr<TPreviewFrames> frames, const QString& soundtrack,
                QWidget* parent = nullptr);
    ~TPreviewDlg() override;

    // The frame on screen (-1 before the first) and its image as shown.
    int ShownFrame() const { return m_shown; }
    const QImage& ShownImage() const;
    bool Playing() const { return m_timer.isActive(); }
    int Dropped() const { return m_clock.Dropped(); }
    TPreviewFrames* Frames() { return m_frames.get(); }
    const TPreviewSound* Sound() const { return m_sound.get(); }
    // The clock's frame now: where the preview is, shown or not.
    int Position() const;

    void play_btnClick();
    void back_btnClick();
    void fwd_btnClick();
    void full_btnClick();

Q_SIGNALS:
    void FrameShown(int frame);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setPlaying(bool on);
    void step(int delta);
    void seek(int frame);
    void request(int frame);
    void tick();
    void frameReady(int frame, const QImage& image);
    void showPosition(int frame);
    void showSilence();
    bool playSoundFrom(int frame);
    void startSound(int frame, qint64 now);
    QSize viewPixels() const;

    std::unique_ptr<Ui::PreviewDlg> ui;
    std::unique_ptr<TPreviewFrames> m_frames;
    std::unique_ptr<TPreviewSound> m_sound;
    TPreviewClock m_clock;
    QElapsedTimer m_time;
    QElapsedTimer m_soundMoved;
    QTimer m_timer;
    int m_shown = -1;
    int m_requested = -1;
    bool m_updatingSlider = false;
    qint64 m_soundFrom = -1; // play waits for the sound to pass this position (ms); -1: not
    Qt::WindowStates m_stateBeforeFullScreen;
};

} // namespace lv
