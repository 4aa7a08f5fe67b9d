// SPDX-License-Identifier: GPL-3.0-or-later
// The atomic time: the reader of DAYTIME replies, and the window against DAYTIME servers on loopback, a scripted one
// in this process with a recording clock setter, and, run by with_time_servers.sh as tst_TimeSync, inetd's DAYTIME in
// UTC and a mock timedated on a private "system bus" that logs every call it gets. The tests that need those skip
// elsewhere.
#include "TestEnvironment.h"
#include "clock/DaytimeReply.h"
#include "clock/form_Time.h"
#include "core/AutodialFlags.h"
#include "core/Settings.h"
#include "platform/IniStore.h"
#include "platform/SystemClock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimeZone>
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

// A DAYTIME server on loopback. Each connection gets the pieces with a pause between them and is then closed;
// without pieces it is accepted and never answered.
class DaytimeServer {
public:
    explicit DaytimeServer(QByteArrayList replyPieces = {"Tue Oct 12 14:05:09 1999\r\n"}) : pieces(replyPieces)
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++accepted;
                send(socket, 0);
            }
        });
    }
    quint16 port() const { return server.serverPort(); }

    QByteArrayList pieces;
    int accepted = 0;

private:
    void send(QTcpSocket *socket, int piece)
    {
        if (piece >= pieces.size())
            return;
        socket->write(pieces[piece]);
        if (piece + 1 < pieces.size())
            QTimer::singleShot(300, socket, [this, socket, piece] { send(socket, piece + 1); });
        else
            socket->disconnectFromHost();
    }
    QTcpServer server;
};

const QDateTime FirstStart({1990, 1, 1}, {0, 0});

// Stands in for timedated: records each time asked for and answers a turn of the event loop later, with success
// or the failure set. A held answer waits until the test releases it.
class RecordingSetter : public platform::SystemClockSetter {
public:
    RecordingSetter() { platform::installSystemClockSetter(this); }
    ~RecordingSetter() override { platform::installSystemClockSetter(nullptr); }
    void setTime(const QDateTime &moment, bool, const Done &done) override
    {
        asked.append(moment);
        if (hold)
            held.append(done);
        else
            QTimer::singleShot(0, [done, failure = failure] { done(failure); });
    }
    QList<QDateTime> asked;
    std::optional<QString> failure;
    bool hold = false;
    QList<Done> held;
};

// A SetTime call as the mock timedated logged it.
struct SetTimeCall {
    bool logged = false;
    qint64 usec = 0;
    bool relative = true;
    bool interactive = false;
};

QList<SetTimeCall> setTimeCalls()
{
    QFile log(qEnvironmentVariable("TARNIBE_TIMEDATED_LOG"));
    static const QRegularExpression call(u"^\\d+\\.\\d{3} SetTime (-?\\d+) (True|False) (True|False)$"_s,
                                         QRegularExpression::MultilineOption);
    QList<SetTimeCall> calls;
    for (const QRegularExpressionMatch &m :
         call.globalMatch(log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString()))
        calls.append({true, m.captured(1).toLongLong(), m.captured(2) == u"True", m.captured(3) == u"True"});
    return calls;
}

// A test's environment, the recording setter and a DAYTIME server on loopback, and the window.
struct Time {
    explicit Time(const QByteArrayList &reply = {"Tue Oct 12 14:05:09 1999\r\n"}) : server(reply) {}
    // Loads the window as set to synchronise against the server.
    void load()
    {
        Settings().ClockActive = true;
        Settings().UseCustomTimeserver = true;
        Settings().CustomTimeserver = u"127.0.0.1"_s;
        form.Form_Load();
        form.remotePort = server.port();
    }
    int attempts() const
    {
        return int(env.logLines().filter(QRegularExpression(u"^\"Trying to sync\\.\\.\\.\""_s)).size());
    }
    // The scheduler's minute, a period after the last.
    void nextPeriod()
    {
        env.clock.advanceMinutes(144 * 60);
        form.timer_CheckSync_Timer();
    }
    // One "sync now..", the way the user starts it, with the real time as the present; once its box has been shown,
    // the call the mock timedated logged for it, if any.
    SetTimeCall syncNow()
    {
        const qsizetype boxes = env.messages.shown().size(), calls = setTimeCalls().size();
        env.messages.expect(MsgAnswer::Ok);
        env.clock.set(QDateTime::currentDateTime());
        form.c_CheckNow_Click();
        if (!QTest::qWaitFor([&] { return env.messages.shown().size() > boxes; }, 10'000))
            return {};
        const QList<SetTimeCall> after = setTimeCalls();
        return after.size() == calls + 1 ? after.constLast() : SetTimeCall{};
    }

    TestEnvironment env;
    RecordingSetter setter;
    DaytimeServer server;
    form_Time form;
};

} // namespace

class tst_form_Time : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The reader of DAYTIME replies, with 2026-12-06 for today.
    void clockTime_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("hoursOff");
        QTest::addColumn<bool>("withDate");
        QTest::addColumn<QDateTime>("expected"); // invalid: the reply gives no time to set

        QFile rows(QFINDTESTDATA("daytime_replies.txt"));
        QVERIFY(rows.open(QIODevice::ReadOnly));
        for (const QString &line : QString::fromUtf8(rows.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList field = line.split(u" | "_s);
            if (line.startsWith(u'#'))
                continue;
            QVERIFY2(field.size() == 5, qPrintable(line));
            QTest::newRow(qPrintable(field[0]))
                << QString(field[1]).replace(u"\\r"_s, u"\r"_s).replace(u"\\n"_s, u"\n"_s) << field[2].toInt()
                << (field[3] == u"date") << QDateTime::fromString(field[4], Qt::ISODate);
        }
    }

    void clockTime()
    {
        QFETCH(QString, reply);
        QFETCH(int, hoursOff);
        QFETCH(bool, withDate);
        QFETCH(QDateTime, expected);

        const std::optional<NewClockTime> result = ClockTimeFromReply(reply, hoursOff, withDate, QDate(2026, 12, 6));
        QCOMPARE(result.has_value(), expected.isValid());
        if (!result)
            return;
        QCOMPARE(result->moment, expected);
        QCOMPARE(result->moment.timeSpec(), Qt::LocalTime);
        QCOMPARE(result->timeText, expected.time().toString(u"HH:mm:ss"_s));
        QCOMPARE(result->dateFromReply, withDate);
    }

    void syncNowReadsTheWholeReplyAndSetsTheClock()
    {
        // Cut inside the seconds: a reply read before its line end would give no time, or no date.
        Time t({"Tue Oct 12 14:05:0", "9 1999\r\n"});
        Settings().HoursOff = 1;
        t.load();
        t.env.messages.expect(MsgAnswer::Ok);
        t.form.c_CheckNow_Click();
        QVERIFY(AutodialFlags().ClockSyncActive && AutodialFlags().AutodialDisabled);
        QTRY_COMPARE(t.form.label_Success->text(), u"worked ok..."_s);
        QCOMPARE(t.setter.asked, QList<QDateTime>{QDateTime({1999, 10, 12}, {15, 5, 10})});
        // Autodial stays off a little after the outcome, for the connection to close.
        QVERIFY(t.form.timer_DisableAutoDial.isActive() && AutodialFlags().AutodialDisabled);
        t.form.timer_DisableAutoDial_Timer();
        QVERIFY(!AutodialFlags().ClockSyncActive && !AutodialFlags().AutodialDisabled);

        // The scheduler's attempts report nothing. A server that closes without a line end has still given its
        // reply; without the date, the day is today's.
        t.server.pieces = {"Tue Oct 12 14:05:09 1999"};
        t.form.check_DateAlso->setChecked(false);
        t.form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_COMPARE(t.setter.asked.size(), 2);
        QCOMPARE(t.setter.asked[1], QDateTime({2026, 12, 6}, {15, 5, 10}));
        QTRY_VERIFY(t.form.timer_DisableAutoDial.isActive());
        QCOMPARE(t.env.messages.shown().size(), 1);

        // NIST's reply starts with a line feed of its own, so its first line end is not yet the reply's end.
        t.server.pieces = {"\n61015 25-12-06 12:3", "4:56 00 0 0 123.4 UTC(NIST) * \n"};
        t.form.check_DateAlso->setChecked(true);
        t.form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_COMPARE(t.setter.asked.size(), 3);
        QCOMPARE(t.setter.asked[2], QDateTime({2025, 12, 6}, {12, 34, 57}));

        // One attempt sets the clock once, even when the server says more while the system is still answering.
        t.server.pieces = {"Tue Oct 12 14:05:09 1999\r\n", "Tue Oct 12 14:05:10 1999\r\n"};
        t.setter.hold = true;
        t.form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_COMPARE(t.setter.asked.size(), 4);
        QTRY_COMPARE(t.form.Winsock1.state(), QAbstractSocket::UnconnectedState); // the server has said all
        QCOMPARE(t.setter.asked.size(), 4);
    }

    void failuresAreCountedAndExplained()
    {
        Time t(QByteArrayList{}); // accepts and never answers
        t.load();
        // Shortened from the real ten seconds so that the timer itself ends the attempt.
        t.form.timer_TimeOut.setInterval(200);
        t.form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_COMPARE(t.form.label_Error->text(), u"Error: 1  Timeout"_s);
        QCOMPARE(t.server.accepted, 1);
        QCOMPARE(t.form.label_Success->text(), u"did not work..."_s);
        QCOMPARE(t.form.label_NbrOfErrors->text(), u"1"_s);
        QVERIFY(!t.form.c_Error->isHidden());
        t.env.messages.expect(MsgAnswer::Ok);
        t.form.c_Error->click();
        QCOMPARE(t.env.messages.shown().constLast().text, u"Error: 1  Timeout"_s);

        // No host at all times out alike; asked from the button, the box says what to try.
        t.form.text_CustomServer->clear();
        t.env.messages.expect(MsgAnswer::Ok);
        t.form.c_CheckNow_Click();
        QTRY_COMPARE(t.form.label_NbrOfErrors->text(), u"2"_s);
        QCOMPARE(t.form.label_Error->text(), u"Error: 1  Timeout"_s);
        QVERIFY(t.env.messages.shown().constLast().text.startsWith(u"Could not contact a timeserver:\n\r\n\r"_s));

        DaytimeServer garbled({"no colon here\r\n"});
        const std::pair<quint16, QString> failures[] = {
            {DaytimeServer().port(), u"Error: 10061  Connection refused"_s}, // closed again at once
            {garbled.port(), u"Error: 2  Unreadable reply"_s}};
        for (const auto &[port, error] : failures) {
            const QString before = t.form.label_NbrOfErrors->text();
            t.form.remotePort = port;
            t.form.GetInternetTime(u"127.0.0.1"_s);
            QTRY_COMPARE(t.form.label_NbrOfErrors->text(), QString::number(before.toInt() + 1));
            QCOMPARE(t.form.label_Error->text(), error);
        }
        QVERIFY(t.setter.asked.isEmpty());

        // An answer to an attempt that a newer one has replaced changes nothing; the newer one's answer counts,
        // and a success does not clear the count of failures.
        DaytimeServer good;
        t.form.remotePort = good.port();
        t.setter.hold = true;
        t.form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_COMPARE(t.setter.held.size(), 1);
        t.form.GetInternetTime(u"127.0.0.1"_s);
        QTRY_COMPARE(t.setter.held.size(), 2);
        t.setter.held[0](std::nullopt);
        QCOMPARE(t.form.label_Success->text(), u"did not work..."_s);
        QCOMPARE(Settings().ClockLastSyncTime, FirstStart);
        t.setter.held[1](std::nullopt);
        QCOMPARE(t.form.label_Success->text(), u"worked ok..."_s);
        QCOMPARE(Settings().ClockLastSyncTime, t.env.clock.now());
        QCOMPARE(t.form.label_NbrOfErrors->text(), u"4"_s);
        QVERIFY(t.form.c_Error->isHidden());
    }

    void schedulerSyncsOncePerPeriodAndWaitsWhenTheSystemRefuses()
    {
        Time t;
        t.load();
        // Never synchronised: the first tick does.
        t.form.timer_CheckSync_Timer();
        QCOMPARE(t.attempts(), 1);
        QTRY_COMPARE(Settings().ClockLastSyncTime, t.env.clock.now());
        t.env.clock.advanceMinutes(143 * 60 + 59);
        t.form.timer_CheckSync_Timer();
        QCOMPARE(t.attempts(), 1);
        t.env.clock.advanceMinutes(1);
        t.form.timer_CheckSync_Timer();
        QCOMPARE(t.attempts(), 2);
        QTRY_COMPARE(Settings().ClockLastSyncTime, t.env.clock.now());

        // Eleven failures switch the scheduler off, once it is due again.
        t.form.label_NbrOfErrors->setText(u"11"_s);
        t.form.timer_CheckSync.start();
        t.nextPeriod();
        QVERIFY(!t.form.timer_CheckSync.isActive());
        QCOMPARE(t.form.label_NbrOfErrors->text(), u"0"_s);
        QVERIFY(t.env.logLines().constLast().startsWith(u"\"Timer disabled\""_s));
        QCOMPARE(t.attempts(), 2);

        // "No" greys out what belongs to synchronising; the scheduler goes by the saved choice, so "No" counts once
        // it is confirmed, and "Yes" then Cancel starts nothing.
        t.form.timer_CheckSync.start();
        t.form.show();
        t.form.option_Correct[0]->click();
        QVERIFY(!t.form.combo_Time->isEnabled() && !t.form.c_CheckNow->isEnabled() &&
                !t.form.check_DateAlso->isEnabled());
        t.form.c_Ok_Click();
        t.nextPeriod();
        QCOMPARE(t.attempts(), 2);
        t.form.show();
        t.form.option_Correct[1]->click();
        QVERIFY(t.form.combo_Time->isEnabled() && t.form.c_CheckNow->isEnabled() && t.form.check_DateAlso->isEnabled());
        t.form.c_Cancel->click();
        t.form.timer_CheckSync_Timer();
        QCOMPARE(t.attempts(), 2);

        // Saved again: while the attempt waits for the system no tick starts another, however long it takes.
        t.form.show();
        t.form.option_Correct[1]->click();
        t.form.c_Ok_Click();
        t.setter.hold = true;
        t.form.timer_CheckSync_Timer();
        QTRY_COMPARE(t.setter.held.size(), 1);
        for (int tick = 0; tick < 3; ++tick)
            t.nextPeriod();
        QCOMPARE(t.attempts(), 3);
        QCOMPARE(t.setter.asked.size(), 3);
        t.setter.held.takeFirst()(std::nullopt);
        QCOMPARE(t.form.label_Success->text(), u"worked ok..."_s);
        QVERIFY(!t.form.attemptRunning());

        // A schedule the system refuses is said once and waits, counting no failures.
        t.setter.hold = false;
        t.setter.failure = u"Not allowed to set the clock: Automatic time synchronization is enabled"_s;
        t.nextPeriod();
        QTRY_COMPARE(t.form.label_Success->text(), u"did not work..."_s);
        for (int period = 0; period < 12; ++period)
            t.nextPeriod();
        QCOMPARE(t.attempts(), 4);
        QCOMPARE(t.form.label_NbrOfErrors->text(), u"0"_s);
        QCOMPARE(t.env.logLines().filter(u"Scheduled syncs wait: "_s).size(), 1);
        // The user's own sync (which may ask for a password) works: the schedule goes on.
        t.setter.failure.reset();
        t.env.messages.expect(MsgAnswer::Ok);
        t.form.c_CheckNow_Click();
        QTRY_COMPARE(t.form.label_Success->text(), u"worked ok..."_s);
        t.nextPeriod();
        QCOMPARE(t.attempts(), 6);
    }

    // Ok saves, Cancel and the title bar only close, the history folds, an hour field that is no offset is ignored.
    void okSavesCancelAndTheTitleBarOnlyCloseAndTheHistoryFolds()
    {
        Time t;
        form_Time &form = t.form;
        form.Form_Load();
        QVERIFY(form.option_Correct[0]->isChecked());
        form.combo_Time->setCurrentIndex(1);
        Q_EMIT form.combo_Time->activated(1);
        QCOMPARE(form.SyncPeriodHours, 6);
        form.c_Cancel->click();
        // The scheduler follows the choice at once; only the stored settings wait for Ok.
        QCOMPARE(form.SyncPeriodHours, 6);
        QCOMPARE(Settings().ClockPeriod, 5);
        QCOMPARE(storedSetting(u"ClockPeriod"_s), u"<missing>"_s);

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
        QStringList saved;
        for (const char *key : {"ClockActive", "ClockPeriod", "ClockDateActive", "ClockTimeServer",
                                "UseCustomTimeserver", "CustomTimeserver", "HoursOff"})
            saved << storedSetting(QString::fromLatin1(key));
        QCOMPARE(saved, (QStringList{u"True"_s, u"1"_s, u"0"_s, u"2"_s, u"True"_s, u"127.0.0.1"_s, u"-3"_s}));
        // An offset out of range keeps the one saved before.
        form.combo_HoursOff->setCurrentText(u"13"_s);
        form.c_Ok->click();
        QCOMPARE(storedSetting(u"HoursOff"_s), u"-3"_s);
        const std::pair<QString, std::optional<int>> offsets[] = {
            {QString(), 0},           {u"  "_s, 0},           {u"5"_s, 5},
            {u"+12"_s, 12},           {u"-12"_s, -12},        {u"13"_s, std::nullopt},
            {u"-13"_s, std::nullopt}, {u"x"_s, std::nullopt}, {u"1.5"_s, std::nullopt}};
        for (const auto &[text, hours] : offsets)
            QCOMPARE(HoursOffset(text), hours);

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

        // The history is folded; leaving it unfolded folds it away for the next time.
        reloaded.show();
        QVERIFY(QTest::qWaitForWindowExposed(&reloaded));
        QVERIFY(reloaded.Frame1->isHidden());
        const int folded = reloaded.height();
        reloaded.c_Mera->click();
        QVERIFY(reloaded.Frame1->isVisible() && reloaded.height() > folded);
        reloaded.c_Cancel->click();
        reloaded.show();
        QVERIFY(reloaded.Frame1->isHidden());
        // The title bar's close is refused and the window hidden; the program's own close goes through.
        QVERIFY(QTest::qWaitForWindowExposed(&reloaded));
        QVERIFY(!QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(
            reloaded.windowHandle()));
        QVERIFY(reloaded.isHidden());
        reloaded.show();
        QVERIFY(reloaded.close());
        QVERIFY(reloaded.isHidden());
    }

    // Against inetd and the mock timedated: a refusal is a failed attempt; a scheduled sync may not ask for a
    // password; the user's own may, and is told the new time. NIST's servers state UTC: whatever the desktop's time
    // zone and the hour field, timedated is given the instant of the reply, and the box shows it in local time.
    void syncsSetTheClockThroughTimedated()
    {
        // Never against the real system bus: a real timedated would set this machine's clock.
        if (qEnvironmentVariableIsEmpty("TARNIBE_TIMEDATED_LOG") ||
            qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS"))
            QSKIP("needs the servers that with_time_servers.sh starts");
        QCOMPARE(qgetenv("TZ"), QByteArray("UTC"));
        Time t;
        platform::installSystemClockSetter(nullptr); // the real one, through D-Bus
        Settings().ClockDateActive = 0;
        t.load();
        const auto replaceSetTime = [](const QString &code) {
            QDBusMessage add =
                QDBusMessage::createMethodCall(u"org.freedesktop.timedate1"_s, u"/org/freedesktop/timedate1"_s,
                                               u"org.freedesktop.DBus.Mock"_s, u"AddMethod"_s);
            add << u"org.freedesktop.timedate1"_s << u"SetTime"_s << u"xbb"_s << QString() << code;
            return QDBusConnection::systemBus().call(add);
        };
        const QDBusMessage added =
            replaceSetTime(u"raise dbus.exceptions.DBusException('Automatic time synchronization is enabled', "
                           "name='org.freedesktop.timedate1.AutomaticTimeSyncEnabled')"_s);
        QVERIFY2(added.type() == QDBusMessage::ReplyMessage, qPrintable(added.errorMessage()));
        const SetTimeCall refused = t.syncNow();
        replaceSetTime(QString());
        QVERIFY(refused.logged);
        QCOMPARE(t.form.label_Success->text(), u"did not work..."_s);
        QCOMPARE(t.form.label_NbrOfErrors->text(), u"1"_s);
        QCOMPARE(t.env.messages.shown().constLast().text,
                 u"The time server answered, but the clock could not be set:\n\r\n\r"
                 "Automatic time synchronization is enabled"_s);
        QCOMPARE(storedSetting(u"ClockLastSyncTime"_s), u"<missing>"_s);

        t.form.remotePort = quint16(qEnvironmentVariableIntValue("TARNIBE_DAYTIME_PORT"));
        t.env.clock.set(QDateTime::currentDateTime());
        t.form.timer_CheckSync_Timer(); // never synchronised: due at once
        QTRY_COMPARE(setTimeCalls().size(), 2);
        QVERIFY(!setTimeCalls().constLast().interactive);
        QTRY_COMPARE(t.form.label_Success->text(), u"worked ok..."_s);

        const QDateTime clicked = QDateTime::currentDateTimeUtc();
        const SetTimeCall call = t.syncNow();
        QCOMPARE(t.form.label_Success->text(), u"worked ok..."_s);
        QVERIFY(call.logged && call.interactive && !call.relative);
        QCOMPARE(call.usec % 1'000'000, 0);
        // Without the date, today keeps the time of day the server gave; a second on for the way, and one or two
        // for a reply from the second before or after the click and the round trip.
        const QDateTime expected(t.env.clock.now().date(), clicked.addSecs(1).time(), QTimeZone::utc());
        QVERIFY2(std::abs(call.usec / 1'000'000 - expected.toSecsSinceEpoch()) <= 2,
                 qPrintable(QString::number(call.usec)));
        const QString newTime =
            QDateTime::fromMSecsSinceEpoch(call.usec / 1000, QTimeZone::utc()).toString(u"HH:mm:ss"_s);
        QCOMPARE(t.env.messages.shown().constLast().text, u"New time : "_s + newTime);
        QCOMPARE(storedSetting(u"ClockLastSyncTime"_s), t.env.clock.now().toString(u"yyyy-MM-dd HH:mm:ss"_s));

        t.form.remotePort = t.server.port();
        t.form.check_DateAlso->setChecked(true);
        t.form.combo_HoursOff->setCurrentText(u"2"_s);
        const QByteArray winter = "\n61015 25-12-06 12:34:56 00 0 0 123.4 UTC(NIST) * \n";
        const QByteArray summer = "\n61197 26-06-06 12:00:00 50 0 0 0.0 UTC(NIST) * \n";
        const QDateTime winterInstant({2025, 12, 6}, {12, 34, 57},
                                      QTimeZone::utc()); // one second on, for the way to here
        const QDateTime summerInstant({2026, 6, 6}, {12, 0, 1}, QTimeZone::utc());
        const std::tuple<const char *, QByteArray, QDateTime, const char *> zones[] = {
            {"Europe/Berlin", winter, winterInstant, "13:34:57"},
            {"Europe/Berlin", summer, summerInstant, "14:00:01"},
            {"America/New_York", winter, winterInstant, "07:34:57"},
            {"Asia/Kolkata", winter, winterInstant, "18:04:57"}};
        for (const auto &[tz, reply, instant, shown] : zones) {
            qputenv("TZ", tz);
            tzset();
            t.server.pieces = {reply};
            const SetTimeCall call = t.syncNow();
            QVERIFY2(call.logged, tz);
            QCOMPARE(call.usec, instant.toMSecsSinceEpoch() * 1000);
            QCOMPARE(t.env.messages.shown().constLast().text, u"New time : "_s + QString::fromLatin1(shown));
        }
        qputenv("TZ", "UTC");
        tzset();
    }
};

QTEST_MAIN(tst_form_Time)
#include "tst_form_Time.moc"
