// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Sound.h"

#include "platform/Seams.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSoundEffect>
#include <QUrl>
#include <QtEndian>
#include <map>
#include <memory>

namespace platform {

namespace {

quint32 le32(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

class EffectSoundPlayer final : public SoundPlayer {
public:
    void play(const QString &fileName, bool noStop) override
    {
        if (!m_clock.isValid())
            m_clock.start();
        if (!m_gate.mayStart(m_clock.elapsed(), noStop))
            return;
        Sound *sound = load(fileName);
        if (!sound)
            return;
        sound->effect->play();
        m_gate.started(m_clock.elapsed(), sound->durationMs);
    }

private:
    struct Sound {
        std::unique_ptr<QSoundEffect> effect;
        int durationMs = 0;
    };

    Sound *load(const QString &fileName)
    {
        auto it = m_sounds.find(fileName);
        if (it != m_sounds.end())
            return &it->second;
        if (m_sounds.empty() && QCoreApplication::instance()) {
            // The effects must go before the application object does.
            QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, QCoreApplication::instance(),
                             [this] { m_sounds.clear(); });
        }
        const QString path = u":/sounds/" + fileName;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return nullptr;
        Sound sound;
        sound.durationMs = qMax(0, wavDurationMs(file.readAll()));
        sound.effect = std::make_unique<QSoundEffect>();
        sound.effect->setSource(QUrl(u"qrc" + path));
        return &m_sounds.emplace(fileName, std::move(sound)).first->second;
    }

    std::map<QString, Sound> m_sounds;
    QElapsedTimer m_clock;
    SoundGate m_gate;
};

} // namespace

int wavDurationMs(const QByteArray &wav)
{
    if (wav.size() < 12 || !wav.startsWith("RIFF") || wav.mid(8, 4) != "WAVE")
        return -1;
    quint32 byteRate = 0;
    qsizetype at = 12;
    while (at + 8 <= wav.size()) {
        const QByteArray id = wav.mid(at, 4);
        const quint32 size = le32(wav, at + 4);
        if (id == "fmt " && size >= 16 && at + 8 + 12 <= wav.size())
            byteRate = le32(wav, at + 8 + 8);
        if (id == "data") {
            if (byteRate == 0)
                return -1;
            const quint64 available = quint64(wav.size() - (at + 8));
            return int(qMin<quint64>(size, available) * 1000 / byteRate);
        }
        at += 8 + qsizetype(size) + (size & 1);
    }
    return -1;
}

SoundPlayer &soundPlayer()
{
    return serving<EffectSoundPlayer>(&Facilities::sound);
}

void installSoundPlayer(SoundPlayer *player)
{
    seams().sound = player;
}

} // namespace platform
