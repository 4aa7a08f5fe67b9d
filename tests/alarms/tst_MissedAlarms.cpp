// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlarmTestSupport.h"
#include "alarms/Alarms.h"
#include "alarms/form_MissedAlarms.h"
#include "core/Settings.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace AlarmTest;

class tst_MissedAlarms : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void repeatingAlarmsListEveryMissedOccurrence()
    {
        NotesRun run({alarmNote(u"pills"_s, u"2026-03-30"_s, u"8:00"_s, u"1"_s),
                      alarmNote(u"plants"_s, u"30-Mar-2026"_s, u"8:01"_s, u"1"_s),
                      alarmNote(u"rent"_s, u"2026-01-31"_s, u"8:00"_s, u"3"_s)},
                     QDateTime(QDate(2026, 4, 1), QTime(8, 0, 50)));
        CheckForMissedAlarms();

        // The pills' ring today is missed once its minute has begun; the plants' is ten seconds ahead.
        QVERIFY(MissedAlarmsWindow()->isVisible());
        QCOMPARE(
            MissedAlarmsWindow()->lines(),
            missedRings(u"2026-03-30 8:00|pills; 2026-03-31 8:00|pills; 2026-04-01 8:00|pills; 2026-03-30 8:01|plants; "
                        "2026-03-31 8:01|plants; 2026-01-31 8:00|rent; 2026-02-28 8:00|rent; 2026-03-28 8:00|rent"_s));
        QCOMPARE(run.icons(1), u"2026-04-02  8:00"_s);
        QCOMPARE(run.icons(2), u"2026-04-01  8:01"_s);
        QCOMPARE(run.icons(3), u"2026-04-28  8:00"_s);
        QCOMPARE(run.record(3).alarmRepeat, u"3"_s);
        QCOMPARE(savedNotes(), run.records());
        QVERIFY(run.env.logLines().isEmpty());
    }

    void withNothingMissedNoWindowOpensButTheNotesAreSaved()
    {
        const QList<NoteRecord> notes{NoteSamples::stored(u"no alarm"_s, 600, 600),
                                      alarmNote(u"later today"_s, u"2026-06-12"_s, u"17:00"_s, u"0"_s),
                                      alarmNote(u"tomorrow"_s, u"13-Jun-2026"_s, u"6:15"_s, u"1"_s)};
        NotesRun run(notes, QDateTime(QDate(2026, 6, 12), QTime(9, 0)));
        QVERIFY(QFile::remove(NotesFilePath()));
        CheckForMissedAlarms();
        QVERIFY(!MissedAlarmsWindow()->isVisible());
        QVERIFY(MissedAlarmsWindow()->lines().isEmpty());
        QCOMPARE(savedNotes(), notes);
        QVERIFY(run.env.logLines().isEmpty());
        QCOMPARE(Settings().totMissedAlarms, 0);
    }

    void notesAreListedInTableOrderEachOldestFirst()
    {
        NotesRun run({alarmNote(u"garbled"_s, u"2026-06-10"_s, u"ab:cd"_s, u"1"_s),
                      alarmNote(u"water the plants"_s, u"2026-06-11"_s, u"10:30"_s, u"1"_s),
                      alarmNote(u"team meeting"_s, u"29-May-2026"_s, u"9:05"_s, u"2"_s),
                      alarmNote(QString(), u"2026-06-01"_s, u"7:00"_s, u"0"_s)},
                     QDateTime(QDate(2026, 6, 12), QTime(12, 0)));
        CheckForMissedAlarms();

        // The plants' rings are the most recent, yet come first: the table decides the order.
        QCOMPARE(
            MissedAlarmsWindow()->lines(),
            missedRings(u"2026-06-11 10:30|water the plants; 2026-06-12 10:30|water the plants; "
                        "2026-05-29 9:05|team meeting; 2026-06-05 9:05|team meeting; 2026-06-12 9:05|team meeting; "
                        "2026-06-01 7:00| - empty -"_s));
        // An unreadable time is logged and its note skipped.
        QCOMPARE(run.dates(), u"2026-06-10 2026-06-13 2026-06-19 NO_DATE_SET"_s);
        QCOMPARE(run.icons(4), u"hidden"_s);
        QCOMPARE(savedNotes(), run.records());
        QVERIFY(run.env.logLines().constLast().startsWith(u"\"err_Bas_CheckForMissedAlarms "_s));
    }

    void anUnknownRepeatEndsThePassUnsaved()
    {
        NotesRun run({alarmNote(u"before"_s, u"2026-06-11"_s, u"10:00"_s, u"1"_s),
                      alarmNote(u"odd repeat"_s, u"2026-06-10"_s, u"10:00"_s, u"7"_s),
                      alarmNote(u"after"_s, u"2026-06-09"_s, u"10:00"_s, u"0"_s)},
                     QDateTime(QDate(2026, 6, 12), QTime(12, 0)));
        CheckForMissedAlarms();

        const QStringList lines = MissedAlarmsWindow()->lines();
        QCOMPARE(lines.mid(0, 6), missedRings(u"2026-06-11 10:00|before; 2026-06-12 10:00|before"_s));
        QVERIFY(!lines.contains(u"Subject: after"_s));
        QCOMPARE(run.record(2).alarmDate, u"2026-06-10"_s);
        QCOMPARE(run.icons(3, false), u"shown"_s);
        QVERIFY(!run.savedSinceLoad());
    }

    void aClickedLineIsShownAndEachClosingIsCounted()
    {
        NotesRun run({alarmNote(u"stretch"_s, u"2026-06-10"_s, u"11:00"_s, u"1"_s),
                      alarmNote(u"post the letter"_s, u"2026-06-12"_s, u"8:00"_s, u"0"_s)},
                     QDateTime(QDate(2026, 6, 12), QTime(12, 0)));
        Settings().totMissedAlarms = 5;
        CheckForMissedAlarms();
        auto *list = MissedAlarmsWindow()->findChild<QListWidget *>(u"list_MissedAlarms"_s);
        auto *detail = MissedAlarmsWindow()->findChild<QPlainTextEdit *>(u"text_Commercial2"_s);
        const auto clickLine = [list](int row) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        };
        const auto clickOk = [] {
            QTest::mouseClick(MissedAlarmsWindow()->findChild<QPushButton *>(u"c_Ok"_s), Qt::LeftButton);
        };
        QCOMPARE(list->count(), 12);
        clickLine(10);
        QCOMPARE(detail->toPlainText(), u"Subject: post the letter"_s);
        clickLine(3);
        QCOMPARE(detail->toPlainText(), u"Date: 2026-06-11 11:00"_s);
        clickOk();
        QVERIFY(!MissedAlarmsWindow()->isVisible());
        QCOMPARE(Settings().totMissedAlarms, 6);

        // A later pass that lists a single ring counts one closing just the same.
        run.env.clock.advanceSeconds(86400);
        CheckForMissedAlarms();
        QCOMPARE(MissedAlarmsWindow()->lines(), missedRings(u"2026-06-13 11:00|stretch"_s));
        clickOk();
        QCOMPARE(Settings().totMissedAlarms, 7);
    }
};

QTEST_MAIN(tst_MissedAlarms)
#include "tst_MissedAlarms.moc"
