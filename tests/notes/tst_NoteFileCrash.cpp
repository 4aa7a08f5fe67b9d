// SPDX-License-Identifier: GPL-3.0-or-later
#include "NoteSamples.h"
#include "notes/NoteFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <variant>

using namespace Qt::StringLiterals;

namespace {

// A file the saver left is complete only if it holds exactly the notes of one generation; returns the generation,
// or the problem.
std::variant<int, QString> readGeneration(const QString &path)
{
    const DecodedNotes decoded = decodeNotes(NoteSamples::fileBytes(path));
    const int generation = decoded.notes.value(0).top;
    if (decoded.failure)
        return path + u" is damaged: "_s + platform::errorText(*decoded.failure);
    if (generation < 1 || decoded.notes != NoteSamples::saverGeneration(generation))
        return path + u" is not one whole generation: %1 notes, the first of generation %2"_s.arg(decoded.notes.size())
                          .arg(generation);
    return generation;
}

} // namespace

class tst_NoteFileCrash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aSaverKilledAtAnyMomentLeavesACompleteNotesFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString dat = dir.filePath(u"notes.dat"_s);
        const QString old = dir.filePath(u"notes.old"_s);
        const QString partial = dat + u".new"_s;

        QRandomGenerator random(20261206);
        QElapsedTimer elapsed;
        elapsed.start();
        // Only kills that land inside a write prove anything; the saver is killed until enough of them did.
        constexpr int MidWriteKillsWanted = 110;
        int kills = 0;
        int killedMidWrite = 0;
        int highestGeneration = 0;
        for (; killedMidWrite < MidWriteKillsWanted && kills < 1000; ++kills) {
            // A QProcess still running when a check fails is killed by its destructor, so none is left behind.
            QProcess saver;
            saver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            saver.start(QString::fromUtf8(NOTES_SAVER), {dir.path()});
            QVERIFY2(saver.waitForReadyRead(10000), "notes_saver did not start");
            const int delay = kills == 0 ? 0 : random.bounded(2, 51);
            // The checks below need a first notes.dat; every later run starts over it.
            if (kills == 0)
                QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dat), 10000);
            QTest::qSleep(delay);
            QVERIFY2(saver.state() == QProcess::Running, "notes_saver stopped by itself");
            saver.kill();
            QVERIFY(saver.waitForFinished(10000));
            QCOMPARE(saver.exitStatus(), QProcess::CrashExit);

            killedMidWrite += QFile::exists(partial) ? 1 : 0;
            // notes.dat is never missing, and it and its backup (a former notes.dat) are each one whole generation.
            QVERIFY2(QFile::exists(dat), qPrintable(u"notes.dat missing after kill %1"_s.arg(kills)));
            for (const QString &path : {dat, old}) {
                const auto saved = QFile::exists(path) ? readGeneration(path) : 0;
                if (const QString *problem = std::get_if<QString>(&saved))
                    QFAIL(qPrintable(u"after kill %1 at %2 ms: "_s.arg(kills).arg(delay) + *problem));
                highestGeneration = std::max(highestGeneration, std::get<int>(saved));
            }
        }
        qInfo("%d kills in %lld ms, %d inside a write, highest generation %d", kills, qint64(elapsed.elapsed()),
              killedMidWrite, highestGeneration);
        QCOMPARE(killedMidWrite, MidWriteKillsWanted);
        QVERIFY(highestGeneration > 1);
    }
};

QTEST_GUILESS_MAIN(tst_NoteFileCrash)
#include "tst_NoteFileCrash.moc"
