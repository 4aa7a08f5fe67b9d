// SPDX-License-Identifier: GPL-3.0-or-later
// The alarm scheduler without windows: the rules that move alarms on, the tick that rings them, and the pass that
// lists the missed ones, as its signals report them.
#include "NoteSamples.h"
#include "alarms/AlarmRules.h"
#include "alarms/AlarmScheduler.h"

#include <QScopeGuard>
#include <QTest>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

NoteRecord alarmNote(const QString &text, const QString &date, const QString &time, const QString &repeat)
{
    NoteRecord note = NoteSamples::withAlarm(NoteSamples::stored(text, 600, 600), date, time, repeat);
    note.visible = false;
    return note;
}

// The notes program at `now`, its hidden notes read from a file holding `notes`, and what the scheduler reports.
// notes.old is removed once loaded: every save leaves one, so its absence proves nothing saved since.
struct ScheduleRun {
    ScheduleRun(const QList<NoteRecord> &notes, const QDateTime &now)
    {
        env.clock.set(now);
        ProgramRunFlags().notes = true;
        QVERIFY(!writeNotesFile(NotesFilePath(), NotesBackupPath(), notes));
        ReadSavedData();
        QFile::remove(NotesBackupPath());
        QObject::connect(
            &Alarms(), &AlarmScheduler::alarmDue, &scope,
            [this](const QString &text, const QDateTime &at) { rung << AlarmRules::noticeCaption(at) + u'|' + text; });
        QObject::connect(&Alarms(), &AlarmScheduler::alarmsMissed, &scope, [this](const QList<MissedAlarm> &rings) {
            QStringList pass;
            for (const MissedAlarm &ring : rings)
                pass << ring.dateLine + u'|' + ring.subject;
            missed << pass.join(u"; "_s);
        });
    }

    QString dates() const
    {
        QStringList all;
        for (const NoteRecord &note : NoteSamples::tableRecords())
            all << note.alarmDate;
        return all.join(u' ');
    }
    // The note's alarm icon as its window would show it: the tooltip, or "hidden".
    QString icon(int index) const
    {
        const NoteEntry *note = NoteStore().entry(index);
        return note->alarmShown ? note->alarmTip : u"hidden"_s;
    }
    bool saved() const { return NoteSamples::notesIn(NotesFilePath()) == NoteSamples::tableRecords(); }

    TestEnvironment env;
    QObject scope;
    // Each ring as "notice caption|note text", each pass of missed alarms as "date time|subject; ...".
    QStringList rung;
    QStringList missed;
};

} // namespace

class tst_AlarmScheduler : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void repeatsMoveByCalendarRules_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<QStringList>("next");
        QTest::newRow("weekly across a year") << u"2026-12-28"_s << u"2"_s << QStringList{u"2027-01-04"_s};
        QTest::newRow("monthly, leap year") << u"31-jan-2024"_s << u"3"_s << QStringList{u"2024-02-29"_s};
        QTest::newRow("yearly from 29 February")
            << u"29-Feb-2024"_s << u"4"_s << QStringList{u"2025-02-28"_s, u"2026-02-28"_s};
        QTest::newRow("unknown code") << u"2026-06-12"_s << u"7"_s << QStringList{u"2026-06-12"_s};
    }
    void repeatsMoveByCalendarRules()
    {
        QFETCH(QString, start);
        QFETCH(QString, repeat);
        QFETCH(QStringList, next);
        NoteRecord note = alarmNote({}, start, u"8:5"_s, repeat);
        for (const QString &expected : next) {
            AlarmRules::advance(note);
            QCOMPARE((QStringList{note.alarmDate, note.alarmTime, note.alarmRepeat}),
                     (QStringList{expected, u"8:5"_s, repeat}));
        }
    }

    void anUnknownRepeatHasNoWords() { QCOMPARE(AlarmRules::repeatWord(u"9"_s), QString()); }

    void alarmsWrittenInOtherLanguagesRingAfterASkippedMinuteAndAnUnreadableOneSaysSo()
    {
        // As editors in German, Japanese and French desktops wrote them, read on this one; then one nobody can read.
        // Two ticks 60.5 s apart pass over 09:00 without seeing it: its alarms ring all the same.
        const QDate today(2026, 12, 6);
        ScheduleRun run({alarmNote(u"Zahnarzt"_s, u"06-Dez.-2026"_s, u"09:00"_s, u"0"_s),
                         alarmNote(u"歯医者"_s, u"06-12月-2026"_s, u"09:00"_s, u"0"_s),
                         alarmNote(u"Dentiste"_s, u"06-déc.-2026"_s, u"09:00"_s, u"0"_s),
                         alarmNote(u"lost"_s, u"06-Xyz-2026"_s, u"09:00"_s, u"1"_s)},
                        QDateTime(today, QTime(8, 59, 59, 900)));
        Alarms().check();
        run.env.clock.set(QDateTime(today, QTime(9, 1, 0, 400)));
        Alarms().check();
        QCOMPARE(run.rung,
                 (QStringList{u"Dont forget: 2026-12-06 9:01|Zahnarzt"_s, u"Dont forget: 2026-12-06 9:01|歯医者"_s,
                              u"Dont forget: 2026-12-06 9:01|Dentiste"_s}));
        QCOMPARE(run.dates(), u"NO_DATE_SET NO_DATE_SET NO_DATE_SET 06-Xyz-2026"_s);
        QVERIFY(run.saved());

        run.env.clock.advanceSeconds(5);
        Alarms().check();
        QCOMPARE(run.env.logLines().filter(u"err_Main_timer_CheckAlarm_Timer 13 "_s).size(), 1);
        QVERIFY(run.env.logLines().constLast().contains(u"06-Xyz-2026"_s));
        QCOMPARE(run.icon(4), u"Cannot read this alarm's date: 06-Xyz-2026  09:00"_s);
    }

    void aMinuteSkippedBySummerTimeStillRings()
    {
        // Summer time begins in Berlin at 02:00 on the last Sunday of March: 02:30 never shows on the clock, so
        // the alarm rings at the first minute that does.
        const auto restore = qScopeGuard([zone = qgetenv("TZ")] {
            qputenv("TZ", zone);
            tzset();
        });
        qputenv("TZ", "Europe/Berlin");
        tzset();
        ScheduleRun run({alarmNote(u"Flight"_s, u"29-Mar-2026"_s, u"02:30"_s, u"1"_s)},
                        QDateTime(QDate(2026, 3, 29), QTime(1, 59, 58)));
        Alarms().check();
        QVERIFY(run.rung.isEmpty());
        run.env.clock.set(QDateTime(QDate(2026, 3, 29), QTime(3, 0, 3)));
        Alarms().check();
        QCOMPARE(run.rung.size(), 1);
        QCOMPARE(run.dates(), u"2026-03-30"_s);
    }

    void alarmsThatFallInASleepAreListedNotRungAndTheTicksAreForgottenBetweenRuns()
    {
        const QDate today(2026, 6, 12);
        {
            ScheduleRun run({alarmNote(u"wake up"_s, u"2026-06-12"_s, u"8:05"_s, u"1"_s),
                             alarmNote(u"before the sleep"_s, u"2026-06-12"_s, u"7:59"_s, u"1"_s)},
                            QDateTime(today, QTime(7, 59, 58)));
            Alarms().check(); // rings the 7:59 alarm and marks the tick
            run.env.clock.set(QDateTime(today, QTime(8, 30, 3)));
            Alarms().check();
            QCOMPARE(run.rung.size(), 1);
            QCOMPARE(run.missed, QStringList{u"2026-06-12 8:05|wake up"_s});
            QCOMPARE(run.dates(), u"2026-06-13 2026-06-13"_s);
            QVERIFY(run.saved());

            run.env.clock.advanceSeconds(5); // ordinary ticks list nothing more
            Alarms().check();
            QCOMPARE(run.missed.size(), 1);
        }
        // A new run's first tick has no tick before it, whatever the scheduler saw in an earlier one.
        ScheduleRun run({alarmNote(u"next day"_s, u"2026-06-13"_s, u"8:05"_s, u"1"_s)},
                        QDateTime(today.addDays(1), QTime(9, 0)));
        Alarms().check();
        QVERIFY(run.rung.isEmpty() && run.missed.isEmpty());
    }

    // Each missed ring is listed, note by note in table order and each oldest first, until the alarm reaches one not
    // in the past: repeats move on, once-alarms are cleared, an unreadable one is logged once and skipped.
    void missedRingsAreListedInTableOrderEachOldestFirst()
    {
        ScheduleRun run({alarmNote(u"garbled"_s, u"2026-03-30"_s, u"ab:cd"_s, u"1"_s),
                         alarmNote(u"pills"_s, u"2026-03-30"_s, u"8:00"_s, u"1"_s),
                         alarmNote(u"plants"_s, u"30-Mar-2026"_s, u"8:01"_s, u"1"_s),
                         alarmNote(u"rent"_s, u"2026-01-31"_s, u"8:00"_s, u"3"_s),
                         alarmNote(u"team meeting"_s, u"18-Mar-2026"_s, u"9:05"_s, u"2"_s),
                         alarmNote(QString(), u"2026-03-01"_s, u"7:00"_s, u"0"_s)},
                        QDateTime(QDate(2026, 4, 1), QTime(8, 0, 50)));
        Alarms().checkMissed();
        // The pills' ring today is missed once its minute has begun; the plants' is ten seconds ahead.
        QCOMPARE(run.missed, QStringList{u"2026-03-30 8:00|pills; 2026-03-31 8:00|pills; 2026-04-01 8:00|pills; "
                                         "2026-03-30 8:01|plants; 2026-03-31 8:01|plants; 2026-01-31 8:00|rent; "
                                         "2026-02-28 8:00|rent; 2026-03-28 8:00|rent; 2026-03-18 9:05|team meeting; "
                                         "2026-03-25 9:05|team meeting; 2026-03-01 7:00| - empty -"_s});
        QCOMPARE(run.dates(), u"2026-03-30 2026-04-02 2026-04-01 2026-04-28 2026-04-01 NO_DATE_SET"_s);
        QCOMPARE(run.icon(2) + u" / "_s + run.icon(6), u"2026-04-02  8:00 / hidden"_s);
        QVERIFY(run.saved());
        QCOMPARE(run.env.logLines().size(), 1);
        QVERIFY(run.env.logLines().constLast().startsWith(u"\"err_Bas_CheckForMissedAlarms "_s));

        // A second pass finds nothing and reports nothing, but saves the notes all the same.
        QVERIFY(QFile::remove(NotesFilePath()));
        Alarms().checkMissed();
        QCOMPARE(run.missed.size(), 1);
        QVERIFY(run.saved());
        QCOMPARE(run.env.logLines().size(), 1);
    }

    void anUnknownRepeatEndsThePassUnsaved()
    {
        ScheduleRun run({alarmNote(u"before"_s, u"2026-06-11"_s, u"10:00"_s, u"1"_s),
                         alarmNote(u"odd repeat"_s, u"2026-06-10"_s, u"10:00"_s, u"7"_s),
                         alarmNote(u"after"_s, u"2026-06-09"_s, u"10:00"_s, u"0"_s)},
                        QDateTime(QDate(2026, 6, 12), QTime(12, 0)));
        Alarms().checkMissed();

        QCOMPARE(run.missed.value(0).section(u"; "_s, 0, 1), u"2026-06-11 10:00|before; 2026-06-12 10:00|before"_s);
        QVERIFY(!run.missed.value(0).contains(u"after"_s));
        QCOMPARE(run.dates(), u"2026-06-13 2026-06-10 2026-06-09"_s);
        QCOMPARE(run.icon(3), u"2026-06-09  10:00"_s);
        QVERIFY(!QFile::exists(NotesBackupPath()));
    }
};

QTEST_GUILESS_MAIN(tst_AlarmScheduler)
#include "tst_AlarmScheduler.moc"
