// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "core/Programs.h"
#include "notes/NoteBackups.h"
#include "notes/NoteFile.h"
#include "notes/NoteSearch.h"
#include "notes/NoteTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The running notes program saves a table of one note saying when it was saved.
void saveOn(TestEnvironment &env, const QDate &day)
{
    env.clock.set(QDateTime(day, QTime(23, 59, 30)));
    NoteStore().clear();
    NoteRecord note;
    note.text = u"saved "_s + day.toString(Qt::ISODate);
    NoteStore().append(note);
    SaveAllNotes();
}

QString backupOf(const QDate &day)
{
    return NotesBackupsFolder() + u"/notes-"_s + day.toString(Qt::ISODate) + u".dat"_s;
}

QStringList backupNames()
{
    return QDir(NotesBackupsFolder()).entryList(QDir::Files, QDir::Name);
}

} // namespace

class tst_NoteBackups : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The first save of a day that changes the notes keeps the file as it was; later saves that day, and saves that
    // change nothing, keep nothing. Fourteen days and twelve months of copies stay, each a whole, private notes file.
    void aDayKeepsItsFirstChangedSaveAndOldCopiesArePruned()
    {
        TestEnvironment env;
        ProgramRunFlags().notes = true;
        const QDate day1(2026, 12, 6);
        saveOn(env, day1); // no notes file yet: nothing to keep
        QVERIFY(backupNames().isEmpty());
        const QByteArray firstFile = fileBytes(NotesFilePath());
        saveOn(env, day1); // unchanged
        QVERIFY(backupNames().isEmpty());
        NoteStore().append(NoteRecord{});
        SaveAllNotes();
        const QByteArray secondFile = fileBytes(NotesFilePath());
        saveOn(env, day1);
        QCOMPARE(backupNames(), QStringList{u"notes-2026-12-06.dat"_s});
        QCOMPARE(fileBytes(backupOf(day1)), firstFile);
        QCOMPARE(QFile::permissions(backupOf(day1)) & ~QFileDevice::Permissions(0x0F00), // less the user's bits
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(fileBytes(NotesBackupPath()), secondFile); // notes.old as ever

        // Day 2 keeps day 1's last save; a month later keeps day 2's.
        saveOn(env, day1.addDays(1));
        QCOMPARE(fileBytes(backupOf(day1.addDays(1))), fileBytes(NotesBackupPath()));
        saveOn(env, day1.addMonths(1));
        QCOMPARE(backupNames().size(), 3);

        // Then two saves a month for a year, and every day of February 2028.
        QList<QDate> saved;
        for (QDate month(2027, 1, 1); month < QDate(2028, 2, 1); month = month.addMonths(1))
            saved << month.addDays(4) << month.addDays(19);
        for (QDate day(2028, 2, 1); day <= QDate(2028, 2, 20); day = day.addDays(1))
            saved << day;
        for (const QDate &day : saved)
            saveOn(env, day);
        QStringList expected;
        for (int month = 3; month <= 12; ++month)
            expected << u"notes-2027-%1-20.dat"_s.arg(month, 2, 10, QChar(u'0'));
        expected << u"notes-2028-01-20.dat"_s;
        for (int day = 7; day <= 20; ++day)
            expected << u"notes-2028-02-%1.dat"_s.arg(day, 2, 10, QChar(u'0'));
        QCOMPARE(backupNames(), expected);
        for (const NotesBackup &backup : ListNotesBackups()) {
            const qsizetype at = saved.indexOf(backup.date);
            const DecodedNotes kept = decodeNotes(fileBytes(backup.path));
            QVERIFY(!kept.failure);
            QCOMPARE(kept.notes.value(0).text, u"saved "_s + saved.value(at - 1).toString(Qt::ISODate));
        }
    }

    // A regular file where the folder should be stops even root. The save is made all the same, and the log says so
    // once, however many saves fail.
    void aBackupThatCannotBeWrittenIsLoggedOnceAndTheSaveGoesOn()
    {
        TestEnvironment env;
        ProgramRunFlags().notes = true;
        QFile blocker(NotesBackupsFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        for (int day = 1; day <= 3; ++day)
            saveOn(env, QDate(2027, 5, day));
        QCOMPARE(decodeNotes(fileBytes(NotesFilePath())).notes.value(0).text, u"saved 2027-05-03"_s);
        QCOMPARE(decodeNotes(fileBytes(NotesBackupPath())).notes.value(0).text, u"saved 2027-05-02"_s);
        const QStringList logged = env.logLines();
        QCOMPARE(logged.size(), 1);
        QVERIFY2(logged[0].startsWith(u"\"err_Bas_Backup 75 "_s), qPrintable(logged[0]));
    }

    // A backup with an alarm and a received note comes back as the start reads it; the notes there before are kept
    // as a copy of their own first, a second restore the same second keeps its own, and nothing is deleted.
    void aRestoreKeepsThePresentNotesAndReadsTheCopyAsAStartDoes()
    {
        TestEnvironment env;
        ProgramRunFlags().notes = true;
        NoteRecord alarm;
        alarm.text = u"Dentist\r\nbring the card"_s;
        std::tie(alarm.alarmDate, alarm.alarmTime, alarm.alarmRepeat) =
            std::tuple(u"24-Dec-2027"_s, u"09:30"_s, u"0"_s);
        NoteRecord received;
        received.text = u"From Bob"_s;
        received.title = u"Bob"_s;
        received.visible = false;
        QVERIFY(QDir().mkpath(NotesBackupsFolder()));
        QVERIFY(!writeNotesFile(backupOf(QDate(2026, 11, 2)), {}, {alarm, received}));
        QFile damaged(backupOf(QDate(2026, 11, 3)));
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("12\r\ntorn") > 0);
        damaged.close();
        saveOn(env, QDate(2026, 12, 6));
        const QByteArray present = fileBytes(NotesFilePath());

        const NotesBackupSummary summary = SummarizeNotesBackup(backupOf(QDate(2026, 11, 2)));
        QCOMPARE(summary.count, 2);
        QCOMPARE(summary.firstLines, QStringList({u"Dentist"_s, u"From Bob"_s}));
        QVERIFY(SummarizeNotesBackup(backupOf(QDate(2026, 11, 3))).damaged);
        QVERIFY(!RestoreNotesBackup(backupOf(QDate(2026, 11, 3))).ok);
        QCOMPARE(fileBytes(NotesFilePath()), present);

        for (int round = 1; round <= 2; ++round)
            QVERIFY(RestoreNotesBackup(backupOf(QDate(2026, 11, 2))).ok);
        QCOMPARE(NoteStore().count(), 2);
        QCOMPARE(*NoteStore().record(1), alarm);
        QCOMPARE(*NoteStore().record(2), received);
        QVERIFY(NoteStore().entry(1)->alarmShown && !NoteStore().entry(2)->alarmShown);
        QCOMPARE(decodeNotes(fileBytes(NotesFilePath())).notes, QList<NoteRecord>({alarm, received}));
        const QList<NotesBackup> backups = ListNotesBackups();
        QCOMPARE(backups.size(), 4);
        QCOMPARE(QFileInfo(backups[1].path).fileName(), u"notes-2026-12-06-235930.dat"_s);
        QCOMPARE(fileBytes(backups[1].path), present);
        QCOMPARE(backups[0].path, backups[1].path.chopped(4) + u"-2.dat"_s);
        QCOMPARE(decodeNotes(fileBytes(backups[0].path)).notes.size(), 2);
    }

    // Every typed word, in any order and across lines, whatever the case and the accents on either side.
    void searchIgnoresCaseAndAccents()
    {
        const QString note = u"Café with ÉLODIE\r\nat the ﬁre"_s;
        for (const QString &typed : {u"cafe"_s, u"  elodie  CAFÉ "_s, u"é"_s, u"elodie at"_s, u"FIRE"_s})
            QVERIFY2(NoteSearch(typed).matches(note), qPrintable(typed));
        for (const QString &typed : {u"cafes"_s, u"elodie bob"_s, u"eat"_s})
            QVERIFY2(!NoteSearch(typed).matches(note), qPrintable(typed));
        QVERIFY(NoteSearch(u" "_s).isEmpty() && NoteSearch(u" "_s).matches(note));
    }
};

QTEST_GUILESS_MAIN(tst_NoteBackups)
#include "tst_NoteBackups.moc"
