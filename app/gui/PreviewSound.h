#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QAudioOutput;
class QMediaPlayer;

namespace lv {

// The soundtrack of a preview, played from a position of the video's clock. Without a sound
// device, or once the file cannot be played, it stays silent and says why once.
class TPreviewSound : public QObject {
    Q_OBJECT
public:
    enum class TSilence { None, NoSoundtrack, NoDevice, CannotPlay };

    // An empty file: a slideshow without soundtrack.
    explicit TPreviewSound(const QString& file, QObject* parent = nullptr);
    ~TPreviewSound() override;

    TSilence Silence() const { return m_silence; }
    // False when it stays silent (no sound, or ms past the soundtrack's end).
    bool PlayFrom(qint64 ms);
    void Pause();
    // The player's position (ms), for keeping it in step with the clock; -1 when it is not
    // playing (silent, paused, or past the soundtrack's end).
    qint64 Position() const;

Q_SIGNALS:
    // The player gave up (a file it cannot decode, a device gone).
    void Silenced();

private:
    TSilence m_silence = TSilence::None;
    std::unique_ptr<QAudioOutput> m_output;
    std::unique_ptr<QMediaPlayer> m_player;
};

} // namespace lv
