// SPDX-License-Identifier: GPL-3.0-or-later
// The start and the end of the real program on a desktop: its icons and their menus, signals that come while a box
// is open, a port that is taken, and a deletion that other events try to interrupt.
#include "Desktop.h"

#include <QFile>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class tst_DesktopLifecycle : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A session's whole day in short: the suite starts with its four programs, each icon opens its own menu and
    // Escape puts it away, and SIGTERM at the session's end ends the suite at once.
    void everyIconHasItsMenu()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        desktop.writeSettings({{u"StartNotes"_s, u"1"_s},
                               {u"StartCalc"_s, u"1"_s},
                               {u"StartClock"_s, u"1"_s},
                               {u"StartEmail"_s, u"1"_s}});
        desktop.writeNotes(u"notes.dat"_s, {});
        desktop.startSuite();
        const QList<QRect> icons = desktop.waitTrayIcons(4);
        QCOMPARE(icons.size(), 4);
        // The start is over once the notes' container is up; it is no menu.
        QVERIFY(desktop.waitWindow(u"^Container$"_s));
        QSet<QString> looks;
        for (const QRect &icon : icons) {
            looks.insert(desktop.pixels(icon).section(u' ', 0, 0));
            const qulonglong menu = desktop.openMenu(icon.center(), 3);
            QVERIFY2(menu, qPrintable(u"the icon at %1,%2 opened no menu"_s.arg(icon.x()).arg(icon.y())));
            desktop.key(u"Escape"_s);
            QVERIFY2(Desktop::waitFor([&] { return !desktop.isViewable(menu); }, 3000), "Escape left the menu up");
        }
        QCOMPARE(looks.size(), 4);
        const qint64 took = desktop.terminate();
        QVERIFY2(took >= 0 && took < 1000, qPrintable(u"ending took %1 ms"_s.arg(took)));
        QCOMPARE(desktop.suite()->exitStatus(), QProcess::NormalExit);
    }

    // SIGTERM while a box of the start is open ends the suite at once and takes the lock with it: the first start
    // asks whether to read the backup (notes.dat is gone, notes.old is there); the next asks again, and after
    // Yes it says why no notes can arrive (their port is taken) and answers the tray with the box open.
    void terminationWhileABoxIsOpen()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::Any, 0));
        const QString port = u"TARNIBE_NOTE_PORT="_s + QString::number(holder.serverPort());
        desktop.writeNotes(u"notes.old"_s, {storedNote(u"kept"_s, true)});
        desktop.writeSettings({{u"StartNotes"_s, u"1"_s},
                               {u"StartCalc"_s, u"0"_s},
                               {u"StartClock"_s, u"0"_s},
                               {u"StartEmail"_s, u"0"_s},
                               {u"AcceptNotes"_s, u"True"_s}});
        for (int start = 0; start < 2; ++start) {
            desktop.startSuite({port});
            QVERIFY2(desktop.waitWindow(u"^Info$"_s), "no backup question");
            if (start == 1) {
                desktop.key(u"Return"_s);
                QVERIFY2(desktop.waitWindow(u"^Network notes$"_s), "no box about the taken port");
                const QList<QRect> icons = desktop.waitTrayIcons(1);
                QCOMPARE(icons.size(), 1);
                desktop.click(icons[0].center());
                const auto twoNotes = [&] { return desktop.search({u"--name"_s, u"^Note$"_s}).size() == 2; };
                QVERIFY2(Desktop::waitFor(twoNotes, 5000), "the suite does not answer while the box is open");
            }
            const qint64 took = desktop.terminate();
            QVERIFY2(took >= 0 && took < 1000, qPrintable(u"ending took %1 ms"_s.arg(took)));
            QCOMPARE(desktop.suite()->exitStatus(), QProcess::NormalExit);
        }
        QCOMPARE(desktop.readNotes().value_or(QList<NoteRecord>()).size(), 2);
    }

    void aWaylandSessionRunsThroughXwayland()
    {
        // A Wayland session (a headless Weston) with Xwayland's display beside it and no platform chosen: on Wayland
        // notes could not keep their places, so the suite runs on the X display, its icons in the X tray.
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        desktop.startHelper(u"weston"_s,
                            {u"--backend=headless-backend.so"_s, u"--socket=wayland-tarnibe"_s, u"--idle-time=0"_s});
        QVERIFY2(Desktop::waitFor([&] { return QFile::exists(desktop.runtimeDir() + u"/wayland-tarnibe"_s); }, 10000),
                 "weston did not start");
        desktop.startNotes(
            {storedNote(u"placed"_s, true)},
            {u"QT_QPA_PLATFORM="_s, u"WAYLAND_DISPLAY=wayland-tarnibe"_s, u"XDG_SESSION_TYPE=wayland"_s});
        QCOMPARE(desktop.waitTrayIcons(1).size(), 1);
        const qulonglong note = desktop.waitWindow(u"^Note$"_s);
        QVERIFY(note);
        QCOMPARE(desktop.geometry(note).topLeft(), QPoint(100, 100));
    }

    // A stale DISPLAY in a Wayland session (an X server long gone): the suite runs on Wayland and the error log
    // says why. With no display at all it says so and exits with an error, where Qt would abort it.
    void aDisplayThatIsGoneIsLeftForWayland()
    {
        Desktop desktop(false); // no tray needed: the suite never reaches one
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        const QStringList gone{u"QT_QPA_PLATFORM="_s, u"DISPLAY=:87"_s};
        QProcess *alone = desktop.startNotes({}, gone);
        QVERIFY(alone->waitForFinished(10000));
        QCOMPARE(alone->exitStatus(), QProcess::NormalExit);
        QCOMPARE(alone->exitCode(), 1);
        QVERIFY(alone->readAllStandardError().contains("Tarnibe needs a graphical session: the X display :87"));

        desktop.startHelper(u"weston"_s,
                            {u"--backend=headless-backend.so"_s, u"--socket=wayland-tarnibe"_s, u"--idle-time=0"_s});
        QVERIFY2(Desktop::waitFor([&] { return QFile::exists(desktop.runtimeDir() + u"/wayland-tarnibe"_s); }, 10000),
                 "weston did not start");
        QProcess *suite = desktop.startNotes({}, gone + QStringList{u"WAYLAND_DISPLAY=wayland-tarnibe"_s});
        const auto logged = [&] {
            return QString::fromUtf8(desktop.readData(u"error.log"_s))
                .contains(u"The X display :87 (DISPLAY) cannot be opened: running on Wayland (wayland-tarnibe)"_s);
        };
        QVERIFY2(Desktop::waitFor(logged, 10000), desktop.readData(u"error.log"_s).constData());
        // Still running, and on to its start: the Wayland warning follows.
        QVERIFY(!suite->waitForFinished(2000));
        QCOMPARE(suite->state(), QProcess::Running);
        QVERIFY(QString::fromUtf8(desktop.readData(u"error.log"_s)).contains(u"Wayland without Xwayland"_s));
    }

    void deletionDuringTraffic()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        // Enough notes that the rebuild after a deletion takes a while; only the first is on screen.
        QList<NoteRecord> file{storedNote(u"delete me"_s, true)};
        QStringList kept;
        for (int i = 2; i <= 1500; ++i) {
            kept.append(u"note "_s + QString::number(i));
            file.append(storedNote(kept.last(), false));
        }
        QTcpServer probe;
        probe.listen(QHostAddress::Any, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        desktop.startNotes(file, {u"TARNIBE_NOTE_PORT="_s + QString::number(port)}, {{u"AcceptNotes"_s, u"True"_s}});
        QCOMPARE(desktop.waitTrayIcons(1, 60000).size(), 1);
        // The listener opens last: once it listens, the start has read every note.
        const auto listens = [&] {
            return desktop.run(u"ss"_s, {u"-ltnH"_s, u"sport = :%1"_s.arg(port)}).contains(u"LISTEN"_s);
        };
        QVERIFY2(Desktop::waitFor(listens, 60000), "the suite never listened for notes");
        const qulonglong note = desktop.waitWindow(u"^Note$"_s);
        QVERIFY(note);

        // "Delete the note" from its menu; a note from the network arrives while the table is rebuilt.
        QVERIFY2(desktop.chooseFromMenu(desktop.geometry(note).topLeft() + QPoint(9, 7), u"d"_s, 1), "no menu opened");
        Desktop::pause(250);
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(peer.waitForConnected(5000));
        peer.write("from the net$-$False$-$From : peer$-$NO_DATE_SET$-$-1$-$13:25$-$$-$");
        QVERIFY(peer.waitForBytesWritten(5000));

        const auto texts = [&](const QString &name) {
            QStringList result;
            for (const NoteRecord &stored : desktop.readNotes(name).value_or(QList<NoteRecord>()))
                result.append(stored.text);
            return result;
        };
        QVERIFY2(Desktop::waitFor([&] { return texts(u"notes.dat"_s).contains(u"from the net"_s); }, 30000),
                 "the received note never reached the file");
        Desktop::pause(1000);
        // Both generations are whole tables: every kept note, in order, the deleted one gone from the newest.
        QCOMPARE(texts(u"notes.dat"_s), kept + QStringList{u"from the net"_s});
        QCOMPARE(texts(u"notes.old"_s), kept);
    }
};

} // namespace

QTEST_GUILESS_MAIN(tst_DesktopLifecycle)
#include "tst_DesktopLifecycle.moc"
