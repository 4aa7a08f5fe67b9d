// SPDX-License-Identifier: GPL-3.0-or-later
// The clock sync without a window: the reader of DAYTIME replies, and attempts and the schedule against DAYTIME
// servers on loopback, a scripted one in this process with a recording clock setter, and, run by
// with_time_servers.sh as tst_TimeSync, inetd's DAYTIME in UTC and a mock timedated on a private "system bus" that
// logs every call it gets. The test that needs those skips elsewhere.
#include "TestEnvironment.h"
#include "TimeStandIns.h"
#include "clock/ClockSync.h"
#include "clock/DaytimeSource.h"
#include "clock/TimeServerAddress.h"
#include "core/Settings.h"
#include "platform/SystemClock.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>
#include <ctime>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QDateTime FirstStart({1990, 1, 1}, {0, 0});

// What an attempt came to, as the sync reported it.
struct Outcome {
    QString timeText; // empty for a failure
    SyncFailure failure;
    bool reported = false;
};

// A test's environment, a DAYTIME server on loopback and the sync, set to ask it.
struct Sync {
    explicit Sync(platform::SystemClockSetter &clockSetter,
                  const QByteArrayList &reply = {"Tue Oct 12 14:05:09 1999\r\n"})
        : server(reply), sync(Settings(), clockSetter)
    {
        askOn(server.port());
        QObject::connect(&sync, &ClockSync::clockSet, &sync, [this](const QString &timeText, bool reported) {
            outcomes.append({timeText, {}, reported});
        });
        QObject::connect(&sync, &ClockSync::failed, &sync, [this](const SyncFailure &failure, bool reported) {
            outcomes.append({{}, failure, reported});
        });
        QObject::connect(&sync, &ClockSync::replied, &sync,
                         [this](const QByteArray &answer) { replies.append(answer); });
    }
    void askOn(quint16 port)
    {
        auto source = std::make_unique<DaytimeSource>(port);
        connection = source->findChild<QTcpSocket *>();
        sync.setSource(std::move(source));
    }
    // The saved choice: synchronise against the server, the date too.
    void schedule()
    {
        Settings().ClockActive = true;
        Settings().UseCustomTimeserver = true;
        Settings().CustomTimeserver = u"127.0.0.1"_s;
    }
    void ask(const QString &hoursOff = u"0"_s, bool withDate = true)
    {
        sync.start({u"127.0.0.1"_s, hoursOff, withDate}, false);
    }
    int attempts() const
    {
        return int(env.logLines().filter(QRegularExpression(u"^\"Trying to sync\\.\\.\\.\""_s)).size());
    }
    // The schedule's look, `minutes` (a period) after the last; the attempts made so far.
    int lookAfter(int minutes = 144 * 60)
    {
        env.clock.advanceMinutes(minutes);
        sync.checkSchedule();
        return attempts();
    }

    TestEnvironment env;
    DaytimeServer server;
    ClockSync sync;
    QTcpSocket *connection = nullptr;
    QList<Outcome> outcomes;
    QByteArrayList replies;
};

// A SetTime call as the mock timedated logged it.
struct SetTimeCall {
    bool logged = false;
    qint64 usec = 0;
    bool relative = true;
    bool interactive = false;
};

QString timedatedLog()
{
    QFile log(qEnvironmentVariable("TARNIBE_TIMEDATED_LOG"));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

QDBusMessage callTimedated(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.timedate1"_s, u"/org/freedesktop/timedate1"_s,
                                                       u"org.freedesktop.timedate1"_s, method);
    call.setArguments(arguments);
    return QDBusConnection::systemBus().call(call);
}

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

} // namespace

class tst_ClockSync : public QObject {
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

    void hourOffsets()
    {
        const std::pair<QString, std::optional<int>> offsets[] = {
            {QString(), 0},           {u"  "_s, 0},           {u"5"_s, 5},
            {u"+12"_s, 12},           {u"-12"_s, -12},        {u"13"_s, std::nullopt},
            {u"-13"_s, std::nullopt}, {u"x"_s, std::nullopt}, {u"1.5"_s, std::nullopt}};
        for (const auto &[text, hours] : offsets)
            QCOMPARE(HoursOffset(text), hours);
    }

    // The custom server names its protocol and port, or is a plain host asked for DAYTIME on its port as always.
    void serverAddresses()
    {
        const std::pair<QString, QString> rows[] = {{u" time.nist.gov "_s, u"daytime time.nist.gov 0"_s},
                                                    {u"NTP://127.0.0.1:1123/"_s, u"ntp 127.0.0.1 1123"_s},
                                                    {u"ntp://[::1]"_s, u"ntp ::1 0"_s},
                                                    {u"daytime://h:1313"_s, u"daytime h 1313"_s},
                                                    {u"ntp://"_s, QString()},
                                                    {u"ntp://h:65536"_s, QString()},
                                                    {u"ntp://h:0"_s, QString()},
                                                    {u"ntp://h/path"_s, QString()},
                                                    {u"http://h"_s, QString()}};
        for (const auto &[text, expected] : rows) {
            const std::optional<TimeServerAddress> a = parseTimeServer(text);
            const QString protocol = a && a->protocol == TimeServerAddress::Protocol::Ntp ? u"ntp"_s : u"daytime"_s;
            QCOMPARE(a ? u"%1 %2 %3"_s.arg(protocol, a->host).arg(a->port) : QString(), expected);
        }
        // The window shows the protocol beside the host; what it saves reads back as the same server.
        const std::tuple<TimeServerAddress::Protocol, QString, QString> typed[] = {
            {TimeServerAddress::Protocol::Daytime, u"time.nist.gov"_s, u"time.nist.gov"_s},
            {TimeServerAddress::Protocol::Daytime, u"h:1313"_s, u"daytime://h:1313"_s},
            {TimeServerAddress::Protocol::Daytime, u"::1"_s, u"::1"_s},
            {TimeServerAddress::Protocol::Ntp, u"::1"_s, u"ntp://[::1]"_s},
            {TimeServerAddress::Protocol::Ntp, u"127.0.0.1:1123"_s, u"ntp://127.0.0.1:1123"_s}};
        for (const auto &[protocol, host, saved] : typed) {
            QCOMPARE(joinProtocol(protocol, host), saved);
            QVERIFY(parseTimeServer(saved));
            QCOMPARE(splitProtocol(saved).first, protocol);
            QCOMPARE(joinProtocol(protocol, splitProtocol(saved).second), saved);
        }

        // The address picks the source and the port; one that is no address fails at once, asking nothing.
        RecordingSetter setter;
        Sync t(setter);
        DaytimeServer other({"Tue Oct 12 10:00:00 1999\r\n"});
        t.sync.setSource(std::make_unique<DaytimeSource>(other.port()), TimeServerAddress::Protocol::Ntp);
        const std::pair<QString, int> asked[] = {
            {u"daytime://127.0.0.1:%1"_s.arg(other.port()), 10}, {u"127.0.0.1"_s, 14}, {u"ntp://127.0.0.1"_s, 10}};
        for (const auto &[server, hour] : asked) {
            const qsizetype before = t.outcomes.size();
            t.sync.start({server, u"0"_s, false}, false);
            QTRY_COMPARE(t.outcomes.size(), before + 1);
            QCOMPARE(setter.asked.constLast().time().hour(), hour);
        }
        t.sync.start({u"http://127.0.0.1"_s, u"0"_s, false}, false);
        QCOMPARE(t.outcomes.constLast().failure.socketError, QAbstractSocket::HostNotFoundError);
        QCOMPARE(t.server.accepted + other.accepted, 3);
    }

    void anAttemptReadsTheWholeReplyAndSetsTheClockOnce()
    {
        // Cut inside the seconds: a reply read before its line end would give no time, or no date.
        RecordingSetter setter;
        Sync t(setter, {"Tue Oct 12 14:05:0", "9 1999\r\n"});
        t.ask(u"1"_s);
        QTRY_COMPARE(t.outcomes.size(), 1);
        QCOMPARE(t.outcomes[0].timeText, u"15:05:10"_s);
        QVERIFY(!t.outcomes[0].reported);
        QCOMPARE(t.replies, QByteArrayList{"Tue Oct 12 14:05:09 1999\r\n"});
        QCOMPARE(setter.asked, QList<QDateTime>{QDateTime({1999, 10, 12}, {15, 5, 10})});
        QCOMPARE(t.env.logLines().filter(u"\"sync success.....\""_s).size(), 1);
        // The network is given back a while after the outcome, for the connection to close.
        QSignalSpy released(&t.sync, &ClockSync::networkReleased);
        QVERIFY(released.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(released.size(), 1, 10'000);

        // A server that closes without a line end has still given its reply; without the date, the day is today's.
        t.server.pieces = {"Tue Oct 12 14:05:09 1999"};
        t.ask(u"1"_s, false);
        QTRY_COMPARE(setter.asked.size(), 2);
        QCOMPARE(setter.asked[1], QDateTime({2026, 12, 6}, {15, 5, 10}));
        // Each attempt ends with the system's answer, which comes a moment after it was asked: the next starts after.
        QTRY_COMPARE(t.outcomes.size(), 2);

        // NIST's reply starts with a line feed of its own, so its first line end is not yet the reply's end.
        t.server.pieces = {"\n61015 25-12-06 12:3", "4:56 00 0 0 123.4 UTC(NIST) * \n"};
        t.ask();
        QTRY_COMPARE(setter.asked.size(), 3);
        QCOMPARE(setter.asked[2], QDateTime({2025, 12, 6}, {12, 34, 57}));
        QTRY_COMPARE(t.outcomes.size(), 3);

        // One attempt sets the clock once, even when the server says more while the system is still answering.
        t.server.pieces = {"Tue Oct 12 14:05:09 1999\r\n", "Tue Oct 12 14:05:10 1999\r\n"};
        setter.hold = true;
        t.ask();
        QTRY_COMPARE(setter.asked.size(), 4);
        QTRY_COMPARE(t.connection->state(), QAbstractSocket::UnconnectedState); // the server has said all
        QCOMPARE(setter.asked.size(), 4);
        QCOMPARE(t.replies.size(), 4);
        setter.held.takeFirst()(std::nullopt);
        QCOMPARE(t.outcomes.size(), 4);
        QCOMPARE(t.attempts(), 4);
    }

    void failuresAreCountedAndTold()
    {
        RecordingSetter setter;
        Sync t(setter, QByteArrayList{}); // accepts and never answers
        // Shortened from the real ten seconds so that the timer itself ends the attempt.
        t.sync.setReplyTimeout(200ms);
        t.ask();
        QTRY_COMPARE(t.outcomes.size(), 1);
        QCOMPARE(t.server.accepted, 1);
        QCOMPARE(t.outcomes[0].failure.kind, SyncFailure::Timeout);
        QCOMPARE(t.outcomes[0].failure.description, u"Timeout"_s);
        QCOMPARE(t.sync.errorCount(), 1);

        // No host at all times out alike; the user's attempt is reported.
        t.sync.syncNow({QString(), u"0"_s, true});
        QTRY_COMPARE(t.outcomes.size(), 2);
        QCOMPARE(t.outcomes[1].failure.kind, SyncFailure::Timeout);
        QVERIFY(t.outcomes[1].reported);
        QCOMPARE(t.server.accepted, 1);

        // The socket's own errors stay the socket's; a reply with no time, or an hour field that is no offset, are
        // the sync's.
        DaytimeServer garbled({"no colon here\r\n"}), good;
        const std::tuple<quint16, QString, SyncFailure::Kind, QAbstractSocket::SocketError> failures[] = {
            {DaytimeServer().port(), u"0"_s, SyncFailure::Socket, QAbstractSocket::ConnectionRefusedError}, // closed
            {garbled.port(), u"0"_s, SyncFailure::UnreadableReply, QAbstractSocket::UnknownSocketError},
            {good.port(), u"13"_s, SyncFailure::BadOffset, QAbstractSocket::UnknownSocketError}};
        for (const auto &[port, hoursOff, kind, socketError] : failures) {
            const qsizetype before = t.outcomes.size();
            t.askOn(port);
            t.ask(hoursOff);
            QTRY_COMPARE(t.outcomes.size(), before + 1);
            QCOMPARE(t.outcomes.constLast().failure.kind, kind);
            QCOMPARE(t.outcomes.constLast().failure.socketError, socketError);
        }
        QCOMPARE(t.sync.errorCount(), 5);
        QVERIFY(setter.asked.isEmpty());
        QVERIFY(t.env.logLines().filter(u"\"sync success.....\""_s).isEmpty());
        QCOMPARE(t.env.logLines()
                     .filter(u"\"err_Time_Winsock1_DataArrival 13 Type mismatch EXTRA: no colon here\""_s)
                     .size(),
                 1);

        // An answer to an attempt that a newer one has replaced changes nothing; the newer one's answer counts,
        // and a success does not clear the count of failures.
        t.askOn(good.port());
        setter.hold = true;
        t.ask();
        QTRY_COMPARE(setter.held.size(), 1);
        t.ask();
        QTRY_COMPARE(setter.held.size(), 2);
        const qsizetype before = t.outcomes.size();
        setter.held[0](std::nullopt);
        QCOMPARE(t.outcomes.size(), before);
        QCOMPARE(Settings().ClockLastSyncTime, FirstStart);
        setter.held[1](std::nullopt);
        QCOMPARE(t.outcomes.size(), before + 1);
        QCOMPARE(t.outcomes.constLast().timeText, u"14:05:10"_s);
        QCOMPARE(Settings().ClockLastSyncTime, t.env.clock.now());
        QCOMPARE(t.sync.errorCount(), 5);
    }

    // An attempt ended from outside reports nothing, leaves the sync free for the next and gives the network back.
    void anAbortedAttemptEndsQuietly()
    {
        RecordingSetter setter;
        setter.hold = true;
        Sync t(setter);
        QSignalSpy released(&t.sync, &ClockSync::networkReleased);
        t.ask();
        QTRY_COMPARE(setter.held.size(), 1);
        t.sync.abort();
        QVERIFY(!t.sync.attemptRunning());
        setter.held[0](u"too late"_s);
        QVERIFY(t.outcomes.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(released.size(), 1, 10'000);
        t.ask();
        QTRY_COMPARE(setter.held.size(), 2);
    }

    // timedated may answer after the program has let the sync go, at its end: the answer touches nothing.
    void anAnswerAfterTheSyncHasGoneChangesNothing()
    {
        RecordingSetter setter;
        setter.hold = true;
        auto t = std::make_unique<Sync>(setter);
        t->ask();
        QTRY_COMPARE(setter.held.size(), 1);
        t.reset();
        setter.held[0](std::nullopt);
    }

    void theScheduleSyncsOncePerPeriodAndWaitsWhenTheSystemRefuses()
    {
        RecordingSetter setter;
        Sync t(setter);
        t.schedule();
        QSignalSpy stopped(&t.sync, &ClockSync::scheduleStopped);
        // Never synchronised: the first look does.
        QCOMPARE(t.lookAfter(0), 1);
        QTRY_COMPARE(Settings().ClockLastSyncTime, t.env.clock.now());
        QCOMPARE(t.lookAfter(143 * 60 + 59), 1);
        QCOMPARE(t.lookAfter(1), 2);
        QTRY_COMPARE(Settings().ClockLastSyncTime, t.env.clock.now());
        // It goes by the saved choice.
        Settings().ClockActive = false;
        QCOMPARE(t.lookAfter(), 2);
        Settings().ClockActive = true;

        // While the attempt waits for the system no look starts another, however long it takes; the user's "sync
        // now" meanwhile has the attempt under way tell its outcome.
        setter.hold = true;
        t.lookAfter();
        QTRY_COMPARE(setter.held.size(), 1);
        for (int look = 0; look < 3; ++look)
            t.lookAfter();
        t.sync.syncNow({u"127.0.0.1"_s, u"0"_s, true});
        QCOMPARE(t.attempts(), 3);
        setter.held.takeFirst()(std::nullopt);
        QCOMPARE(t.outcomes.size(), 3);
        QVERIFY(t.outcomes.constLast().reported);
        QVERIFY(!t.sync.attemptRunning());

        // A schedule the system refuses is said once and waits, counting no failures.
        setter.hold = false;
        setter.failure = u"Not allowed to set the clock: Automatic time synchronization is enabled"_s;
        QSignalSpy waiting(&t.sync, &ClockSync::waiting);
        t.lookAfter();
        QTRY_COMPARE(t.outcomes.size(), 4);
        QCOMPARE(t.outcomes.constLast().failure.kind, SyncFailure::ClockNotSet);
        QVERIFY(!t.outcomes.constLast().reported);
        // The server answered, but the clock was not set: the log says no success.
        QCOMPARE(t.env.logLines().filter(u"\"sync success.....\""_s).size(), 3);
        for (int period = 0; period < 12; ++period)
            t.lookAfter();
        QCOMPARE(t.attempts(), 4);
        QCOMPARE(t.sync.errorCount(), 0);
        QCOMPARE(waiting.size(), 1);
        QCOMPARE(t.env.logLines().filter(u"Scheduled syncs wait: "_s).size(), 1);
        // The user's own sync (which may ask for a password) works: the schedule goes on.
        setter.failure.reset();
        t.sync.syncNow({u"127.0.0.1"_s, u"0"_s, true});
        QTRY_COMPARE(t.outcomes.size(), 5);
        QCOMPARE(t.lookAfter(), 6);
        QTRY_COMPARE(t.outcomes.size(), 6);

        // A server that refuses every look: after eleven failures the next look stops the schedule, and the count
        // starts again; the user's sync still works.
        t.sync.startSchedule();
        t.askOn(DaytimeServer().port());
        for (int failures = 1; failures <= ClockSync::ErrorLimit; ++failures) {
            t.lookAfter();
            QTRY_COMPARE(t.sync.errorCount(), failures);
        }
        QCOMPARE(t.attempts(), 6 + ClockSync::ErrorLimit);
        QCOMPARE(t.lookAfter(), 6 + ClockSync::ErrorLimit);
        QVERIFY(!t.sync.scheduleRunning());
        QCOMPARE(stopped.size(), 1);
        QCOMPARE(t.sync.errorCount(), 0);
        QVERIFY(t.env.logLines().constLast().startsWith(u"\"Timer disabled\""_s));
        t.askOn(t.server.port());
        t.sync.syncNow({u"127.0.0.1"_s, u"0"_s, true});
        QTRY_VERIFY(!t.outcomes.constLast().timeText.isEmpty());
    }

    // Against inetd and the mock timedated: a refusal is a failed attempt; a scheduled sync may not ask for a
    // password; the user's own may. NIST's servers state UTC: whatever the desktop's time zone and the hour field,
    // timedated is given the instant of the reply, and the new time is told in local time.
    void syncsSetTheClockThroughTimedated()
    {
        // Never against the real system bus: a real timedated would set this machine's clock.
        if (qEnvironmentVariableIsEmpty("TARNIBE_TIMEDATED_LOG") ||
            qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS"))
            QSKIP("needs the servers that with_time_servers.sh starts");
        QCOMPARE(qgetenv("TZ"), QByteArray("UTC"));
        Sync t(platform::systemClockSetter());
        t.schedule();
        Settings().ClockDateActive = 0;
        // One "sync now" with the real time as the present; once it has come out, the call the mock timedated logged
        // for it, if any.
        const auto syncNow = [&t](const QString &hoursOff, bool withDate) {
            const qsizetype outcomes = t.outcomes.size(), calls = setTimeCalls().size();
            t.env.clock.set(QDateTime::currentDateTime());
            t.sync.syncNow({u"127.0.0.1"_s, hoursOff, withDate});
            if (!QTest::qWaitFor([&] { return t.outcomes.size() > outcomes; }, 10'000))
                return SetTimeCall{};
            const QList<SetTimeCall> after = setTimeCalls();
            return after.size() == calls + 1 ? after.constLast() : SetTimeCall{};
        };
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
        const SetTimeCall refused = syncNow(u"0"_s, false);
        replaceSetTime(QString());
        QVERIFY(refused.logged);
        QCOMPARE(t.outcomes.constLast().failure.kind, SyncFailure::ClockNotSet);
        QCOMPARE(t.outcomes.constLast().failure.description, u"Automatic time synchronization is enabled"_s);

        t.askOn(quint16(qEnvironmentVariableIntValue("TARNIBE_DAYTIME_PORT")));
        t.env.clock.set(QDateTime::currentDateTime());
        t.sync.checkSchedule(); // never synchronised: due at once
        QTRY_COMPARE(setTimeCalls().size(), 2);
        QVERIFY(!setTimeCalls().constLast().interactive);
        QTRY_COMPARE(t.outcomes.size(), 2);
        QVERIFY(!t.outcomes.constLast().timeText.isEmpty());

        const QDateTime clicked = QDateTime::currentDateTimeUtc();
        const SetTimeCall call = syncNow(u"0"_s, false);
        QVERIFY(call.logged && call.interactive && !call.relative);
        QCOMPARE(call.usec % 1'000'000, 0);
        // Without the date, today keeps the time of day the server gave; a second on for the way, and one or two
        // for a reply from the second before or after the click and the round trip.
        const QDateTime expected(t.env.clock.now().date(), clicked.addSecs(1).time(), QTimeZone::utc());
        QVERIFY2(std::abs(call.usec / 1'000'000 - expected.toSecsSinceEpoch()) <= 2,
                 qPrintable(QString::number(call.usec)));
        const QString newTime =
            QDateTime::fromMSecsSinceEpoch(call.usec / 1000, QTimeZone::utc()).toString(u"HH:mm:ss"_s);
        QCOMPARE(t.outcomes.constLast().timeText, newTime);

        t.askOn(t.server.port());
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
            const SetTimeCall call = syncNow(u"2"_s, true);
            QVERIFY2(call.logged, tz);
            QCOMPARE(call.usec, instant.toMSecsSinceEpoch() * 1000);
            QCOMPARE(t.outcomes.constLast().timeText, QString::fromLatin1(shown));
        }
        qputenv("TZ", "UTC");
        tzset();
    }

    // Against inetd and the mock timedated with the system's time service on: neither "sync now" nor the schedule
    // sends SetTime, which the system would refuse; they measure, to the second from DAYTIME, and the schedule logs a
    // far offset once. Turning the service off is the user's own act, SetNTP(false, interactive), after which the
    // clock is set as before.
    void theSystemsTimeServiceKeepsTheClock()
    {
        if (qEnvironmentVariableIsEmpty("TARNIBE_TIMEDATED_LOG") ||
            qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS"))
            QSKIP("needs the servers that with_time_servers.sh starts");
        // The mock's SetNTP sets NTP and NTPSynchronized alike.
        QCOMPARE(callTimedated(u"SetNTP"_s, {true, false}).type(), QDBusMessage::ReplyMessage);
        Sync t(platform::systemClockSetter());
        t.askOn(quint16(qEnvironmentVariableIntValue("TARNIBE_DAYTIME_PORT")));
        t.schedule();
        QSignalSpy kept(&t.sync, &ClockSync::keptBySystem);
        const qsizetype calls = setTimeCalls().size();
        // Our clock 5 s late: the server's second plus one for the way, so 5 or 6 s behind.
        t.env.clock.set(QDateTime::currentDateTime().addSecs(-5));
        t.sync.syncNow({u"127.0.0.1"_s, u"0"_s, true});
        QVERIFY(kept.wait(10'000));
        QCOMPARE(kept[0][1].toBool(), true);
        QCOMPARE(kept[0][2].toBool(), true);
        const ClockCheck check = *t.sync.lastCheck();
        QVERIFY2(check.toTheSecond && check.offsetMs >= 5000 && check.offsetMs <= 7000,
                 qPrintable(QString::number(check.offsetMs)));
        QVERIFY(t.sync.service().on);

        t.env.clock.set(QDateTime::currentDateTime().addSecs(-5));
        t.sync.checkSchedule(); // never synchronised: due at once
        QVERIFY(kept.wait(10'000));
        QCOMPARE(kept[1][2].toBool(), false);
        QCOMPARE(t.lookAfter(10), 2); // the measurement stands for a sync
        t.env.clock.set(QDateTime::currentDateTime().addSecs(-5 + 144 * 3600));
        t.sync.checkSchedule();
        QVERIFY(kept.wait(10'000));
        QCOMPARE(setTimeCalls().size(), calls);
        QCOMPARE(t.env.logLines().filter(u"The system keeps the clock, yet: Your clock is"_s).size(), 1);
        QVERIFY(t.env.logLines().filter(u"sync success"_s).isEmpty());
        QVERIFY(!timedatedLog().contains(u"SetNTP False"_s));

        t.sync.turnOffService();
        QTRY_VERIFY(!t.sync.service().on);
        QVERIFY(timedatedLog().contains(u"SetNTP False True"_s));
        t.env.clock.set(QDateTime::currentDateTime());
        t.sync.syncNow({u"127.0.0.1"_s, u"0"_s, true});
        QTRY_COMPARE(setTimeCalls().size(), calls + 1);
        QTRY_VERIFY(!t.outcomes.isEmpty() && !t.outcomes.constLast().timeText.isEmpty());
        QCOMPARE(kept.size(), 3);
    }
};

QTEST_GUILESS_MAIN(tst_ClockSync)
#include "tst_ClockSync.moc"
