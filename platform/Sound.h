// SPDX-License-Identifier: GPL-3.0-or-later
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

// Decides whether a sound may start. A "no stop" sound waits for nothing: it is simply not played while the
// previous sound still has time left. The audio backend's own "playing" state is not trusted, since without a
// sound server it never ends.
class SoundGate {
public:
    bool mayStart(qint64 nowMs, bool noStop) const { return !noStop || nowMs >= m_busyUntilMs; }
    void started(qint64 nowMs, int durationMs) { m_busyUntilMs = nowMs + durationMs; }

private:
    qint64 m_busyUntilMs = 0;
};

// Playing time of a PCM WAV file in milliseconds, or -1 when the bytes are no WAV file this can read.
int wavDurationMs(const QByteArray &wav);

} // namespace platform
