#include "../notes/NoteSamples.h"
#include "TestEnvironment.h"
#include "alarms/Alarms.h"
#include "alarms/form_MissedAlarms.h"
#include "core/Programs.h"
#include "core/Settings.h"
#include "notes/NoteFile.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

using NoteSamples::stored;

const QString Rule = QString(18, u'-');

void processDeletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<NoteRecord> notesInFile()
{
    const DecodedNotes decoded = decodeNotes(fileBytes(NotesFilePath()));
    if (decoded.failure)
        QTest::qFail("the notes file does not decode", __FILE__, __LINE__);
    return decoded.notes;
}

NoteRecord alarmNote(const QString &text, const QString &date, const QString &time, const QString &repeat)
{
    NoteRecord note = stored(text, 600, 600);
    note.alarmDate = date;
    note.alarmTime = time;
    note.alarmRepeat = repeat;
    return note;
}

// Loads the container on the given notes as the notes program's start does, with saving allowed. A save replaces
// notes.dat and keeps the replaced file as notes.old, so notes.old is removed here to tell later saves apart.
void loadNotes(form_Main &container, const QList<NoteRecord> &notes)
{
    QVERIFY(!writeNotesFile(NotesFilePath(), NotesBackupPath(), notes));
    ProgramRunFlags().notes = true;
    container.Form_Load();
    QCOMPARE(NoteStore().count(), notes.size());
    QFile::remove(NotesBackupPath());
}

// The three lines the window lists for one missed ring.
QStringList ring(const QString &dateLine, const QString &subject)
{
    return {u"Date: "_s + dateLine, u"Subject: "_s + subject, Rule};
}

const NoteRecord &record(int index)
{
    return NoteStore().note(index)->record();
}

bool noteIconShown(int index)
{
    form_Note *note = NoteStore().note(index);
    return note->findChild<QLabel *>(u"image_Alarm"_s)->isVisibleTo(note);
}

bool rowIconShown(form_Main &container, int index)
{
    return container.findChild<QLabel *>(u"image_Alarm"_s + QString::number(index))->isVisibleTo(&container);
}

QString noteIconTip(int index)
{
    return NoteStore().note(index)->findChild<QLabel *>(u"image_Alarm"_s)->toolTip();
}

QString rowIconTip(form_Main &container, int index)
{
    return container.findChild<QLabel *>(u"image_Alarm"_s + QString::number(index))->toolTip();
}

QListWidget *missedList()
{
    return MissedAlarmsWindow()->findChild<QListWidget *>(u"list_MissedAlarms"_s);
}

void clickLine(int row)
{
    QListWidget *list = missedList();
    const QRect place = list->visualItemRect(list->item(row));
    QVERIFY(!place.isEmpty());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place.center());
}

void clickOk()
{
    QTest::mouseClick(MissedAlarmsWindow()->findChild<QPushButton *>(u"c_Ok"_s), Qt::LeftButton);
}

bool logged(const TestEnvironment &env, const QString &tag)
{
    const QStringList lines = env.logLines();
    return std::any_of(lines.begin(), lines.end(), [&](const QString &line) { return line.startsWith(tag); });
}

const QString CheckTag = u"\"err_Bas_CheckForMissedAlarms "_s;

} // namespace

class tst_MissedAlarms : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        NoteStore().clear();
        UnloadAlarmWindows();
        processDeletions();
    }

    void aDailyAlarmListsEveryMissedDay_data()
    {
        QTest::addColumn<QString>("storedDate");
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QStringList>("days");
        QTest::addColumn<QString>("next");
        const QStringList three{u"2026-06-10"_s, u"2026-06-11"_s, u"2026-06-12"_s};
        const QStringList two{u"2026-06-10"_s, u"2026-06-11"_s};
        QTest::newRow("short form, after today's ring") << u"2026-06-10"_s << QTime(9, 0) << three << u"2026-06-13"_s;
        QTest::newRow("editor's form, after today's ring")
            << u"10-Jun-2026"_s << QTime(9, 0) << three << u"2026-06-13"_s;
        QTest::newRow("short form, before today's ring") << u"2026-06-10"_s << QTime(7, 0) << two << u"2026-06-12"_s;
        QTest::newRow("editor's form, before today's ring")
            << u"10-Jun-2026"_s << QTime(7, 0) << two << u"2026-06-12"_s;
    }

    void aDailyAlarmListsEveryMissedDay()
    {
        QFETCH(QString, storedDate);
        QFETCH(QTime, now);
        QFETCH(QStringList, days);
        QFETCH(QString, next);
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 6, 12), now));
        form_Main container;
        loadNotes(container, {alarmNote(u"Take the pills"_s, storedDate, u"8:00"_s, u"1"_s)});

        CheckForMissedAlarms();

        QStringList expected;
        for (const QString &d : days)
            expected << ring(d + u" 8:00"_s, u"Take the pills"_s);
        QVERIFY(MissedAlarmsWindow()->isVisible());
        QCOMPARE(MissedAlarmsWindow()->lines(), expected);
        QCOMPARE(record(1).alarmDate, next);
        QCOMPARE(record(1).alarmTime, u"8:00"_s);
        QCOMPARE(record(1).alarmRepeat, u"1"_s);
        QVERIFY(noteIconShown(1));
        QVERIFY(rowIconShown(container, 1));
        QCOMPARE(noteIconTip(1), next + u"  8:00"_s);
        QCOMPARE(rowIconTip(container, 1), next + u"  8:00"_s);

        const QList<NoteRecord> saved = notesInFile();
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved[0].alarmDate, next);
        QCOMPARE(saved[0].alarmRepeat, u"1"_s);
        QVERIFY(env.messages.shown().isEmpty());
        QVERIFY(!logged(env, CheckTag));
    }

    void aOnceOnlyAlarmIsListedAndCleared()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 6, 12), QTime(7, 30)));
        form_Main container;
        loadNotes(container, {alarmNote(u"Call Ann"_s, u"2026-06-11"_s, u"18:45"_s, u"0"_s)});
        QVERIFY(noteIconShown(1));
        QVERIFY(rowIconShown(container, 1));

        CheckForMissedAlarms();

        QVERIFY(MissedAlarmsWindow()->isVisible());
        QCOMPARE(MissedAlarmsWindow()->lines(), ring(u"2026-06-11 18:45"_s, u"Call Ann"_s));
        QCOMPARE(record(1).alarmDate, u"NO_DATE_SET"_s);
        QCOMPARE(record(1).alarmRepeat, u"-1"_s);
        QVERIFY(!noteIconShown(1));
        QVERIFY(!rowIconShown(container, 1));
        const QList<NoteRecord> saved = notesInFile();
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved[0].alarmDate, u"NO_DATE_SET"_s);
        QCOMPARE(saved[0].alarmRepeat, u"-1"_s);

        // Cleared, it is never listed again.
        env.clock.advanceSeconds(3 * 86400);
        MissedAlarmsWindow()->c_Ok_Click();
        CheckForMissedAlarms();
        QVERIFY(!MissedAlarmsWindow()->isVisible());
        QVERIFY(MissedAlarmsWindow()->lines().isEmpty());
    }

    void aMonthlyAlarmKeepsToTheMonthEnd_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QStringList>("days");
        QTest::addColumn<QString>("next");
        QTest::newRow("common year") << 2026 << QStringList{u"2026-01-31"_s, u"2026-02-28"_s, u"2026-03-28"_s}
                                     << u"2026-04-28"_s;
        QTest::newRow("leap year") << 2024 << QStringList{u"2024-01-31"_s, u"2024-02-29"_s, u"2024-03-29"_s}
                                   << u"2024-04-29"_s;
    }

    void aMonthlyAlarmKeepsToTheMonthEnd()
    {
        QFETCH(int, year);
        QFETCH(QStringList, days);
        QFETCH(QString, next);
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(year, 4, 1), QTime(9, 0)));
        form_Main container;
        const QString date = QDate(year, 1, 31).toString(u"yyyy-MM-dd"_s);
        loadNotes(container, {alarmNote(u"Pay the rent"_s, date, u"8:00"_s, u"3"_s)});

        CheckForMissedAlarms();

        QStringList expected;
        for (const QString &d : days)
            expected << ring(d + u" 8:00"_s, u"Pay the rent"_s);
        QCOMPARE(MissedAlarmsWindow()->lines(), expected);
        QCOMPARE(record(1).alarmDate, next);
        QCOMPARE(record(1).alarmRepeat, u"3"_s);
    }

    void anAlarmIsMissedOnceItsMinuteHasBegun_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<bool>("missed");
        QTest::newRow("twenty seconds into its minute") << QTime(9, 0, 20) << true;
        QTest::newRow("last second of its minute") << QTime(9, 0, 59) << true;
        QTest::newRow("ten seconds before it") << QTime(8, 59, 50) << false;
    }

    void anAlarmIsMissedOnceItsMinuteHasBegun()
    {
        QFETCH(QTime, now);
        QFETCH(bool, missed);
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 6, 12), now));
        form_Main container;
        loadNotes(container, {alarmNote(u"Stand-up"_s, u"2026-06-12"_s, u"9:00"_s, u"2"_s)});

        CheckForMissedAlarms();

        QCOMPARE(MissedAlarmsWindow()->isVisible(), missed);
        QCOMPARE(MissedAlarmsWindow()->lines(), missed ? ring(u"2026-06-12 9:00"_s, u"Stand-up"_s) : QStringList());
        QCOMPARE(record(1).alarmDate, missed ? u"2026-06-19"_s : u"2026-06-12"_s);
    }

    void withNothingMissedNoWindowOpensButTheNotesAreSaved()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 6, 12), QTime(9, 0)));
        form_Main container;
        const QList<NoteRecord> notes{stored(u"no alarm"_s, 600, 600),
                                      alarmNote(u"later today"_s, u"2026-06-12"_s, u"17:00"_s, u"0"_s),
                                      alarmNote(u"tomorrow"_s, u"13-Jun-2026"_s, u"6:15"_s, u"1"_s)};
        loadNotes(container, notes);
        QVERIFY(QFile::remove(NotesFilePath()));

        CheckForMissedAlarms();

        QVERIFY(!MissedAlarmsWindow()->isVisible());
        QVERIFY(MissedAlarmsWindow()->lines().isEmpty());
        QCOMPARE(notesInFile(), notes);
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(record(i), notes[i - 1]);
        QVERIFY(env.logLines().isEmpty());
        QCOMPARE(Settings().totMissedAlarms, 0);
    }

    void notesAreListedInTableOrderEachOldestFirst()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 6, 12), QTime(12, 0)));
        form_Main container;
        // The first note's rings are the most recent, the third's the oldest: the table decides the order.
        loadNotes(container,
                  {alarmNote(u"water the plants"_s, u"2026-06-11"_s, u"10:30"_s, u"1"_s),
                   stored(u"no alarm"_s, 600, 600), alarmNote(u"team meeting"_s, u"29-May-2026"_s, u"9:05"_s, u"2"_s),
                   alarmNote(QString(), u"2026-06-01"_s, u"7:00"_s, u"0"_s)});

        CheckForMissedAlarms();

        QStringList expected;
        expected << ring(u"2026-06-11 10:30"_s, u"water the plants"_s)
                 << ring(u"2026-06-12 10:30"_s, u"water the plants"_s) << ring(u"2026-05-29 9:05"_s, u"team meeting"_s)
                 << ring(u"2026-06-05 9:05"_s, u"team meeting"_s) << ring(u"2026-06-12 9:05"_s, u"team meeting"_s)
                 << ring(u"2026-06-01 7:00"_s, u" - empty -"_s);
        QCOMPARE(MissedAlarmsWindow()->lines(), expected);
        QCOMPARE(record(1).alarmDate, u"2026-06-13"_s);
        QCOMPARE(record(2).alarmDate, u"NO_DATE_SET"_s);
        QCOMPARE(record(3).alarmDate, u"2026-06-19"_s);
        QCOMPARE(record(4).alarmRepeat, u"-1"_s);
        QVERIFY(!noteIconShown(4));
        QVERIFY(!rowIconShown(container, 4));
    }

    void anUnknownRepeatEndsThePassUnsaved()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 6, 12), QTime(12, 0)));
        form_Main container;
        loadNotes(container, {alarmNote(u"before"_s, u"2026-06-11"_s, u"10:00"_s, u"1"_s),
                              alarmNote(u"odd repeat"_s, u"2026-06-10"_s, u"10:00"_s, u"7"_s),
                              alarmNote(u"after"_s, u"2026-06-09"_s, u"10:00"_s, u"0"_s)});
        const QByteArray before = fileBytes(NotesFilePath());

        CheckForMissedAlarms();

        const QStringList lines = MissedAlarmsWindow()->lines();
        const QStringList first = ring(u"2026-06-11 10:00"_s, u"before"_s) + ring(u"2026-06-12 10:00"_s, u"before"_s);
        QCOMPARE(lines.mid(0, first.size()), first);
        QVERIFY(!lines.contains(u"Subject: after"_s));
        QVERIFY(!lines.contains(u"Date: 2026-06-09 10:00"_s));
        QCOMPARE(record(2).alarmDate, u"2026-06-10"_s);
        QCOMPARE(record(2).alarmRepeat, u"7"_s);
        QCOMPARE(record(3).alarmDate, u"2026-06-09"_s);
        QCOMPARE(record(3).alarmRepeat, u"0"_s);
        QVERIFY(noteIconShown(3));
        QVERIFY(rowIconShown(container, 3));
        QCOMPARE(fileBytes(NotesFilePath()), before);
        QVERIFY(!QFile::exists(NotesBackupPath()));
    }

    void anUnreadableTimeIsLoggedAndSkipped()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 6, 12), QTime(12, 0)));
        form_Main container;
        loadNotes(container, {alarmNote(u"garbled"_s, u"2026-06-10"_s, u"ab:cd"_s, u"1"_s),
                              alarmNote(u"readable"_s, u"2026-06-11"_s, u"10:00"_s, u"0"_s)});

        CheckForMissedAlarms();

        QCOMPARE(MissedAlarmsWindow()->lines(), ring(u"2026-06-11 10:00"_s, u"readable"_s));
        QVERIFY(logged(env, CheckTag));
        QCOMPARE(record(1).alarmDate, u"2026-06-10"_s);
        QCOMPARE(record(1).alarmTime, u"ab:cd"_s);
        QCOMPARE(record(1).alarmRepeat, u"1"_s);
        QCOMPARE(record(2).alarmRepeat, u"-1"_s);
        const QList<NoteRecord> saved = notesInFile();
        QCOMPARE(saved.size(), 2);
        QCOMPARE(saved[1].alarmDate, u"NO_DATE_SET"_s);
        QCOMPARE(saved[0].alarmTime, u"ab:cd"_s);
    }

    void aClickedLineIsShownAndEachClosingIsCounted()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 6, 12), QTime(12, 0)));
        form_Main container;
        loadNotes(container, {alarmNote(u"stretch"_s, u"2026-06-10"_s, u"11:00"_s, u"1"_s),
                              alarmNote(u"post the letter"_s, u"2026-06-12"_s, u"8:00"_s, u"0"_s)});
        Settings().totMissedAlarms = 5;

        CheckForMissedAlarms();
        QCOMPARE(MissedAlarmsWindow()->lines().size(), 12);
        auto *detail = MissedAlarmsWindow()->findChild<QPlainTextEdit *>(u"text_Commercial2"_s);
        QVERIFY(detail);

        clickLine(10);
        QCOMPARE(detail->toPlainText(), u"Subject: post the letter"_s);
        clickLine(3);
        QCOMPARE(detail->toPlainText(), u"Date: 2026-06-11 11:00"_s);

        clickOk();
        QVERIFY(!MissedAlarmsWindow()->isVisible());
        QCOMPARE(Settings().totMissedAlarms, 6);

        // A later pass that lists a single ring counts one closing just the same.
        env.clock.advanceSeconds(86400);
        CheckForMissedAlarms();
        QVERIFY(MissedAlarmsWindow()->isVisible());
        QCOMPARE(MissedAlarmsWindow()->lines(), ring(u"2026-06-13 11:00"_s, u"stretch"_s));
        clickOk();
        QCOMPARE(Settings().totMissedAlarms, 7);
        QVERIFY(!MissedAlarmsWindow()->isVisible());
    }
};

QTEST_MAIN(tst_MissedAlarms)
#include "tst_MissedAlarms.moc"
