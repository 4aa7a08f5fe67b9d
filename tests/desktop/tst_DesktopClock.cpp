// SPDX-License-Identifier: GPL-3.0-or-later
// Atomic time's window in the real program under a window manager, against a real chronyd on loopback that serves
// its clock and never sets one (-x).
#include "Desktop.h"

#include <QFile>
#include <QGuiApplication>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QUdpSocket>
#include <pwd.h>

using namespace Qt::StringLiterals;

namespace {

// chronyd as scripts/install-deps.sh unpacks it, or a system's own, on a loopback port that was free.
struct Chrony {
    Chrony(Desktop &desktop)
    {
        QString chronyd = u"/var/cache/tarnibe-test/chrony/usr/sbin/chronyd"_s;
        if (!QFile::exists(chronyd))
            chronyd = u"/usr/sbin/chronyd"_s;
        if (!QFile::exists(chronyd))
            return;
        QUdpSocket probe;
        probe.bind(QHostAddress::LocalHost);
        port = probe.localPort();
        probe.close();
        // Root's chronyd drops to its own user, which must reach the folder; the configuration it reads before.
        dir.setAutoRemove(true);
        QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
        QFile conf(dir.path() + u"/chrony.conf"_s);
        if (!conf.open(QIODevice::WriteOnly))
            return;
        conf.write(
            u"local stratum 8\nallow 127.0.0.1\nport %1\nbindaddress 127.0.0.1\ncmdport 0\npidfile %2/pid\n"_s.arg(port)
                .arg(dir.path())
                .toUtf8());
        conf.close();
        // Where there is no such user it stays root, which -x keeps off the clock all the same.
        QStringList user;
        if (!getpwnam("_chrony"))
            user = {u"-u"_s, u"root"_s};
        desktop.startHelper(chronyd, QStringList{u"-x"_s, u"-d"_s, u"-f"_s, conf.fileName()} + user);
        // Up once it tells the time: neither unsynchronised nor a kiss-o'-death.
        QUdpSocket client;
        client.bind(QHostAddress::LocalHost);
        up = Desktop::waitFor(
            [&] {
                client.writeDatagram(QByteArray(1, '\x23') + QByteArray(47, '\0'), QHostAddress::LocalHost, port);
                if (!client.waitForReadyRead(200))
                    return false;
                const QByteArray reply = client.receiveDatagram().data();
                return reply.size() >= 48 && (quint8(reply[0]) >> 6) != 3 && reply[1] != 0;
            },
            10000);
    }
    QTemporaryDir dir;
    quint16 port = 0;
    bool up = false;
};

} // namespace

class tst_DesktopClock : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The tray icon opens the window; "Check" (Alt+C, as a user's keyboard) measures against chronyd, shows the
    // offset and sets nothing, on a German desktop in India's time zone.
    void checkShowsTheOffset()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        Chrony chrony(desktop);
        if (!chrony.port)
            QSKIP("chronyd is missing (scripts/install-deps.sh test)");
        QVERIFY2(chrony.up, "chronyd did not serve the time");
        const QString server = u"ntp://127.0.0.1:%1"_s.arg(chrony.port);
        desktop.writeSettings({{u"StartNotes"_s, u"0"_s},
                               {u"StartCalc"_s, u"0"_s},
                               {u"StartClock"_s, u"1"_s},
                               {u"StartEmail"_s, u"0"_s},
                               {u"ClockActive"_s, u"False"_s},
                               {u"UseCustomTimeserver"_s, u"True"_s},
                               {u"CustomTimeserver"_s, server}});
        desktop.writeNotes(u"notes.dat"_s, {});
        desktop.startSuite({u"LANG=de_DE.UTF-8"_s, u"LC_ALL=de_DE.UTF-8"_s, u"TZ=Asia/Kolkata"_s});
        const QList<QRect> icons = desktop.waitTrayIcons(1);
        QCOMPARE(icons.size(), 1);
        desktop.click(icons[0].center());
        const qulonglong window = desktop.waitWindow(u"^Atomic time$"_s);
        QVERIFY(window);
        QVERIFY(Desktop::waitFor([&] { return desktop.activeWindow() == window; }, 5000));
        const QRect before = desktop.settledGeometry(window);
        desktop.key(u"alt+c"_s);
        // The same machine's clock: within a few milliseconds, stratum 8 below chronyd's local clock.
        const QRegularExpression measured(u"Offset measured: Your clock is (on time|(\\d+) ms (behind|ahead)) \\("_s +
                                          QRegularExpression::escape(server) +
                                          u", stratum 8, round trip (\\d+) ms\\)"_s);
        QRegularExpressionMatch match;
        QVERIFY2(
            Desktop::waitFor(
                [&] {
                    return (match = measured.match(QString::fromUtf8(desktop.readData(u"error.log"_s)))).hasMatch();
                },
                10000),
            desktop.readData(u"error.log"_s).constData());
        qInfo("%s", qPrintable(match.captured(0)));
        QVERIFY(match.captured(2).toInt() < 50 && match.captured(4).toInt() < 50);
        QVERIFY(!desktop.readData(u"error.log"_s).contains("sync success"));
        // No box: the window shows it, and is still the one in front, grown by the line it shows.
        QCOMPARE(desktop.activeWindow(), window);
        Desktop::pause(500);
        if (const QString shots = qEnvironmentVariable("TARNIBE_SHOTS"); !shots.isEmpty())
            QGuiApplication::primaryScreen()->grabWindow(0).save(shots + u"/clock-check-"_s + desktop.name() +
                                                                 u".png"_s);
        QVERIFY2(Desktop::waitFor([&] { return desktop.geometry(window).height() > before.height(); }, 3000),
                 "the window did not make room for the offset");
        QVERIFY(desktop.terminate() >= 0);
        QCOMPARE(desktop.readSetting(u"CustomTimeserver"_s), server);
    }
};

QTEST_MAIN(tst_DesktopClock)
#include "tst_DesktopClock.moc"
