#include "../notes/NoteSamples.h"
#include "TestEnvironment.h"
#include "alarms/Alarms.h"
#include "alarms/form_MissedAlarms.h"
#include "alarms/form_Notify.h"
#include "core/Programs.h"
#include "core/Settings.h"
#include "notes/NoteFile.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"

#include <QFile>
#include <QLabel>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

NoteRecord withAlarm(const QString &text, const QString &date, const QString &time, const QString &repeat)
{
    NoteRecord note = NoteSamples::stored(text, 1500, 1500);
    note.alarmDate = date;
    note.alarmTime = time;
    note.alarmRepeat = repeat;
    return note;
}

QList<NoteRecord> savedNotes()
{
    QFile file(NotesFilePath());
    return file.open(QIODevice::ReadOnly) ? decodeNotes(file.readAll()).notes : QList<NoteRecord>();
}

int clockSounds(const TestEnvironment &env)
{
    int n = 0;
    for (const auto &play : env.sound.m_played)
        n += play.fileName == u"clock.wav";
    return n;
}

} // namespace

class tst_AlarmCheck : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<form_Main> container;

    // The notes program with these notes loaded, at the given moment.
    void start(const QList<NoteRecord> &notes, const QDateTime &now)
    {
        env = std::make_unique<TestEnvironment>();
        env->clock.set(now);
        ProgramRunFlags().notes = true;
        QVERIFY(!writeNotesFile(NotesFilePath(), NotesBackupPath(), notes));
        container = std::make_unique<form_Main>();
        container->Form_Load();
        QCOMPARE(NoteStore().count(), notes.size());
    }
    QLabel *rowAlarm(int index) { return container->findChild<QLabel *>(u"image_Alarm"_s + QString::number(index)); }
    QLabel *noteAlarm(int index) { return NoteStore().note(index)->findChild<QLabel *>(u"image_Alarm"_s); }

private Q_SLOTS:
    void cleanup()
    {
        UnloadAlarmWindows();
        NoteStore().clear();
        container.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Hooks() = NoteHooks{};
        env.reset();
    }

    void aOnceOnlyAlarmRingsInItsMinuteAndIsCleared()
    {
        const QDate today(2026, 6, 12);
        start({withAlarm(u"Dentist"_s, u"2026-06-12"_s, u"8:05"_s, u"0"_s)}, QDateTime(today, QTime(8, 4, 58)));
        QVERIFY(noteAlarm(1)->isVisibleTo(NoteStore().note(1)));
        timer_CheckAlarm_Timer();
        QVERIFY(!Notice()->isVisible());

        env->clock.set(QDateTime(today, QTime(8, 5, 3)));
        timer_CheckAlarm_Timer();
        QVERIFY(Notice()->isVisible());
        QCOMPARE(Notice()->windowTitle(), u"Alarm"_s);
        QCOMPARE(Notice()->caption(), u"Dont forget: 2026-06-12 8:05"_s);
        QCOMPARE(Notice()->text(), u"Dentist"_s);
        QCOMPARE(clockSounds(*env), 1);
        const NoteRecord &note = NoteStore().note(1)->record();
        QCOMPARE(note.alarmDate, u"NO_DATE_SET"_s);
        QCOMPARE(note.alarmRepeat, u"-1"_s);
        QVERIFY(!noteAlarm(1)->isVisibleTo(NoteStore().note(1)));
        QVERIFY(!rowAlarm(1)->isVisibleTo(container.get()));
        QCOMPARE(savedNotes().value(0).alarmRepeat, u"-1"_s);

        env->clock.advanceSeconds(5); // the same minute: nothing left to ring
        timer_CheckAlarm_Timer();
        QCOMPARE(clockSounds(*env), 1);
    }

    void aDailyAlarmMovesOnAndSaysSo()
    {
        start({withAlarm(u"Pills"_s, u"12-jun-2026"_s, u"08:05"_s, u"1"_s)},
              QDateTime(QDate(2026, 6, 12), QTime(8, 5, 40)));
        timer_CheckAlarm_Timer();
        QCOMPARE(NoteStore().note(1)->record().alarmDate, u"2026-06-13"_s);
        QCOMPARE(NoteStore().note(1)->record().alarmTime, u"08:05"_s);
        QCOMPARE(noteAlarm(1)->toolTip(), u"2026-06-13  08:05"_s);
        QCOMPARE(rowAlarm(1)->toolTip(), u"2026-06-13  08:05"_s);
        QCOMPARE(savedNotes().value(0).alarmDate, u"2026-06-13"_s);
    }

    void twoAlarmsInOneTickBothRingAndTheLastNoticeStays()
    {
        start({withAlarm(u"first"_s, u"2026-06-12"_s, u"8:5"_s, u"2"_s),
               withAlarm(u"second"_s, u"2026-06-12"_s, u"08:05"_s, u"0"_s),
               withAlarm(u"earlier today"_s, u"2026-06-12"_s, u"7:00"_s, u"1"_s)},
              QDateTime(QDate(2026, 6, 12), QTime(8, 5, 1)));
        timer_CheckAlarm_Timer();
        QCOMPARE(clockSounds(*env), 2);
        QCOMPARE(Notice()->text(), u"second"_s);
        QCOMPARE(NoteStore().note(1)->record().alarmDate, u"2026-06-19"_s);
        QCOMPARE(NoteStore().note(2)->record().alarmRepeat, u"-1"_s);
        // An alarm earlier today does not ring in this run.
        QCOMPARE(NoteStore().note(3)->record().alarmDate, u"2026-06-12"_s);
    }

    void anUnreadableTimeIsLoggedAndNeverRings()
    {
        start({withAlarm(u"broken"_s, u"2026-06-12"_s, u"ab:cd"_s, u"1"_s),
               withAlarm(u"fine"_s, u"2026-06-12"_s, u"0:00"_s, u"1"_s)},
              QDateTime(QDate(2026, 6, 12), QTime(0, 0, 2)));
        timer_CheckAlarm_Timer();
        QCOMPARE(Notice()->text(), u"fine"_s);
        QCOMPARE(NoteStore().note(1)->record().alarmDate, u"2026-06-12"_s);
        QVERIFY(env->logLines().constLast().startsWith(u"\"err_Main_timer_CheckAlarm_Timer 13 "_s));
    }

    void theAlarmIconOffersToTurnItOff()
    {
        start({withAlarm(u"a"_s, u"12-Jun-1999"_s, u"8:05"_s, u"3"_s),
               withAlarm(u"b"_s, u"2026-07-01"_s, u"9:00"_s, u"4"_s)},
              QDateTime(QDate(1999, 6, 1), QTime(9, 0)));
        int closed = 0;
        Hooks().closeOutgoingConnection = [&closed] { ++closed; };
        Hooks().alarmIconClicked = image_Alarm_Click;

        env->messages.expect(platform::MsgAnswer::No);
        image_Alarm_Click(1, false);
        const platform::MessageRequest asked = env->messages.shown().constLast();
        QCOMPARE(asked.title, u"Alarm is on..."_s);
        QCOMPARE(asked.icon, platform::MsgIcon::Information);
        QCOMPARE(asked.buttons, platform::MsgButtons::YesNo);
        QCOMPARE(asked.text, u"The alarm rings: 12-Jun-1999  8:05\n\rIt is repeated every month.\n\r\n\rDo you want to "
                             "turn the alarm off ?"_s);
        QCOMPARE(NoteStore().note(1)->record().alarmRepeat, u"3"_s);
        QVERIFY(rowAlarm(1)->isVisibleTo(container.get()));
        QCOMPARE(closed, 0);

        // Yes from the container row.
        env->messages.expect(platform::MsgAnswer::Yes);
        QMetaObject::invokeMethod(rowAlarm(1), "clicked");
        QCOMPARE(NoteStore().note(1)->record().alarmDate, u"NO_DATE_SET"_s);
        QVERIFY(!rowAlarm(1)->isVisibleTo(container.get()));
        QCOMPARE(savedNotes().value(0).alarmRepeat, u"-1"_s);

        // Yes from the note window, which also lets go of an outgoing note connection.
        env->messages.expect(platform::MsgAnswer::Yes);
        QMetaObject::invokeMethod(noteAlarm(2), "clicked");
        QCOMPARE(NoteStore().note(2)->record().alarmRepeat, u"-1"_s);
        QVERIFY(!noteAlarm(2)->isVisibleTo(NoteStore().note(2)));
        QCOMPARE(closed, 1);
    }

    void alarmsThatFallInASleepAreListedNotRung()
    {
        start({withAlarm(u"wake up"_s, u"2026-06-12"_s, u"8:05"_s, u"1"_s),
               withAlarm(u"before the sleep"_s, u"2026-06-12"_s, u"7:59"_s, u"1"_s)},
              QDateTime(QDate(2026, 6, 12), QTime(7, 59, 58)));
        timer_CheckAlarm_Timer(); // rings the 7:59 alarm and marks the tick
        QCOMPARE(clockSounds(*env), 1);
        Notice()->c_Ok_Click();

        env->clock.set(QDateTime(QDate(2026, 6, 12), QTime(8, 30, 3)));
        timer_CheckAlarm_Timer();
        QCOMPARE(clockSounds(*env), 1);
        QVERIFY(!Notice()->isVisible());
        QVERIFY(MissedAlarmsWindow()->isVisible());
        QCOMPARE(MissedAlarmsWindow()->lines(),
                 (QStringList{u"Date: 2026-06-12 8:05"_s, u"Subject: wake up"_s, QString(18, u'-')}));
        QCOMPARE(NoteStore().note(1)->record().alarmDate, u"2026-06-13"_s);
        QCOMPARE(NoteStore().note(2)->record().alarmDate, u"2026-06-13"_s);
        QCOMPARE(savedNotes().value(0).alarmDate, u"2026-06-13"_s);

        // Ordinary ticks list nothing more.
        env->clock.advanceSeconds(5);
        timer_CheckAlarm_Timer();
        QCOMPARE(MissedAlarmsWindow()->lines().size(), 3);
    }

    void theContainerChecksEveryFiveSeconds()
    {
        start({}, QDateTime(QDate(2026, 6, 12), QTime(8, 0)));
        int ticks = 0;
        Hooks().checkAlarms = [&ticks] { ++ticks; };
        container->hide(); // hidden or not, the check goes on
        QTRY_COMPARE_WITH_TIMEOUT(ticks, 1, 6000);
    }
};

QTEST_MAIN(tst_AlarmCheck)
#include "tst_AlarmCheck.moc"
