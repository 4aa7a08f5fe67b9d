#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Plays the suite's own sounds, compiled in as resources under :/sounds/.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // noStop: leave a sound that is still playing alone and play nothing.
    virtual void play(const QString &fileName, bool noStop) = 0;
};

SoundPlayer &soundPlayer();
// Tests put a player of their own in place; nullptr restores the real one.
void installSoundPlayer(SoundPlayer *player);

// Playing time of a PCM WAV file in milliseconds, or -1 when the bytes are no WAV file this can read.
int wavDurationMs(const QByteArray &wav);

} // namespace platform
