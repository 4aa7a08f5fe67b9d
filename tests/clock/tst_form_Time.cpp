// SPDX-License-Identifier: GPL-3.0-or-later
#include "DaytimeServer.h"
#include "TestEnvironment.h"
#include "clock/form_Time.h"
#include "core/AutodialFlags.h"
#include "core/Settings.h"
#include "platform/IniStore.h"
#include "platform/SystemClock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTest>
#include <QWindow>
#include <ctime>

// QtGui's entry for platform plugins, through which a close from the title bar arrives as a spontaneous event;
// it has no public header, so it is declared here as QtGui exports it.
class QWindowSystemInterface {
public:
    struct SynchronousDelivery {};
    template <typename Delivery> static bool handleCloseEvent(QWindow *window);
};

using namespace Qt::StringLiterals;
using platform::MsgAnswer;

namespace {

const QDateTime FirstStart({1990, 1, 1}, {0, 0});

// Stands in for timedated: records each time asked for and answers a turn of the event loop later, with success
// or the failure set. A held answer waits until the test releases it.
class RecordingSetter : public platform::SystemClockSetter {
public:
    RecordingSetter() { platform::installSystemClockSetter(this); }
    ~RecordingSetter() override { platform::installSystemClockSetter(nullptr); }
    void setTime(const QDateTime &moment, bool isInteractive, const Done &done) override
    {
        asked.append(moment);
        interactive.append(isInteractive);
        if (hold)
            held.append(done);
        else
            QTimer::singleShot(0, [done, failure = failure] { done(failure); });
    }
    QList<QDateTime> asked;
    QList<bool> interactive;
    std::optional<QString> failure;
    bool hold = false;
    QList<Done> held;
};

// Settings as the window loads them: synchronising, against a custom server on loopback.
void load(form_Time &form, quint16 port)
{
    Settings().ClockActive = true;
    Settings().UseCustomTimeserver = true;
    Settings().CustomTimeserver = u"127.0.0.1"_s;
    form.Form_Load();
    form.remotePort = port;
}

QString stored(const TestEnvironment &env, const char *key)
{
    return platform::IniStore(env.settingsPath()).value(u"Settings"_s, QString::fromLatin1(key)).value_or(QString());
}

int attempts(const TestEnvironment &env)
{
    return int(env.logLines().filter(QRegularExpression(u"^\"Trying to sync\\.\\.\\.\""_s)).size());
}

} // namespace

class tst_form_Time : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void syncNowReadsTheWholeReplyAndSetsTheClock()
    {
        TestEnvironment env;
        RecordingSetter setter;
        // Cut inside the seconds: a reply read before its line end would give no time, or no date.
        DaytimeServer server({"Tue Oct 12 14:05:0", "9 1999\r\n"});
        form_Time form;
        Settings().ClockDateActive = 1;
        Settings().HoursOff = 1;
        load(form, server.port());
        env.clock.advanceMinutes(7);

        env.messages.expect(MsgAnswer::Ok);
        form.c_CheckNow_Click();
        QVERIFY(AutodialFlags().ClockSyncActive && AutodialFlags().AutodialDisabled);
        QTRY_COMPARE(form.label_Success->text(), u"worked ok..."_s);
        QCOMPARE(setter.asked, QList<QDateTime>{QDateTime({1999, 10, 12}, {15, 5, 10})});
        QCOMPARE(env.messages.shown().size(), 1);
        QCOMPARE(env.messages.shown()[0].title, u"Sync success"_s);
        QCOMPARE(env.messages.shown()[0].text, u"New time : 15:05:10"_s);
        QCOMPARE(Settings().ClockLastSyncTime, env.clock.now());
        QCOMPARE(stored(env, "ClockLastSyncTime"), u"2026-12-06 09:37:00"_s);
        QCOMPARE(form.label_NbrOfErrors->text(), u"0"_s);
        QVERIFY(form.c_Error->isHidden());
        // Autodial stays off a little after the outcome, for the connection to close.
        QVERIFY(form.timer_DisableAutoDial.isActive() && AutodialFlags().AutodialDisabled);
        QCOMPARE(form.timer_DisableAutoDial.interval(), 3000);
        form.timer_DisableAutoDial_Timer();
        QVERIFY(!AutodialFlags().ClockSyncActive && !AutodialFlags().AutodialDisabled);
        QVERIFY(!form.timer_DisableAutoDial.isActive());

        // The scheduler's attempts report nothing; the box is for the button only. A server that closes without
        // a line end has still given its reply.
        server.pieces = {"Tue Oct 12 14:05:09 1999"};
        form.check_DateAlso->setChecked(false);
        form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_COMPARE(setter.asked.size(), 2);
        QCOMPARE(setter.asked[1], QDateTime({2026, 12, 6}, {15, 5, 10}));
        QTRY_VERIFY(form.timer_DisableAutoDial.isActive());
        QCOMPARE(env.messages.shown().size(), 1);
        form.timer_DisableAutoDial.stop();

        // NIST's reply starts with a line feed of its own, so its first line end is not yet the reply's end.
        server.pieces = {"\n61015 25-12-06 12:3", "4:56 00 0 0 123.4 UTC(NIST) * \n"};
        form.check_DateAlso->setChecked(true);
        form.combo_HoursOff->setCurrentText(u"0"_s);
        form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_VERIFY(form.timer_DisableAutoDial.isActive()); // the attempt's outcome
        QCOMPARE(setter.asked.value(2), QDateTime({2025, 12, 6}, {12, 34, 57}));

        // One attempt sets the clock once, even when the server says more while the system is still answering.
        server.pieces = {"Tue Oct 12 14:05:09 1999\r\n", "Tue Oct 12 14:05:10 1999\r\n"};
        setter.asked.clear();
        setter.hold = true;
        form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_COMPARE(setter.asked.size(), 1);
        QTRY_COMPARE(form.Winsock1.state(), QAbstractSocket::UnconnectedState); // the server has said all
        QCOMPARE(setter.asked.size(), 1);
    }

    void failuresAreCountedAndExplained()
    {
        TestEnvironment env;
        RecordingSetter setter;
        DaytimeServer silent{QByteArrayList()};
        form_Time form;
        load(form, silent.port());

        // Shortened from the real ten seconds so that the timer itself ends the attempt.
        QCOMPARE(form.timer_TimeOut.interval(), 10000);
        form.timer_TimeOut.setInterval(200);
        form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_COMPARE(silent.accepted, 1);
        QTRY_COMPARE(form.label_Error->text(), u"Error: 1  Timeout"_s);
        QCOMPARE(form.label_Success->text(), u"did not work..."_s);
        QCOMPARE(form.label_NbrOfErrors->text(), u"1"_s);
        QVERIFY(!form.c_Error->isHidden());
        env.messages.expect(MsgAnswer::Ok);
        form.c_Error->click();
        QCOMPARE(env.messages.shown().constLast().text, u"Error: 1  Timeout"_s);

        // No host at all times out alike; asked from the button, the box says what to try.
        form.text_CustomServer->clear();
        env.messages.expect(MsgAnswer::Ok);
        form.c_CheckNow_Click();
        QTRY_COMPARE(form.label_NbrOfErrors->text(), u"2"_s);
        QCOMPARE(form.label_Error->text(), u"Error: 1  Timeout"_s);
        QCOMPARE(env.messages.shown().constLast().title, u"Status"_s);
        QVERIFY(env.messages.shown().constLast().text.startsWith(u"Could not contact a timeserver:\n\r\n\r"_s));

        form.remotePort = DaytimeServer().port(); // closed again at once
        form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_COMPARE(form.label_NbrOfErrors->text(), u"3"_s);
        QCOMPARE(form.label_Error->text(), u"Error: 10061  Connection refused"_s);

        DaytimeServer garbled({"no colon here\r\n"});
        form.remotePort = garbled.port();
        form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_COMPARE(form.label_NbrOfErrors->text(), u"4"_s);
        QCOMPARE(form.label_Error->text(), u"Error: 2  Unreadable reply"_s);
        QVERIFY(setter.asked.isEmpty());

        // The server answered, but the system would not set the clock.
        DaytimeServer good;
        form.remotePort = good.port();
        form.text_CustomServer->setText(u"127.0.0.1"_s);
        setter.failure = u"Not allowed to set the clock"_s;
        env.messages.expect(MsgAnswer::Ok);
        form.c_CheckNow_Click();
        QTRY_COMPARE(form.label_NbrOfErrors->text(), u"5"_s);
        QCOMPARE(setter.asked.size(), 1);
        QCOMPARE(form.label_Success->text(), u"did not work..."_s);
        QCOMPARE(form.label_Error->text(), u"Error: 3  Not allowed to set the clock"_s);
        QCOMPARE(env.messages.shown().constLast().title, u"Status"_s);
        QCOMPARE(env.messages.shown().constLast().text,
                 u"The time server answered, but the clock could not be set:\n\r\n\rNot allowed to set the clock"_s);
        QCOMPARE(Settings().ClockLastSyncTime, FirstStart);
        QCOMPARE(stored(env, "ClockLastSyncTime"), QString());

        // An answer to an attempt that a newer one has replaced changes nothing; the newer one's answer counts,
        // and a success does not clear the count of failures.
        setter.failure.reset();
        setter.hold = true;
        form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_COMPARE(setter.held.size(), 1);
        form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_COMPARE(setter.held.size(), 2);
        setter.held[0](std::nullopt);
        QCOMPARE(form.label_Success->text(), u"did not work..."_s);
        QCOMPARE(Settings().ClockLastSyncTime, FirstStart);
        setter.held[1](std::nullopt);
        QCOMPARE(form.label_Success->text(), u"worked ok..."_s);
        QCOMPARE(Settings().ClockLastSyncTime, env.clock.now());
        QCOMPARE(form.label_NbrOfErrors->text(), u"5"_s);
        QVERIFY(form.c_Error->isHidden());
    }

    void schedulerSyncsOncePerPeriod()
    {
        TestEnvironment env;
        RecordingSetter setter;
        DaytimeServer server;
        form_Time form;
        load(form, server.port());
        QCOMPARE(form.combo_Time->currentText(), u"week"_s);
        QCOMPARE(form.SyncPeriodHours, 144);

        // Never synchronised: the first tick does.
        form.timer_CheckSync_Timer();
        QCOMPARE(attempts(env), 1);
        QTRY_COMPARE(form.label_Success->text(), u"worked ok..."_s);
        QCOMPARE(Settings().ClockLastSyncTime, env.clock.now());

        env.clock.advanceMinutes(143 * 60 + 59);
        form.timer_CheckSync_Timer();
        QCOMPARE(attempts(env), 1);
        env.clock.advanceMinutes(1);
        form.timer_CheckSync_Timer();
        QCOMPARE(attempts(env), 2);
        QTRY_COMPARE(server.accepted, 2);
        QTRY_COMPARE(Settings().ClockLastSyncTime, env.clock.now());

        // Eleven failures switch the scheduler off, once it is due again.
        form.label_NbrOfErrors->setText(u"11"_s);
        form.timer_CheckSync.start();
        env.clock.advanceMinutes(144 * 60);
        form.timer_CheckSync_Timer();
        QVERIFY(!form.timer_CheckSync.isActive());
        QCOMPARE(form.label_NbrOfErrors->text(), u"0"_s);
        QVERIFY(env.logLines().constLast().startsWith(u"\"Timer disabled\""_s));
        QCOMPARE(attempts(env), 2);

        // "No" greys out what belongs to synchronising; the scheduler goes by the saved choice, so "No" counts once
        // it is confirmed, and "Yes" then Cancel starts nothing.
        form.timer_CheckSync.start();
        form.show();
        form.option_Correct[0]->click();
        QVERIFY(!form.combo_Time->isEnabled() && !form.c_CheckNow->isEnabled() && !form.check_DateAlso->isEnabled());
        form.c_Ok_Click();
        QVERIFY(!Settings().ClockActive);
        env.clock.advanceMinutes(144 * 60);
        form.timer_CheckSync_Timer();
        QCOMPARE(attempts(env), 2);
        form.show();
        form.option_Correct[1]->click();
        QVERIFY(form.combo_Time->isEnabled() && form.c_CheckNow->isEnabled() && form.check_DateAlso->isEnabled());
        form.c_Cancel->click();
        form.timer_CheckSync_Timer();
        QCOMPARE(attempts(env), 2);

        // Saved again: the scheduled attempt may not ask for a password, and while it waits for the system no
        // tick starts another, however long the system takes.
        form.show();
        form.option_Correct[1]->click();
        form.c_Ok_Click();
        setter.hold = true;
        form.timer_CheckSync_Timer();
        QCOMPARE(attempts(env), 3);
        QTRY_COMPARE(setter.held.size(), 1);
        QCOMPARE(setter.interactive.constLast(), false);
        for (int tick = 0; tick < 3; ++tick) {
            env.clock.advanceMinutes(144 * 60);
            form.timer_CheckSync_Timer();
        }
        QCOMPARE(attempts(env), 3);
        QCOMPARE(setter.asked.size(), 3);
        setter.held.takeFirst()(std::nullopt);
        QCOMPARE(form.label_Success->text(), u"worked ok..."_s);
        QVERIFY(!form.attemptRunning());
    }

    void aScheduleTheSystemRefusesIsSaidOnceAndWaits()
    {
        TestEnvironment env;
        RecordingSetter setter;
        DaytimeServer server;
        form_Time form;
        load(form, server.port());
        setter.failure = u"Not allowed to set the clock: Automatic time synchronization is enabled"_s;
        form.timer_CheckSync_Timer();
        QTRY_COMPARE(form.label_Success->text(), u"did not work..."_s);
        QCOMPARE(form.label_Error->text(), u"Error: 3  Not allowed to set the clock: Automatic time synchronization is "
                                           u"enabled"_s);
        for (int period = 0; period < 12; ++period) {
            env.clock.advanceMinutes(144 * 60);
            form.timer_CheckSync_Timer();
        }
        QCOMPARE(attempts(env), 1);
        QCOMPARE(form.label_NbrOfErrors->text(), u"0"_s);
        QCOMPARE(env.logLines().filter(u"Scheduled syncs wait: "_s).size(), 1);

        // The user's own sync (which may ask for a password) works: the schedule goes on.
        setter.failure.reset();
        env.messages.expect(MsgAnswer::Ok);
        form.c_CheckNow_Click();
        QTRY_COMPARE(form.label_Success->text(), u"worked ok..."_s);
        QCOMPARE(setter.interactive.constLast(), true);
        env.clock.advanceMinutes(144 * 60);
        form.timer_CheckSync_Timer();
        QCOMPARE(attempts(env), 3);
    }

    void okSavesCancelOnlyCloses()
    {
        TestEnvironment env;
        form_Time form;
        form.Form_Load();
        QVERIFY(form.option_Correct[0]->isChecked());

        form.combo_Time->setCurrentIndex(1);
        Q_EMIT form.combo_Time->activated(1);
        QCOMPARE(form.SyncPeriodHours, 6);
        form.c_Cancel->click();
        // The scheduler follows the choice at once; only the stored settings wait for Ok.
        QCOMPARE(form.SyncPeriodHours, 6);
        QCOMPARE(Settings().ClockPeriod, 5);
        QCOMPARE(stored(env, "ClockPeriod"), QString());

        form.option_Correct[1]->click();
        form.check_DateAlso->setChecked(false);
        form.option_TimeServer[1]->click();
        QVERIFY(form.text_CustomServer->isEnabled() && !form.combo_TimeServer->isEnabled());
        form.text_CustomServer->setText(u"127.0.0.1"_s);
        form.combo_TimeServer->setCurrentIndex(2);
        form.combo_HoursOff->setCurrentText(u"-3"_s);
        form.show();
        form.c_Ok->click();
        QVERIFY(form.isHidden());
        const QStringList saved = {
            stored(env, "ClockActive"),     stored(env, "ClockPeriod"),         stored(env, "ClockDateActive"),
            stored(env, "ClockTimeServer"), stored(env, "UseCustomTimeserver"), stored(env, "CustomTimeserver"),
            stored(env, "HoursOff")};
        QCOMPARE(saved, (QStringList{u"True"_s, u"1"_s, u"0"_s, u"2"_s, u"True"_s, u"127.0.0.1"_s, u"-3"_s}));

        // An offset out of range keeps the one saved before.
        form.combo_HoursOff->setCurrentText(u"13"_s);
        form.c_Ok->click();
        QCOMPARE(stored(env, "HoursOff"), u"-3"_s);

        // Read back from the file, as the next start would.
        ResetSettings();
        SetGlobalVariables();
        form_Time reloaded;
        reloaded.Form_Load();
        QVERIFY(reloaded.option_Correct[1]->isChecked() && reloaded.combo_Time->isEnabled());
        QVERIFY(!reloaded.check_DateAlso->isChecked() && reloaded.option_TimeServer[1]->isChecked());
        QCOMPARE(reloaded.SyncPeriodHours, 6);
        QCOMPARE(reloaded.combo_TimeServer->currentIndex(), 2);
        QCOMPARE(reloaded.combo_HoursOff->currentText(), u"-3"_s);
    }

    void historyFoldsAndTheTitleBarOnlyHides()
    {
        TestEnvironment env;
        form_Time form;
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.c_Mera->text(), u"more ...>"_s);
        QVERIFY(form.Frame1->isHidden());
        const int folded = form.height();

        form.c_Mera->click();
        QCOMPARE(form.c_Mera->text(), u"less ...>"_s);
        QVERIFY(form.Frame1->isVisible());
        QVERIFY(form.height() > folded);
        form.c_Mera->click();
        QCOMPARE(form.c_Mera->text(), u"more ...>"_s);
        QVERIFY(form.Frame1->isHidden());

        // Leaving unfolded folds the history away for the next time.
        form.c_Mera->click();
        form.c_Cancel->click();
        QVERIFY(form.isHidden());
        QCOMPARE(form.c_Mera->text(), u"more ...>"_s);

        // The title bar's close is refused and the window hidden; the program's own close goes through.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(
            form.windowHandle()));
        QVERIFY(form.isHidden());
        form.show();
        QVERIFY(form.close());
        QVERIFY(form.isHidden());
    }
};

QTEST_MAIN(tst_form_Time)
#include "tst_form_Time.moc"
