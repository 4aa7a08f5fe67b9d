// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlarmTestSupport.h"
#include "alarms/Alarms.h"
#include "alarms/form_MissedAlarms.h"
#include "alarms/form_Notify.h"
#include "core/Programs.h"

#include <QTest>
#include <ctime>

using namespace Qt::StringLiterals;
using namespace AlarmTest;

class tst_AlarmCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dueAlarmsRingInTableOrderAndMoveOn()
    {
        const QDate today(2026, 6, 12);
        // A hidden note has no window, and its alarm rings all the same.
        NoteRecord dentist = alarmNote(u"Dentist"_s, u"2026-06-12"_s, u"8:5"_s, u"0"_s);
        dentist.visible = false;
        NotesRun run({alarmNote(u"broken"_s, u"2026-06-12"_s, u"ab:cd"_s, u"1"_s),
                      alarmNote(u"Pills"_s, u"12-jun-2026"_s, u"08:05"_s, u"1"_s), dentist,
                      alarmNote(u"earlier today"_s, u"2026-06-12"_s, u"7:00"_s, u"1"_s)},
                     QDateTime(today, QTime(8, 4, 58)));
        QVERIFY(!NoteStore().window(3));
        QCOMPARE(run.icons(3, false), u"shown"_s);
        timer_CheckAlarm_Timer();
        QVERIFY(!Notice()->isVisible());

        // While the notes program is exited, its alarms wait.
        run.env.clock.set(QDateTime(today, QTime(8, 5, 3)));
        ProgramRunFlags().notes = false;
        timer_CheckAlarm_Timer();
        QVERIFY(!Notice()->isVisible());
        ProgramRunFlags().notes = true;
        timer_CheckAlarm_Timer();
        QCOMPARE(run.env.sound.m_played.size(), 2);
        QCOMPARE(run.env.sound.m_played.constLast().fileName, u"clock.wav"_s);
        QVERIFY(Notice()->isVisible());
        QCOMPARE(Notice()->caption() + u'|' + Notice()->text(), u"Dont forget: 2026-06-12 8:05|Dentist"_s);
        QCOMPARE(run.icons(2), u"2026-06-13  08:05"_s);
        QCOMPARE(run.icons(3), u"hidden"_s);
        QVERIFY(!NoteStore().window(3));
        QCOMPARE(savedNotes(), run.records());
        // Earlier today is not this run's business; an unreadable time is logged and never rings.
        QCOMPARE(run.dates(), u"2026-06-12 2026-06-13 NO_DATE_SET 2026-06-12"_s);
        QVERIFY(run.env.logLines().constLast().startsWith(u"\"err_Main_timer_CheckAlarm_Timer 13 "_s));

        run.env.clock.advanceSeconds(5); // the same minute: nothing left to ring
        timer_CheckAlarm_Timer();
        QCOMPARE(run.env.sound.m_played.size(), 2);
    }

    void alarmsWrittenInOtherLanguagesRingAndAnUnreadableOneSaysSo()
    {
        // As editors in German, Japanese and French desktops wrote them, read on this one; then one nobody can read.
        const QDate today(2026, 12, 6);
        NotesRun run({alarmNote(u"Zahnarzt"_s, u"06-Dez.-2026"_s, u"09:00"_s, u"0"_s),
                      alarmNote(u"歯医者"_s, u"06-12月-2026"_s, u"09:00"_s, u"0"_s),
                      alarmNote(u"Dentiste"_s, u"06-déc.-2026"_s, u"09:00"_s, u"0"_s),
                      alarmNote(u"lost"_s, u"06-Xyz-2026"_s, u"09:00"_s, u"1"_s)},
                     QDateTime(today, QTime(9, 0, 3)));
        timer_CheckAlarm_Timer();
        QCOMPARE(run.env.sound.m_played.size(), 3);
        QCOMPARE(run.dates(), u"NO_DATE_SET NO_DATE_SET NO_DATE_SET 06-Xyz-2026"_s);

        run.env.clock.advanceSeconds(5);
        timer_CheckAlarm_Timer();
        QCOMPARE(run.env.logLines().filter(u"err_Main_timer_CheckAlarm_Timer 13 "_s).size(), 1);
        QVERIFY(run.env.logLines().constLast().contains(u"06-Xyz-2026"_s));
        QCOMPARE(run.icons(4), u"Cannot read this alarm's date: 06-Xyz-2026  09:00"_s);
    }

    void aSkippedMinuteStillRings()
    {
        // Summer time begins in Berlin at 02:00 on the last Sunday of March: 02:30 never shows on the clock, so
        // the alarm rings at the first minute that does.
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
        {
            NotesRun run({alarmNote(u"Flight"_s, u"29-Mar-2026"_s, u"02:30"_s, u"1"_s)},
                         QDateTime(QDate(2026, 3, 29), QTime(1, 59, 58)));
            timer_CheckAlarm_Timer();
            QCOMPARE(run.env.sound.m_played.size(), 0);
            run.env.clock.set(QDateTime(QDate(2026, 3, 29), QTime(3, 0, 3)));
            timer_CheckAlarm_Timer();
            QCOMPARE(run.env.sound.m_played.size(), 1);
            QCOMPARE(run.record(1).alarmDate, u"2026-03-30"_s);
        }
        qputenv("TZ", zone);
        tzset();

        // Two ticks 60.5 s apart pass over 09:00 without seeing it: its alarm rings all the same.
        NotesRun run({alarmNote(u"Call"_s, u"2026-12-06"_s, u"09:00"_s, u"0"_s)},
                     QDateTime(QDate(2026, 12, 6), QTime(8, 59, 59, 900)));
        timer_CheckAlarm_Timer();
        run.env.clock.set(QDateTime(QDate(2026, 12, 6), QTime(9, 1, 0, 400)));
        timer_CheckAlarm_Timer();
        QCOMPARE(run.env.sound.m_played.size(), 1);
        QCOMPARE(run.record(1).alarmDate, u"NO_DATE_SET"_s);
    }

    void theAlarmIconOffersToTurnItOff()
    {
        NotesRun run({alarmNote(u"a"_s, u"12-Jun-1999"_s, u"8:05"_s, u"3"_s),
                      alarmNote(u"b"_s, u"2026-07-01"_s, u"9:00"_s, u"4"_s)},
                     QDateTime(QDate(1999, 6, 1), QTime(9, 0)));
        run.hooks.alarmIcon = image_Alarm_Click;

        run.env.messages.expect(platform::MsgAnswer::Yes);
        run.clickAlarm(1, true);
        QCOMPARE(
            NoteSamples::boxLine(run.env.messages.shown().constLast()),
            NoteSamples::boxLine({u"The alarm rings: 12-Jun-1999  8:05\n\rIt is repeated every month.\n\r\n\rDo you "
                                  "want to turn the alarm off ?"_s,
                                  u"Alarm is on..."_s, platform::MsgIcon::Information, platform::MsgButtons::YesNo,
                                  platform::MsgAnswer::Yes}));
        QCOMPARE(run.record(1).alarmDate, u"NO_DATE_SET"_s);
        QCOMPARE(run.icons(1), u"hidden"_s);
        QCOMPARE(savedNotes().value(0).alarmRepeat, u"-1"_s);
        QCOMPARE(run.hooks.closed, 0);

        // Yes from the note window also lets go of an outgoing note connection.
        run.env.messages.expect(platform::MsgAnswer::Yes);
        run.clickAlarm(2, false);
        QCOMPARE(run.record(2).alarmRepeat, u"-1"_s);
        QCOMPARE(run.icons(2), u"hidden"_s);
        QCOMPARE(run.hooks.closed, 1);
    }

    void alarmsThatFallInASleepAreListedNotRung()
    {
        const QDate today(2026, 6, 12);
        NotesRun run({alarmNote(u"wake up"_s, u"2026-06-12"_s, u"8:05"_s, u"1"_s),
                      alarmNote(u"before the sleep"_s, u"2026-06-12"_s, u"7:59"_s, u"1"_s)},
                     QDateTime(today, QTime(7, 59, 58)));
        timer_CheckAlarm_Timer(); // rings the 7:59 alarm and marks the tick
        Notice()->c_Ok_Click();

        run.env.clock.set(QDateTime(today, QTime(8, 30, 3)));
        timer_CheckAlarm_Timer();
        QCOMPARE(run.env.sound.m_played.size(), 1);
        QVERIFY(!Notice()->isVisible());
        QVERIFY(MissedAlarmsWindow()->isVisible());
        QCOMPARE(MissedAlarmsWindow()->lines(), missedRings(u"2026-06-12 8:05|wake up"_s));
        QCOMPARE(run.dates(), u"2026-06-13 2026-06-13"_s);
        QCOMPARE(savedNotes(), run.records());

        run.env.clock.advanceSeconds(5); // ordinary ticks list nothing more
        timer_CheckAlarm_Timer();
        QCOMPARE(MissedAlarmsWindow()->lines().size(), 3);
    }
};

QTEST_MAIN(tst_AlarmCheck)
#include "tst_AlarmCheck.moc"
