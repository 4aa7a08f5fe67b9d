// SPDX-License-Identifier: GPL-3.0-or-later
// The clock window on its tray owner, against DAYTIME servers on loopback and a recording clock setter: what it
// shows of the attempts, the boxes it tells the user with, the choices it saves, and what the clock program does
// around an attempt (the autodial switch, the settings file).
#include "SystemEventsDriver.h"
#include "TestEnvironment.h"
#include "TimeStandIns.h"
#include "clock/DaytimeSource.h"
#include "clock/form_GhostTime.h"
#include "clock/form_Time.h"
#include "core/AutodialFlags.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "platform/Tray.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWindow>

// QtGui's entry for platform plugins, through which a close from the title bar arrives as a spontaneous event;
// it has no public header, so it is declared here as QtGui exports it.
class QWindowSystemInterface {
public:
    struct SynchronousDelivery {};
    template <typename Delivery> static bool handleCloseEvent(QWindow *window);
};

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using platform::MsgAnswer;

namespace {

const QString CouldNotContact = u"Could not contact a timeserver:\n\r\n\r- Try another time server.\n\r- Are you "
                                "connected to the internet ?\n\r- Maybe your company's firewall does not support time "
                                "synchronization ? "_s;

// A test's environment, the recording setter, a DAYTIME server on loopback, and the clock program.
struct Time {
    // `systemsOwnEvents`: the program hears logind and the kernel rather than the environment's quiet stand-in.
    explicit Time(const QByteArrayList &reply = {"Tue Oct 12 14:05:09 1999\r\n"}, bool systemsOwnEvents = false)
        : events((systemsOwnEvents && (platform::installSystemEvents(nullptr), true))), server(reply)
    {
    }
    // Set to synchronise against `port`, the window opened as a left click on the icon opens it.
    void open(quint16 port)
    {
        Settings().ClockActive = true;
        Settings().UseCustomTimeserver = true;
        Settings().CustomTimeserver = u"127.0.0.1"_s;
        askOn(port);
        show();
    }
    void askOn(quint16 port) { ghost.sync().setSource(std::make_unique<DaytimeSource>(port)); }
    void show()
    {
        ghost.trayActivated(platform::TrayClick::Left);
        QVERIFY(QTest::qWaitForWindowExposed(ghost.timeWindow()));
    }
    template <class Widget> Widget *control(const char *name)
    {
        return ::control<Widget>(*ghost.timeWindow(), QString::fromLatin1(name));
    }
    QString text(const char *label) { return control<QLabel>(label)->text(); }
    void click(const char *button) { ::click(*ghost.timeWindow(), QString::fromLatin1(button)); }
    // Clicks the button and answers the box it ends with; its text, or "no box".
    QString boxAfter(const char *button)
    {
        const qsizetype boxes = env.messages.shown().size();
        env.messages.expect(MsgAnswer::Ok);
        click(button);
        if (!QTest::qWaitFor([&] { return env.messages.shown().size() > boxes; }, 10'000))
            return u"no box"_s;
        return env.messages.shown().constLast().text;
    }
    void nextPeriod()
    {
        env.clock.advanceMinutes(144 * 60);
        ghost.sync().checkSchedule();
    }

    TestEnvironment env;
    bool events;
    RecordingSetter setter;
    DaytimeServer server;
    PanelStandIn lifecycle;
    form_GhostTime ghost{lifecycle};
};

} // namespace

class tst_form_Time : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void syncNowTellsTheNewTimeAndTheNetworkIsGivenBack()
    {
        Time t;
        Settings().HoursOff = 1;
        t.open(t.server.port());
        QCOMPARE(t.boxAfter("c_CheckNow"), u"New time : 15:05:10"_s);
        QCOMPARE(t.env.messages.shown().constLast().title, u"Sync success"_s);
        QCOMPARE(t.text("label_Success"), u"worked ok..."_s);
        // The moment of the success is saved at once.
        QCOMPARE(storedSetting(u"ClockLastSyncTime"_s), t.env.clock.now().toString(u"yyyy-MM-dd HH:mm:ss"_s));
        // The autodial switch is off while the attempt uses the network, and back on a while after its outcome.
        QVERIFY(AutodialFlags().ClockSyncActive && AutodialFlags().AutodialDisabled);
        QCOMPARE(TraceText(), u"GetInternetTime"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!AutodialFlags().ClockSyncActive && !AutodialFlags().AutodialDisabled, 10'000);

        // The icon's "Sync time..." is the window's "sync now..".
        t.env.messages.expect(MsgAnswer::Ok);
        t.ghost.findChild<QAction *>(u"menu_Sync"_s)->trigger();
        QTRY_COMPARE(t.env.messages.shown().size(), 2);
        QCOMPARE(t.env.messages.shown().constLast().text, u"New time : 15:05:10"_s);
    }

    void failuresShowInTheHistoryAndTellTheUserWhatToTry()
    {
        Time t(QByteArrayList{}); // accepts and never answers
        t.open(t.server.port());
        // Shortened from the real ten seconds.
        t.ghost.sync().setReplyTimeout(200ms);
        t.click("c_Mera");
        QVERIFY(t.control<QPushButton>("c_Error")->isHidden());
        QCOMPARE(t.boxAfter("c_CheckNow"), CouldNotContact);
        QCOMPARE(t.env.messages.shown().constLast().title, u"Status"_s);
        QCOMPARE(t.text("label_Success"), u"did not work..."_s);
        QCOMPARE(t.text("label_NbrOfErrors"), u"1"_s);
        QCOMPARE(t.text("label_Error"), u"Error: 1  Timeout"_s);
        QCOMPARE(t.boxAfter("c_Error"), u"Error: 1  Timeout"_s);
        QCOMPARE(t.env.messages.shown().constLast().title, u"Synchronization did not work last time because  "_s);

        // The socket's errors by the numbers the history has always shown.
        t.askOn(DaytimeServer().port()); // closed again at once
        QCOMPARE(t.boxAfter("c_CheckNow"), CouldNotContact);
        QCOMPARE(t.text("label_Error"), u"Error: 10061  Connection refused"_s);

        // The server answered and the system would not set the clock: the box says so.
        DaytimeServer good;
        t.askOn(good.port());
        t.setter.failure = u"Not allowed to set the clock"_s;
        QCOMPARE(t.boxAfter("c_CheckNow"),
                 u"The time server answered, but the clock could not be set:\n\r\n\rNot allowed to set the clock"_s);
        QCOMPARE(t.text("label_Error"), u"Error: 3  Not allowed to set the clock"_s);
        QCOMPARE(t.text("label_NbrOfErrors"), u"3"_s);

        // A success hides the error's button and keeps the count.
        t.setter.failure.reset();
        QCOMPARE(t.boxAfter("c_CheckNow"), u"New time : 14:05:10"_s);
        QVERIFY(t.control<QPushButton>("c_Error")->isHidden());
        QCOMPARE(t.text("label_NbrOfErrors"), u"3"_s);
    }

    void theScheduleShowsNoBoxesWaitsForOkAndStopsAfterElevenFailures()
    {
        Time t;
        t.open(t.server.port());
        t.ghost.startSync();
        QVERIFY(t.ghost.sync().scheduleRunning());
        // The system refuses an unattended sync: shown without a box and not counted; the user's Ok lets the schedule
        // go on (that it waits until then is the sync's own test).
        t.setter.failure = u"Not allowed to set the clock: Automatic time synchronization is enabled"_s;
        t.ghost.sync().checkSchedule();
        QTRY_COMPARE(t.text("label_Success"), u"did not work..."_s);
        QCOMPARE(t.text("label_NbrOfErrors"), u"0"_s);
        t.setter.failure.reset();
        t.click("c_Ok");
        t.ghost.sync().checkSchedule();
        QTRY_COMPARE(t.text("label_Success"), u"worked ok..."_s);

        // A server that refuses every time: the count shown climbs to eleven, and the look after starts it again.
        t.askOn(DaytimeServer().port());
        for (int failures = 1; failures <= 11; ++failures) {
            t.nextPeriod();
            QTRY_COMPARE(t.text("label_NbrOfErrors"), QString::number(failures));
        }
        t.nextPeriod();
        QCOMPARE(t.text("label_NbrOfErrors"), u"0"_s);
    }

    // The clock's exit ends the attempt under way, so that the next start is free to sync (that an ended attempt
    // leaves the sync free is the sync's own test).
    void exitingDuringAnAttemptEndsIt()
    {
        Time t(QByteArrayList{}); // accepts and never answers
        t.open(t.server.port());
        t.click("c_CheckNow");
        QVERIFY(t.ghost.sync().attemptRunning());
        t.ghost.findChild<QAction *>(u"menu_Exittime"_s)->trigger();
        QVERIFY(!t.ghost.sync().attemptRunning());
    }

    // Ok saves, Cancel and the title bar only close, the history folds, an hour field that is no offset is ignored.
    // With the system's time service on, the window says so where the schedule is set, "sync now.." measures and
    // tells the offset without setting the clock, and the service is turned off only on the user's "Yes". The
    // protocol chosen beside the custom server is saved in the one setting.
    void theSystemsTimeServiceAndTheProtocolBesideTheServer()
    {
        Time t;
        t.setter.service = {true, true};
        t.env.clock.set(QDateTime({1999, 10, 12}, {14, 5, 7})); // the reply's second and one for the way: 3 s on
        t.open(t.server.port());
        QTRY_VERIFY(t.control<QLabel>("label_Service")->isVisible());
        QCOMPARE(t.boxAfter("c_CheckNow"), u"The system keeps this clock synchronised (offset 3 s from 127.0.0.1)"_s);
        QVERIFY(t.setter.asked.isEmpty());
        QCOMPARE(t.text("label_Check"), u"Your clock is 3 s behind (127.0.0.1)"_s);
        t.env.messages.expect(MsgAnswer::No);
        t.click("c_TakeOver");
        QCOMPARE(t.env.messages.pending(), 0);
        QVERIFY(t.setter.serviceSet.isEmpty());
        t.setter.service = {};
        t.env.messages.expect(MsgAnswer::Yes);
        t.click("c_TakeOver");
        QCOMPARE(t.setter.serviceSet, QList<bool>{false});
        QTRY_VERIFY(!t.control<QPushButton>("c_TakeOver")->isVisible());

        QComboBox *protocol = t.control<QComboBox>("combo_Protocol");
        QTest::keyClick(protocol, Qt::Key_Down);
        t.control<QLineEdit>("text_CustomServer")->setText(u"127.0.0.1:1123"_s);
        t.click("c_Ok");
        QCOMPARE(storedSetting(u"CustomTimeserver"_s), u"ntp://127.0.0.1:1123"_s);
        t.show();
        QCOMPARE(protocol->currentText(), u"NTP"_s);
        QCOMPARE(t.control<QLineEdit>("text_CustomServer")->text(), u"127.0.0.1:1123"_s);
    }

    // Run by with_time_servers.sh: the mock logind tells of a resume, and the namespace's loopback goes down and up.
    void aResumeAndTheNetworksReturnSyncAgainWithinTenSeconds()
    {
        SKIP_OUTSIDE_THE_TIME_NAMESPACE();
        Time t({"Tue Oct 12 14:05:09 1999\r\n"}, true);
        // Synchronised a moment ago and weekly: no look of the schedule would sync now.
        Settings().ClockPeriod = 5;
        Settings().ClockLastSyncTime = t.env.clock.now();
        t.open(t.server.port());
        t.ghost.startSync();
        QVERIFY(t.ghost.sync().scheduleRunning());
        QElapsedTimer since;
        // Going to sleep is no reason to sync, nor is a link's notice that leaves it up (a Wi-Fi scan's, a new MTU).
        QCOMPARE(announceSleep(true), QString());
        QCOMPARE(QProcess::execute(u"ip"_s, {u"link"_s, u"set"_s, u"lo"_s, u"mtu"_s, u"60000"_s}), 0);
        QTest::qWait(int(ClockSync::WakeSettle.count()) + 3'000);
        QCOMPARE(t.setter.asked.size(), 0);

        QCOMPARE(announceSleep(false), QString());
        since.start();
        QTRY_COMPARE_WITH_TIMEOUT(t.setter.asked.size(), 1, 10'000);
        qInfo("resume to sync: %.1f s", double(since.elapsed()) / 1000);

        // Loopback down a few seconds, as a Wi-Fi change would, then up: a sync after it, though none is due.
        QTRY_VERIFY_WITH_TIMEOUT(!t.ghost.sync().attemptRunning(), 10'000);
        const auto changeOfNetwork = [] {
            QVERIFY(setLoopback(false));
            QTest::qWait(3'000);
            QVERIFY(setLoopback(true));
        };
        t.env.clock.set(t.env.clock.now().addSecs(ClockSync::WakeSpacing.count()));
        changeOfNetwork();
        since.start();
        QTRY_COMPARE_WITH_TIMEOUT(t.setter.asked.size(), 2, 10'000);
        qInfo("loopback up to sync: %.1f s", double(since.elapsed()) / 1000);
        QCOMPARE(t.ghost.sync().errorCount(), 0);
        // The network comes and goes again a minute later: the server is not asked again so soon.
        QTRY_VERIFY_WITH_TIMEOUT(!t.ghost.sync().attemptRunning(), 10'000);
        t.env.clock.set(t.env.clock.now().addSecs(60));
        changeOfNetwork();
        QTest::qWait(int(ClockSync::WakeSettle.count()) + 3'000);
        QCOMPARE(t.setter.asked.size(), 2);
    }

    void okSavesCancelAndTheTitleBarOnlyCloseAndTheHistoryFolds()
    {
        Time t;
        t.show();
        const auto combo = [&t](const char *name) { return t.control<QComboBox>(name); };
        QVERIFY(t.control<QRadioButton>("option_Correct0")->isChecked());
        QVERIFY(!combo("combo_Time")->isEnabled() && !t.control<QPushButton>("c_CheckNow")->isEnabled() &&
                !t.control<QCheckBox>("check_DateAlso")->isEnabled());
        t.click("option_Correct1");
        QVERIFY(combo("combo_Time")->isEnabled() && t.control<QPushButton>("c_CheckNow")->isEnabled() &&
                t.control<QCheckBox>("check_DateAlso")->isEnabled());
        // From "week" to "48 h": the stored settings wait for Ok.
        QTest::keyClick(combo("combo_Time"), Qt::Key_Up);
        t.click("c_Cancel");
        QVERIFY(t.ghost.timeWindow()->isHidden());
        QCOMPARE(Settings().ClockPeriod, 5);
        QCOMPARE(storedSetting(u"ClockPeriod"_s), u"<missing>"_s);

        // Cancel kept what the user changed.
        t.show();
        QCOMPARE(combo("combo_Time")->currentText(), u"48 h"_s);
        t.click("check_DateAlso");
        QTest::keyClick(combo("combo_TimeServer"), Qt::Key_Down);
        QTest::keyClick(combo("combo_TimeServer"), Qt::Key_Down);
        t.click("option_TimeServer1");
        QVERIFY(t.control<QLineEdit>("text_CustomServer")->isEnabled() && !combo("combo_TimeServer")->isEnabled());
        QTest::keyClicks(t.control<QLineEdit>("text_CustomServer"), u"127.0.0.1"_s);
        QLineEdit *hours = combo("combo_HoursOff")->lineEdit();
        const auto typeHours = [hours](const QString &text) {
            hours->selectAll();
            QTest::keyClicks(hours, text);
        };
        typeHours(u"-3"_s);
        t.click("c_Ok");
        QVERIFY(t.ghost.timeWindow()->isHidden());
        QStringList saved;
        for (const char *key : {"ClockActive", "ClockPeriod", "ClockDateActive", "ClockTimeServer",
                                "UseCustomTimeserver", "CustomTimeserver", "HoursOff"})
            saved << storedSetting(QString::fromLatin1(key));
        QCOMPARE(saved, (QStringList{u"True"_s, u"4"_s, u"0"_s, u"2"_s, u"True"_s, u"127.0.0.1"_s, u"-3"_s}));
        // An offset out of range keeps the one saved before.
        t.show();
        typeHours(u"13"_s);
        QCOMPARE(hours->text(), u"13"_s);
        t.click("c_Ok");
        QCOMPARE(storedSetting(u"HoursOff"_s), u"-3"_s);

        // Read back from the file, as the next start would.
        ResetSettings();
        loadSettings();
        form_GhostTime again(t.lifecycle);
        again.trayActivated(platform::TrayClick::Left);
        form_Time &reloaded = *again.timeWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&reloaded));
        QVERIFY(control<QRadioButton>(reloaded, u"option_Correct1"_s)->isChecked());
        QVERIFY(control<QComboBox>(reloaded, u"combo_Time"_s)->isEnabled());
        QVERIFY(!control<QCheckBox>(reloaded, u"check_DateAlso"_s)->isChecked());
        QVERIFY(control<QRadioButton>(reloaded, u"option_TimeServer1"_s)->isChecked());
        QCOMPARE(control<QComboBox>(reloaded, u"combo_TimeServer"_s)->currentIndex(), 2);
        QCOMPARE(control<QComboBox>(reloaded, u"combo_HoursOff"_s)->currentText(), u"-3"_s);

        // The history is folded; leaving it unfolded folds it away for the next time.
        QGroupBox *history = control<QGroupBox>(reloaded, u"Frame1"_s);
        QVERIFY(history->isHidden());
        const int folded = reloaded.height();
        click(reloaded, u"c_Mera"_s);
        QVERIFY(history->isVisible() && reloaded.height() > folded);
        click(reloaded, u"c_Cancel"_s);
        reloaded.show();
        QVERIFY(history->isHidden());
        // The title bar's close is refused and the window hidden; the program's own close goes through.
        QVERIFY(QTest::qWaitForWindowExposed(&reloaded));
        QVERIFY(!QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(
            reloaded.windowHandle()));
        QVERIFY(reloaded.isHidden());
        reloaded.show();
        QVERIFY(reloaded.close());
        QVERIFY(reloaded.isHidden());
    }
};

QTEST_MAIN(tst_form_Time)
#include "tst_form_Time.moc"
