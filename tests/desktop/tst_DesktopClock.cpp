// SPDX-License-Identifier: GPL-3.0-or-later
// Atomic time's window in the real program under a window manager, against the real chronyd on loopback that
// with_chrony.sh starts.
#include "Desktop.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

using namespace Qt::StringLiterals;

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
