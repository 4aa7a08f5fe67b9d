// SPDX-License-Identifier: GPL-3.0-or-later
#include "DaytimeServer.h"
#include "TestEnvironment.h"
#include "clock/form_Time.h"
#include "core/Settings.h"
#include "platform/IniStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;
using platform::MsgAnswer;

// Run by with_time_servers.sh: inetd answers DAYTIME in UTC, and the "system bus" is a private one on which a mock
// timedated logs every call it gets.

namespace {

struct SetTimeCall {
    qint64 loggedMs = 0; // when the mock got the call
    qint64 usec = 0;
    bool relative = true;
    bool interactive = false;
};

QList<SetTimeCall> setTimeCalls()
{
    QList<SetTimeCall> calls;
    QFile log(qEnvironmentVariable("TARNIBE_TIMEDATED_LOG"));
    if (!log.open(QIODevice::ReadOnly))
        return calls;
    static const QRegularExpression call(u"^(\\d+)\\.(\\d{3}) SetTime (-?\\d+) (True|False) (True|False)$"_s);
    for (const QString &line : QString::fromUtf8(log.readAll()).split(u'\n')) {
        const QRegularExpressionMatch m = call.match(line);
        if (m.hasMatch())
            calls.append({m.captured(1).toLongLong() * 1000 + m.captured(2).toLongLong(), m.captured(3).toLongLong(),
                          m.captured(4) == u"True", m.captured(5) == u"True"});
    }
    return calls;
}

struct Attempt {
    QDateTime clicked; // the real time at the click
    SetTimeCall call;
};

// One "sync now..", the way the user starts it; returns when its box has been shown.
Attempt syncNow(form_Time &form, TestEnvironment &env)
{
    const qsizetype boxes = env.messages.shown().size();
    const qsizetype calls = setTimeCalls().size();
    env.messages.expect(MsgAnswer::Ok);
    // "Today" for a reply without its date, and the moment a success is stored as.
    env.clock.set(QDateTime::currentDateTime());
    const Attempt attempt{QDateTime::currentDateTimeUtc(), {}};
    form.c_CheckNow_Click();
    if (!QTest::qWaitFor([&] { return env.messages.shown().size() > boxes; }, 10'000))
        return attempt;
    const QList<SetTimeCall> after = setTimeCalls();
    return after.size() == calls + 1 ? Attempt{attempt.clicked, after.constLast()} : attempt;
}

// Tolerates a reply from the second before or after the click, and the time the round trip took.
qint64 secondsOff(qint64 usec, const QDateTime &expected)
{
    return std::abs(usec / 1'000'000 - expected.toSecsSinceEpoch());
}

void load(form_Time &form)
{
    Settings().ClockActive = true;
    Settings().ClockDateActive = 0;
    Settings().UseCustomTimeserver = true;
    Settings().CustomTimeserver = u"127.0.0.1"_s;
    form.Form_Load();
    form.remotePort = quint16(qEnvironmentVariableIntValue("TARNIBE_DAYTIME_PORT"));
}

QString stored(const TestEnvironment &env, const char *key)
{
    return platform::IniStore(env.settingsPath()).value(u"Settings"_s, QString::fromLatin1(key)).value_or(QString());
}

QDBusMessage replaceSetTime(const QString &code)
{
    QDBusMessage add = QDBusMessage::createMethodCall(u"org.freedesktop.timedate1"_s, u"/org/freedesktop/timedate1"_s,
                                                      u"org.freedesktop.DBus.Mock"_s, u"AddMethod"_s);
    add << u"org.freedesktop.timedate1"_s << u"SetTime"_s << u"xbb"_s << QString() << code;
    return QDBusConnection::systemBus().call(add);
}

} // namespace

class tst_TimeSync : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Never against the real system bus: a real timedated would set this machine's clock.
        if (qEnvironmentVariableIsEmpty("TARNIBE_TIMEDATED_LOG") ||
            qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS"))
            QSKIP("needs the servers that with_time_servers.sh starts");
        QCOMPARE(qgetenv("TZ"), QByteArray("UTC"));
    }

    // A scheduled sync may not ask for a password; the user's own may, and is told the new time.
    void syncsSetTheClockThroughTimedated()
    {
        TestEnvironment env;
        form_Time form;
        load(form);
        env.clock.set(QDateTime::currentDateTime());
        form.timer_CheckSync_Timer(); // never synchronised: due at once
        QTRY_COMPARE(setTimeCalls().size(), 1);
        QVERIFY(!setTimeCalls().constLast().interactive);
        QTRY_COMPARE(form.label_Success->text(), u"worked ok..."_s);

        const Attempt attempt = syncNow(form, env);
        QCOMPARE(form.label_Success->text(), u"worked ok..."_s);
        QVERIFY(attempt.call.loggedMs > 0);
        QCOMPARE(attempt.call.usec % 1'000'000, 0);
        QVERIFY(!attempt.call.relative);
        QVERIFY(attempt.call.interactive);
        // Without the date, today keeps the time of day the server gave.
        const QDateTime next = attempt.clicked.addSecs(1);
        QVERIFY2(secondsOff(attempt.call.usec, QDateTime(env.clock.now().date(), next.time(), Qt::UTC)) <= 2,
                 qPrintable(QString::number(attempt.call.usec)));
        const QString newTime =
            QDateTime::fromMSecsSinceEpoch(attempt.call.usec / 1000, Qt::UTC).toString(u"HH:mm:ss"_s);
        QCOMPARE(env.messages.shown().constLast().text, u"New time : "_s + newTime);
        QCOMPARE(stored(env, "ClockLastSyncTime"), env.clock.now().toString(u"yyyy-MM-dd HH:mm:ss"_s));
    }

    // NIST's servers state UTC: whatever the desktop's time zone and the hour field, timedated is given the
    // instant of the reply. A server in the classic layout answers in its own local time, which the field moves.
    void theClockIsSetToTheInstantTheServerStates()
    {
        TestEnvironment env;
        DaytimeServer server;
        form_Time form;
        load(form);
        form.remotePort = server.port();
        form.check_DateAlso->setChecked(true);
        form.combo_HoursOff->setCurrentText(u"2"_s);
        const QByteArray winter = "\n61015 25-12-06 12:34:56 00 0 0 123.4 UTC(NIST) * \n";
        const QByteArray summer = "\n61197 26-06-06 12:00:00 50 0 0 0.0 UTC(NIST) * \n";
        struct Zone {
            const char *tz;
            QByteArray reply;
            QDateTime instant; // one second on, for the way to here
            const char *shown;
        };
        const QDateTime winterInstant({2025, 12, 6}, {12, 34, 57}, Qt::UTC);
        const QDateTime summerInstant({2026, 6, 6}, {12, 0, 1}, Qt::UTC);
        const Zone zones[] = {{"Europe/Berlin", winter, winterInstant, "13:34:57"},
                              {"Europe/Berlin", summer, summerInstant, "14:00:01"},
                              {"America/New_York", winter, winterInstant, "07:34:57"},
                              {"Asia/Kolkata", winter, winterInstant, "18:04:57"}};
        for (const Zone &zone : zones) {
            qputenv("TZ", zone.tz);
            tzset();
            server.pieces = {zone.reply};
            const Attempt attempt = syncNow(form, env);
            QVERIFY2(attempt.call.loggedMs > 0, zone.tz);
            QCOMPARE(attempt.call.usec, zone.instant.toMSecsSinceEpoch() * 1000);
            QCOMPARE(env.messages.shown().constLast().text, u"New time : "_s + QString::fromLatin1(zone.shown));
        }
        qputenv("TZ", "UTC");
        tzset();
    }

    void aRefusalFromTimedatedIsAFailedAttempt()
    {
        TestEnvironment env;
        form_Time form;
        load(form);
        const QDBusMessage added =
            replaceSetTime(u"raise dbus.exceptions.DBusException('Automatic time synchronization is enabled', "
                           "name='org.freedesktop.timedate1.AutomaticTimeSyncEnabled')"_s);
        QVERIFY2(added.type() == QDBusMessage::ReplyMessage, qPrintable(added.errorMessage()));

        const Attempt attempt = syncNow(form, env);
        replaceSetTime(QString());
        QVERIFY(attempt.call.loggedMs > 0);
        QCOMPARE(form.label_Success->text(), u"did not work..."_s);
        QCOMPARE(form.label_NbrOfErrors->text(), u"1"_s);
        QCOMPARE(env.messages.shown().constLast().text,
                 u"The time server answered, but the clock could not be set:\n\r\n\r"
                 "Automatic time synchronization is enabled"_s);
        QCOMPARE(stored(env, "ClockLastSyncTime"), QString());
    }
};

QTEST_MAIN(tst_TimeSync)
#include "tst_TimeSync.moc"
