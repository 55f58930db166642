#include "app/gui/PreviewSound.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>

#include <filesystem>
#include <system_error>

namespace lv {

TPreviewSound::TPreviewSound(const QString& file, QObject* parent) : QObject(parent) {
    if (file.isEmpty()) {
        m_silence = TSilence::NoSoundtrack;
        return;
    }
    // Replaced by a pipe or a folder since it was chosen: a player would wait on it for good.
    if (std::error_code e; !std::filesystem::is_regular_file(file.toStdString(), e)) {
        m_silence = TSilence::CannotPlay;
        return;
    }
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        m_silence = TSilence::NoDevice;
        return;
    }
    m_output = std::make_unique<QAudioOutput>(device);
    m_player = std::make_unique<QMediaPlayer>();
    m_player->setAudioOutput(m_output.get());
    connect(m_player.get(), &QMediaPlayer::errorOccurred, this, [this] {
        if (m_silence != TSilence::None)
            return;
        m_silence = TSilence::CannotPlay;
        m_player->stop();
        Q_EMIT Silenced();
    });
    m_player->setSource(QUrl::fromLocalFile(file));
}

TPreviewSound::~TPreviewSound() {
    // The player goes before the output it plays through.
    m_player.reset();
}

bool TPreviewSound::PlayFrom(qint64 ms) {
    if (m_silence != TSilence::None)
        return false;
    // Past the soundtrack's end the video goes on in silence.
    if (const qint64 length = m_player->duration(); length > 0 && ms >= length) {
        m_player->pause();
        return false;
    }
    m_player->setPosition(ms);
    m_player->play();
    return true;
}

void TPreviewSound::Pause() {
    if (m_silence == TSilence::None)
        m_player->pause();
}

qint64 TPreviewSound::Position() const {
    if (m_silence != TSilence::None || m_player->playbackState() != QMediaPlayer::PlayingState ||
        m_player->mediaStatus() == QMediaPlayer::EndOfMedia)
        return -1;
    return m_player->position();
}

} // namespace lv
