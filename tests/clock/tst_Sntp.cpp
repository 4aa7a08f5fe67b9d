// SPDX-License-Identifier: GPL-3.0-or-later
// SNTP without a window: the clock sync asking a scripted server in this process and, run by
// with_time_servers.sh as tst_SntpChrony, a real chronyd on loopback that never sets this machine's clock.
#include "TestEnvironment.h"
#include "TimeStandIns.h"
#include "clock/ClockSync.h"
#include "clock/SntpSource.h"
#include "core/Settings.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>
#include <QUdpSocket>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

// How the scripted server answers: its clock `offsetMs` ahead of ours, the round trip taking `delayMs` of our
// clock (half of it each way), and the packet's fields as given.
struct Script {
    qint64 offsetMs = 0;
    qint64 delayMs = 0;
    int leap = 0;
    int mode = 4;
    int stratum = 2;
    QByteArray referenceId = "GPS";
    bool wrongOrigin = false;
    bool zeroTransmit = false;
    bool fromElsewhere = false;
};

// An SNTP server on loopback answering each question as scripted, on the test's clock.
class SntpResponder {
public:
    explicit SntpResponder(FakeClock &clock) : m_clock(clock)
    {
        m_socket.bind(QHostAddress::LocalHost);
        m_elsewhere.bind(QHostAddress::LocalHost);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, &m_socket, [this] {
            while (m_socket.hasPendingDatagrams())
                answer(m_socket.receiveDatagram());
        });
    }
    quint16 port() const { return m_socket.localPort(); }

    Script script;
    int questions = 0;

private:
    void answer(const QNetworkDatagram &question)
    {
        ++questions;
        const qint64 t1 = m_clock.now().toMSecsSinceEpoch() * 1000;
        m_clock.set(m_clock.now().addMSecs(script.delayMs));
        const qint64 serverTime = t1 + (script.offsetMs + script.delayMs / 2) * 1000;
        QByteArray reply(48, '\0');
        reply[0] = char(script.leap << 6 | 4 << 3 | script.mode);
        reply[1] = char(script.stratum);
        reply.replace(12, 4, script.referenceId.leftJustified(4, '\0'));
        const quint64 origin = qFromBigEndian<quint64>(question.data().constData() + 40);
        qToBigEndian<quint64>(origin + (script.wrongOrigin ? 1 : 0), reply.data() + 24);
        qToBigEndian<quint64>(sntp::toTimestamp(serverTime), reply.data() + 32);
        qToBigEndian<quint64>(script.zeroTransmit ? 0 : sntp::toTimestamp(serverTime), reply.data() + 40);
        if (script.fromElsewhere) {
            // A spoofer's reply, a minute off, before the server's own.
            QByteArray spoofed = reply;
            qToBigEndian<quint64>(sntp::toTimestamp(serverTime + 60'000'000), spoofed.data() + 40);
            m_elsewhere.writeDatagram(spoofed, question.senderAddress(), quint16(question.senderPort()));
        }
        m_socket.writeDatagram(reply, question.senderAddress(), quint16(question.senderPort()));
    }

    FakeClock &m_clock;
    QUdpSocket m_socket;
    QUdpSocket m_elsewhere;
};

// Our clock: the real one, `behindMs` late.
class LateClock : public platform::ClockSource {
public:
    explicit LateClock(qint64 behindMs) : m_behind(behindMs) { platform::Clock::install(this); }
    ~LateClock() override { platform::Clock::install(nullptr); }
    QDateTime now() const override { return QDateTime::currentDateTime().addMSecs(-m_behind); }

private:
    qint64 m_behind;
};

// The sync, its SNTP source asking `port` for a plain "ntp://127.0.0.1", and what came of its attempts.
struct Sync {
    Sync(platform::SystemClockSetter &setter, quint16 port) : sync(Settings(), setter)
    {
        auto owned = std::make_unique<SntpSource>(port);
        source = owned.get();
        sync.setSource(std::move(owned), TimeServerAddress::Protocol::Ntp);
        QObject::connect(&sync, &ClockSync::clockSet, &sync, [this](const QString &text) { set.append(text); });
        QObject::connect(&sync, &ClockSync::failed, &sync,
                         [this](const SyncFailure &failure) { failures.append(failure); });
    }
    // The hour offset typed is no part of an NTP server's answer.
    void ask() { sync.start({u"ntp://127.0.0.1"_s, u"5"_s, true}, false); }

    ClockSync sync;
    SntpSource *source = nullptr;
    QStringList set;
    QList<SyncFailure> failures;
};

} // namespace

Q_DECLARE_METATYPE(Script)

class tst_Sntp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void replies_data()
    {
        QTest::addColumn<QDateTime>("asked");
        QTest::addColumn<Script>("script");
        QTest::addColumn<QString>("refused"); // empty: the clock is set to our clock + the offset, when it is set

        const QDateTime now({2026, 12, 7}, {18, 0, 0, 0}, QTimeZone::utc());
        QTest::newRow("5 s ahead") << now << Script{.offsetMs = 5000} << QString();
        QTest::newRow("3 s behind, 40 ms on the way") << now << Script{.offsetMs = -3000, .delayMs = 40} << QString();
        QTest::newRow("300 ms on the way") << now << Script{.offsetMs = 1000, .delayMs = 300} << QString();
        QTest::newRow("across 2036-02-07") << QDateTime({2036, 2, 7}, {6, 28, 15, 800}, QTimeZone::utc())
                                           << Script{.offsetMs = 500, .delayMs = 100} << QString();
        QTest::newRow("kiss-o'-death RATE")
            << now << Script{.leap = 3, .stratum = 0, .referenceId = "RATE"} << u"kiss code RATE"_s;
        QTest::newRow("unsynchronised") << now << Script{.leap = 3} << u"not synchronised"_s;
        QTest::newRow("stratum 16") << now << Script{.stratum = 16} << u"not synchronised"_s;
        QTest::newRow("wrong origin") << now << Script{.wrongOrigin = true} << u"does not answer our question"_s;
        // Not an answer: dropped, and the server's own is taken.
        QTest::newRow("spoofed from elsewhere first")
            << now << Script{.offsetMs = 2000, .fromElsewhere = true} << QString();
        QTest::newRow("client's mode") << now << Script{.mode = 3} << u"no server's (mode 3)"_s;
        QTest::newRow("no transmit time") << now << Script{.zeroTransmit = true} << u"gives no time"_s;
        QTest::newRow("1.5 s on the way") << now << Script{.delayMs = 1500} << u"too long on its way (1500 ms)"_s;
    }

    // One question to the scripted server, through the sync: the moment set is the clock when it is set plus the
    // offset measured, whatever the hour offset typed; a refused reply sets nothing and says why. A server that
    // sends the kiss-o'-death RATE is not asked again by the schedule until the user syncs.
    void replies()
    {
        QFETCH(QDateTime, asked);
        QFETCH(Script, script);
        QFETCH(QString, refused);

        TestEnvironment env;
        env.clock.set(asked.toLocalTime());
        SntpResponder server(env.clock);
        server.script = script;
        RecordingSetter setter;
        Sync t(setter, server.port());
        t.ask();
        QTRY_COMPARE(t.set.size() + t.failures.size(), 1);
        QCOMPARE(server.questions, 1);
        if (refused.isEmpty()) {
            const QDateTime expected = asked.addMSecs(script.delayMs + script.offsetMs);
            // "Check" measures the same reply and sets nothing.
            t.sync.check({u"ntp://127.0.0.1"_s, u"5"_s, false});
            QTRY_VERIFY(t.sync.lastCheck());
            QCOMPARE(t.sync.lastCheck()->offsetMs, script.offsetMs);
            QCOMPARE(t.sync.lastCheck()->delayMs.value_or(-1), script.delayMs);
            QCOMPARE(t.sync.lastCheck()->stratum.value_or(-1), script.stratum);
            QCOMPARE(server.questions, 2);
            QCOMPARE(setter.asked, QList<QDateTime>{expected});
            QCOMPARE(t.set, QStringList{expected.toLocalTime().toString(u"HH:mm:ss"_s)});
            return;
        }
        QVERIFY(setter.asked.isEmpty());
        QCOMPARE(t.failures[0].kind, SyncFailure::RefusedReply);
        QVERIFY2(t.failures[0].description.contains(refused), qPrintable(t.failures[0].description));
        QCOMPARE(env.logLines().filter(u"Reply refused: "_s).size(), 1);
        if (script.stratum != 0)
            return;
        Settings().ClockActive = true;
        Settings().UseCustomTimeserver = true;
        Settings().CustomTimeserver = u"ntp://127.0.0.1"_s;
        t.sync.checkSchedule();
        QTest::qWait(200);
        QCOMPARE(server.questions, 1);
        server.script = {};
        t.sync.syncNow({u"ntp://127.0.0.1"_s, u"0"_s, true});
        QTRY_COMPARE(t.set.size(), 1);
        QCOMPARE(server.questions, 2);
    }

    // Against chronyd: our clock 5 s late, the offset measured is 5 s and the clock is set to the true time.
    void againstChrony()
    {
        const quint16 port = quint16(qEnvironmentVariableIntValue("TARNIBE_NTP_PORT"));
        if (!port)
            QSKIP("needs the chronyd that with_time_servers.sh starts");
        TestEnvironment env;
        LateClock late(5000);
        RecordingSetter setter;
        Sync t(setter, port);
        QSignalSpy measured(t.source, &SntpSource::measured);
        for (int attempt = 1; attempt <= 3; ++attempt) {
            t.ask();
            // In an event loop of its own, as the program's: QTRY's pauses between looks would hold the reply up.
            QVERIFY(measured.wait(5000) || !t.failures.isEmpty());
            QTRY_COMPARE(t.set.size() + t.failures.size(), attempt);
            QVERIFY2(t.failures.isEmpty(), qPrintable(t.failures.value(0).description));
            const qint64 offsetUs = measured.constLast()[0].toLongLong();
            const qint64 errorMs = setter.asked.constLast().msecsTo(setter.askedAt.constLast());
            qInfo("chronyd: offset %.3f ms, delay %.3f ms; set %lld ms from the true time", double(offsetUs) / 1000,
                  measured.constLast()[1].toDouble() / 1000, errorMs);
            QVERIFY(std::abs(offsetUs - 5'000'000) < 20'000);
            QVERIFY(std::abs(errorMs) <= 20);
        }
        // "Check" measures the same and sets nothing.
        QSignalSpy checked(&t.sync, &ClockSync::checked);
        t.sync.check({u"ntp://127.0.0.1"_s, u"0"_s, false});
        QVERIFY(checked.wait(5000));
        const ClockCheck check = *t.sync.lastCheck();
        qInfo("check: %s", qPrintable(ClockSync::describe(check)));
        QVERIFY2(std::abs(check.offsetMs - 5000) <= 20 && !check.toTheSecond,
                 qPrintable(QString::number(check.offsetMs)));
        QCOMPARE(check.stratum.value_or(-1), 8); // chronyd's local stratum
        QVERIFY(check.delayMs && *check.delayMs < 20);
        QVERIFY(ClockSync::describe(check).startsWith(u"Your clock is 5.0"_s) ||
                ClockSync::describe(check).startsWith(u"Your clock is 4.9"_s));
        QCOMPARE(setter.asked.size(), 3);
    }
};

QTEST_GUILESS_MAIN(tst_Sntp)
#include "tst_Sntp.moc"
