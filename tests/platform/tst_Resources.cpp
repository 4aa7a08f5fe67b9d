// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Icons.h"
#include "platform/Sound.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>
#include <QtEndian>

using namespace Qt::StringLiterals;

// The sounds and pictures are made by us; these checks keep them playable and drawable.
class tst_Resources : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // 16-bit mono PCM: the last 0.3 s are digital silence, so no backend cuts off what is heard. Only WAV files
    // have a length.
    void soundsArePcmAndEndInSilenceAndOnlyWavFilesHaveALength()
    {
        for (const QString &name : {u"trash.wav"_s, u"new.wav"_s, u"clock.wav"_s}) {
            QFile file(u":/sounds/"_s + name);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray wav = file.readAll();
            const int ms = platform::wavDurationMs(wav);
            QVERIFY2(ms >= 500 && ms <= 2000, qPrintable(name + u' ' + QString::number(ms)));
            // A data chunk that claims more than the file holds counts only what is there.
            QVERIFY(platform::wavDurationMs(wav.left(wav.size() / 2)) < ms);
            QCOMPARE(qFromLittleEndian<quint16>(wav.constData() + 20), quint16(1));
            QCOMPARE(qFromLittleEndian<quint16>(wav.constData() + 34), quint16(16));
            const qsizetype tail = qsizetype(qFromLittleEndian<quint32>(wav.constData() + 24) * 3 / 10) * 2;
            QCOMPARE(wav.right(tail).count('\0'), tail);
            QVERIFY(wav.mid(44, wav.size() - 44 - tail).count('\0') < wav.size() / 2);
        }
        QCOMPARE(platform::wavDurationMs(QByteArray()), -1);
        QCOMPARE(platform::wavDurationMs("RIFF\0\0\0\0WAVEdata"), -1);
        QByteArray noRate("RIFF\0\0\0\0WAVEdata\4\0\0\0abcd", 24);
        QCOMPARE(platform::wavDurationMs(noRate), -1);
    }

    void aNoStopSoundNeverCutsAnotherShort()
    {
        platform::SoundGate gate;
        QVERIFY(gate.mayStart(0, true)); // nothing played yet
        gate.started(1000, 750);         // "new.wav" starts
        QVERIFY(!gate.mayStart(1500, true));
        QVERIFY(gate.mayStart(1500, false)); // any other sound may cut in
        QVERIFY(gate.mayStart(1750, true));  // the first has ended: the trash sound is heard again
    }

    void iconsDraw()
    {
        for (const QString &name : {u"notes"_s, u"calculator"_s, u"clock"_s, u"mail"_s, u"mail_new"_s, u"tarnibe"_s}) {
            for (int size : {16, 22, 48}) {
                const QImage image = platform::suiteIcon(name).pixmap(size, size).toImage();
                QCOMPARE(image.width(), size);
                // Something is drawn: a quarter of the pixels at least are opaque.
                int opaque = 0;
                for (int i = 0; i < size * size; ++i)
                    opaque += qAlpha(image.pixel(i % size, i / size)) > 128;
                QVERIFY2(opaque > size * size / 4, qPrintable(name));
            }
        }
    }

    // Every link and picture of the manual points at a page, anchor or image that is compiled in.
    void theManualsLinksResolve()
    {
        static const QRegularExpression reference(u"(?:href|src)=\"([^\"]*)\""_s);
        int pages = 0, links = 0;
        for (QDirIterator it(u":/help"_s, {u"*.html"_s}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            ++pages;
            QFile page(path);
            QVERIFY(page.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(page.readAll());
            for (const QRegularExpressionMatch &m : reference.globalMatch(text)) {
                const QUrl url(m.captured(1));
                if (!url.scheme().isEmpty())
                    continue; // the web and mail links leave the manual
                ++links;
                const QString target = url.path().isEmpty() ? path : QFileInfo(path).absolutePath() + u'/' + url.path();
                QFile file(target);
                QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path + u" -> "_s + m.captured(1)));
                if (url.hasFragment())
                    QVERIFY2(file.readAll().contains(QByteArray("id=\"" + url.fragment().toUtf8() + '"')),
                             qPrintable(path + u" -> "_s + m.captured(1)));
            }
        }
        QVERIFY(pages >= 6);
        QVERIFY(QFile::exists(u":/help/index.html"_s));
        QVERIFY(links > pages);
    }
};

QTEST_MAIN(tst_Resources)
#include "tst_Resources.moc"
