#include "app/gui/PreviewDlg.h"

#include "app/gui/PreviewSound.h"
#include "app/run/PreviewFrames.h"

#include "ui_PreviewDlg.h"

#include <QKeyEvent>
#include <QStyle>

#include <cstdlib>

namespace lv {

namespace {

// Often enough that a frame is asked for within a few ms of being due at any frame rate.
constexpr int kTickMs = 4;
// The soundtrack is put back in step when it drifts further from the clock than this.
constexpr qint64 kSoundDriftMs = 200;
constexpr qint64 kSoundSettleMs = 1000;
// The picture waits no longer than this for the sound to start.
constexpr qint64 kSoundStartMs = 500;

} // namespace

TPreviewDlg::TPreviewDlg(std::unique_ptr<TPreviewFrames> frames, const QString& soundtrack,
                         QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::PreviewDlg>()), m_frames(std::move(frames)),
      m_clock(m_frames ? m_frames->FrameCount() : 0,
              m_frames ? m_frames->Settings().FrameTime : 1) {
    ui->setupUi(this);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    ui->back_btn->setIcon(style()->standardIcon(QStyle::SP_MediaSeekBackward));
    ui->fwd_btn->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
    ui->play_btn->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    // Room for the widest numbers, so that nothing moves while playing.
    const QFontMetrics metrics = fontMetrics();
    ui->framenum_lbl->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("000000")));
    ui->time_lbl->setMinimumWidth(
        metrics.horizontalAdvance(QStringLiteral("00:00.00 / 00:00.00  ")));
    ui->picturenum_lbl->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("0000 / 0000")));
    m_time.start();
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &TPreviewDlg::tick);
    connect(ui->play_btn, &QToolButton::clicked, this, &TPreviewDlg::play_btnClick);
    connect(ui->back_btn, &QToolButton::clicked, this, &TPreviewDlg::back_btnClick);
    connect(ui->fwd_btn, &QToolButton::clicked, this, &TPreviewDlg::fwd_btnClick);
    connect(ui->full_btn, &QToolButton::clicked, this, &TPreviewDlg::full_btnClick);
    connect(ui->close_btn, &QToolButton::clicked, this, &QDialog::close);
    if (!m_frames)
        return;

    ui->pos_trk->setRange(0, std::max(m_frames->FrameCount() - 1, 0));
    ui->pos_trk->setPageStep(std::max(m_frames->Settings().FramesPerPicture, 1));
    connect(ui->pos_trk, &QSlider::valueChanged, this, [this](int v) {
        if (m_updatingSlider)
            return;
        // Dragging shows frames as it goes; the clock moves when the slider is let go.
        if (ui->pos_trk->isSliderDown())
            request(v);
        else
            seek(v);
    });
    connect(ui->pos_trk, &QSlider::sliderReleased, this, [this] { seek(ui->pos_trk->value()); });
    connect(m_frames.get(), &TPreviewFrames::FrameReady, this, &TPreviewDlg::frameReady);
    connect(m_frames.get(), &TPreviewFrames::Failed, this,
            [this](int frame, const QString& message) {
                setPlaying(false);
                // A newer request may still be on its way: it is waited for as usual.
                m_shown = frame;
                ui->screen->SetText(message);
                if (frame == m_requested)
                    showPosition(frame);
            });
    connect(ui->screen, &TFrameView::Resized, this, [this](QSize) {
        m_frames->SetViewSize(viewPixels());
        // Composed again for the new size; playing, the next frame is anyway.
        if (!Playing() && m_requested >= 0)
            request(m_requested);
    });
    m_frames->SetViewSize(viewPixels());

    m_sound = std::make_unique<TPreviewSound>(soundtrack);
    connect(m_sound.get(), &TPreviewSound::Silenced, this, &TPreviewDlg::showSilence);
    showSilence();
    showPosition(0);
    request(0);
}

TPreviewDlg::~TPreviewDlg() = default;

const QImage& TPreviewDlg::ShownImage() const {
    return ui->screen->Image();
}

int TPreviewDlg::Position() const {
    return m_clock.FrameAt(m_time.elapsed());
}

void TPreviewDlg::showSilence() {
    const auto silence = m_sound->Silence();
    ui->nodevice_lbl->setVisible(silence == TPreviewSound::TSilence::NoDevice);
    ui->nosound_lbl->setVisible(silence == TPreviewSound::TSilence::CannotPlay);
}

void TPreviewDlg::setPlaying(bool on) {
    const qint64 now = m_time.elapsed();
    if (on) {
        m_clock.Play(now);
        startSound(m_clock.FrameAt(now), now);
        m_timer.start();
    } else {
        m_soundFrom = -1;
        m_clock.Pause(now);
        if (m_sound)
            m_sound->Pause();
        m_timer.stop();
    }
    ui->play_btn->setIcon(style()->standardIcon(on ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
}

bool TPreviewDlg::playSoundFrom(int frame) {
    m_soundMoved.start();
    return m_sound->PlayFrom(m_clock.TimeOfFrame(frame));
}

void TPreviewDlg::startSound(int frame, qint64 now) {
    m_soundFrom = -1;
    if (playSoundFrom(frame)) {
        // The picture waits for the sound to start (a player takes a moment), so that both
        // start together.
        m_clock.Pause(now);
        m_soundFrom = m_clock.TimeOfFrame(frame);
    }
}

void TPreviewDlg::play_btnClick() {
    if (m_frames && m_frames->FrameCount() > 0)
        setPlaying(!Playing());
}

void TPreviewDlg::back_btnClick() {
    step(-1);
}

void TPreviewDlg::fwd_btnClick() {
    step(1);
}

void TPreviewDlg::step(int delta) {
    if (!m_frames)
        return;
    setPlaying(false);
    const qint64 now = m_time.elapsed();
    m_clock.Step(delta, now);
    request(m_clock.FrameAt(now));
}

void TPreviewDlg::seek(int frame) {
    const qint64 now = m_time.elapsed();
    m_clock.Seek(frame, now);
    if (Playing())
        startSound(m_clock.FrameAt(now), now);
    request(m_clock.FrameAt(now));
}

void TPreviewDlg::request(int frame) {
    m_requested = frame;
    m_frames->Request(frame);
    showPosition(frame);
}

void TPreviewDlg::tick() {
    const qint64 now = m_time.elapsed();
    if (m_soundFrom >= 0) {
        if (m_sound->Position() <= m_soundFrom && m_soundMoved.elapsed() < kSoundStartMs)
            return;
        m_soundFrom = -1;
        m_clock.Play(now);
    }
    // One request at a time: the next is chosen when this one is on screen. While the slider
    // is dragged its frames are shown instead.
    if (m_requested != m_shown || m_frames->Busy() || ui->pos_trk->isSliderDown())
        return;
    const int due = m_clock.Next(m_shown, now);
    if (due != m_shown) {
        request(due);
        // A player settles some time after it was moved: looked at now and then only.
        if (m_soundMoved.elapsed() > kSoundSettleMs) {
            const qint64 heard = m_sound->Position();
            if (heard >= 0 && std::llabs(heard - m_clock.TimeOfFrame(due)) > kSoundDriftMs)
                playSoundFrom(due);
        }
    } else if (!m_clock.Playing(now)) {
        setPlaying(false); // the last frame is on screen
    }
}

void TPreviewDlg::frameReady(int frame, const QImage& image) {
    m_shown = frame;
    QImage shown = image;
    shown.setDevicePixelRatio(ui->screen->devicePixelRatioF());
    ui->screen->SetImage(shown);
    // A frame overtaken by a newer request does not move the slider back.
    if (frame == m_requested && !ui->pos_trk->isSliderDown())
        showPosition(frame);
    Q_EMIT FrameShown(frame);
}

QSize TPreviewDlg::viewPixels() const {
    // Scaled to the screen's pixels, so that a high-density screen does not stretch it again.
    return ui->screen->size() * ui->screen->devicePixelRatioF();
}

void TPreviewDlg::showPosition(int frame) {
    const TFrameSettings& f = m_frames->Settings();
    if (!ui->pos_trk->isSliderDown()) {
        m_updatingSlider = true;
        ui->pos_trk->setValue(frame);
        m_updatingSlider = false;
    }
    ui->framenum_lbl->setText(QString::number(frame));
    ui->time_lbl->setText(QString::fromStdString(
        PreviewTimeText(m_clock.TimeOfFrame(frame)) + " / " +
        PreviewTimeText(std::int64_t(m_frames->FrameCount()) * f.FrameTime)));
    ui->picturenum_lbl->setText(QStringLiteral("%1 / %2")
                                    .arg(m_frames->PictureAt(frame) + 1)
                                    .arg(m_frames->PictureAt(m_frames->FrameCount() - 1) + 1));
}

void TPreviewDlg::full_btnClick() {
    if (isFullScreen()) {
        setWindowState(m_stateBeforeFullScreen); // maximised again if it was
        ui->controls_pnl->show();
    } else {
        m_stateBeforeFullScreen = windowState();
        ui->controls_pnl->hide();
        showFullScreen();
    }
}

void TPreviewDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
        play_btnClick();
        return;
    case Qt::Key_Left:
        step(-1);
        return;
    case Qt::Key_Right:
        step(1);
        return;
    case Qt::Key_F11:
        full_btnClick();
        return;
    case Qt::Key_Escape:
        if (isFullScreen()) {
            full_btnClick();
            return;
        }
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}

} // namespace lv
