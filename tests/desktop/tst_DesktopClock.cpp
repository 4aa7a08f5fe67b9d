// SPDX-License-Identifier: GPL-3.0-or-later
// Atomic time's window in the real program under a window manager, against the real chronyd on loopback that
// with_chrony.sh starts.
#include "Desktop.h"

#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

using namespace Qt::StringLiterals;

// Starts Atomic time alone, asking `server` and set to sync on its schedule if `syncing`, and opens its window from the
// tray icon as a user does: the window, once it is the active one, or nothing.
qulonglong openClock(Desktop &desktop, const QString &server, const QStringList &environment, bool syncing = false)
{
    desktop.writeSettings({{u"StartNotes"_s, u"0"_s},
                           {u"StartCalc"_s, u"0"_s},
                           {u"StartClock"_s, u"1"_s},
                           {u"StartEmail"_s, u"0"_s},
                           {u"ClockActive"_s, syncing ? u"True"_s : u"False"_s},
                           {u"UseCustomTimeserver"_s, u"True"_s},
                           {u"CustomTimeserver"_s, server}});
    desktop.writeNotes(u"notes.dat"_s, {});
    desktop.startSuite(environment);
    const QList<QRect> icons = desktop.waitTrayIcons(1);
    if (icons.size() != 1)
        return 0;
    desktop.click(icons[0].center());
    const qulonglong window = desktop.waitWindow(u"^Atomic time$"_s);
    return window && Desktop::waitFor([&] { return desktop.activeWindow() == window; }, 5000) ? window : 0;
}

class tst_DesktopClock : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The tray icon opens the window; "Check" (Alt+C, as a user's keyboard) measures against chronyd, shows the
    // offset and sets nothing, on a German desktop in India's time zone.
    void checkShowsTheOffset()
    {
        const int port = qEnvironmentVariableIntValue("TARNIBE_NTP_PORT");
        if (!port)
            QSKIP("needs the chronyd that with_chrony.sh starts");
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        const QString server = u"ntp://127.0.0.1:%1"_s.arg(port);
        const qulonglong window =
            openClock(desktop, server, {u"LANG=de_DE.UTF-8"_s, u"LC_ALL=de_DE.UTF-8"_s, u"TZ=Asia/Kolkata"_s});
        QVERIFY(window);
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

    // With the system's own synchronisation on (a timedated stand-in on a system bus of the desktop's own), "sync
    // now.." measures against chronyd and says the system keeps the clock; no SetTime reaches timedated, which would
    // refuse it. On a French desktop in New York's time zone.
    void syncNowLeavesASynchronisedClockToTheSystem()
    {
        const int port = qEnvironmentVariableIntValue("TARNIBE_NTP_PORT");
        if (!port)
            QSKIP("needs the chronyd that with_chrony.sh starts");
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        const QString systemBus = desktop.startSystemBus(u"{\"NTP\": true}"_s);
        QVERIFY2(!systemBus.isEmpty(), "no timedated stand-in on a system bus");
        const QString server = u"ntp://127.0.0.1:%1"_s.arg(port);
        const qulonglong window =
            openClock(desktop, server,
                      {u"LANG=fr_FR.UTF-8"_s, u"LC_ALL=fr_FR.UTF-8"_s, u"TZ=America/New_York"_s, systemBus}, true);
        QVERIFY(window);
        desktop.settledGeometry(window);
        // Alt+C clicks "Check" and leaves the keyboard where the window opened it, on "Yes, synchronize  every";
        // "sync now.." (there while syncing is on) is three Tabs on.
        desktop.key(u"alt+c"_s);
        QVERIFY(Desktop::waitFor([&] { return desktop.readData(u"error.log"_s).contains("Offset measured"); }, 10000));
        desktop.key(u"Tab Tab Tab space"_s);
        const qulonglong box = desktop.waitWindow(u"^Status$"_s, 10000);
        QVERIFY2(box, "sync now.. told nothing");
        QVERIFY(Desktop::waitFor([&] { return desktop.activeWindow() == box; }, 5000));
        // The attempt measured and told, and set nothing (the box's words are Qt's to read only on Windows; the
        // window tests read them).
        const QString log = QString::fromUtf8(desktop.readData(u"error.log"_s));
        const QRegularExpression measured(
            u"Trying to sync\\.\\.\\..*?Offset measured: Your clock is (on time|(\\d+) ms "_s
            u"(behind|ahead)) \\("_s +
                QRegularExpression::escape(server),
            QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch match = measured.match(log);
        QVERIFY2(match.hasMatch(),
                 qPrintable(log.split(u'\n').filter(QRegularExpression(u"^((?!mismatch).)*$"_s)).join(u'|')));
        qInfo("%s", qPrintable(match.captured(0).section(u'\n', -1)));
        QVERIFY(match.captured(2).toInt() < 50);
        if (const QString shots = qEnvironmentVariable("TARNIBE_SHOTS"); !shots.isEmpty())
            QGuiApplication::primaryScreen()->grabWindow(0).save(shots + u"/clock-kept-"_s + desktop.name() +
                                                                 u".png"_s);
        desktop.key(u"Return"_s);
        QVERIFY(Desktop::waitFor([&] { return !desktop.isViewable(box); }, 3000));
        // timedated heard the properties read, and never a SetTime.
        QFile calls(desktop.timedatedLog());
        QVERIFY(calls.open(QIODevice::ReadOnly));
        const QByteArray heard = calls.readAll();
        QVERIFY2(heard.contains("GetAll"), heard.constData());
        QVERIFY2(!heard.contains("SetTime"), heard.constData());
        QVERIFY(!desktop.readData(u"error.log"_s).contains("sync success"));
        QVERIFY(desktop.terminate() >= 0);
    }
};

QTEST_MAIN(tst_DesktopClock)
#include "tst_DesktopClock.moc"
