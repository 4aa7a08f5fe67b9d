// SPDX-License-Identifier: GPL-3.0-or-later
// What the user asked for reaches them, once: the keyring's prompt stays away after a no, a new note from the tray
// takes the keyboard, one double click is one request, and boxes open over their window.
#include "Desktop.h"
#include "core/Password.h"

#include <QFile>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The suite's icons in the order they are made.
enum Icon { NotesIcon, CalculatorIcon, ClockIcon, MailIcon };

// The window the window manager made active, as it tells the panels (xdotool asks it in a way mutter does not
// answer).
qulonglong activeWindow(const Desktop &desktop)
{
    const QString active = desktop.run(u"xprop"_s, {u"-root"_s, u"_NET_ACTIVE_WINDOW"_s});
    // Xfwm4 adds a second entry: "window id # 0xc00009, 0x0".
    return active.section(u'#', 1).section(u',', 0, 0).trimmed().toULongLong(nullptr, 16);
}

// Where a window sits in the window manager's stacking order, bottom first; -1 when it is not managed.
qsizetype stackingPlace(const Desktop &desktop, qulonglong window)
{
    const QString list = desktop.run(u"xprop"_s, {u"-root"_s, u"_NET_CLIENT_LIST_STACKING"_s}).section(u'#', 1);
    QList<qulonglong> ids;
    for (const QString &id : list.split(u',', Qt::SkipEmptyParts))
        ids.append(id.trimmed().toULongLong(nullptr, 16));
    return ids.indexOf(window);
}

class tst_DesktopReach : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // GNOME Keyring with no login keyring asks for a password for a new one the first time the suite stores a
    // password. Escape on that prompt is a no for the rest of the run: the settings written afterwards (each new
    // note writes its counters) bring no prompt back, and the password stays, encoded, in the settings file.
    void aDismissedKeyringPromptStaysAway()
    {
        if (QStandardPaths::findExecutable(u"gnome-keyring-daemon"_s).isEmpty() ||
            !QFile::exists(u"/usr/libexec/gcr-prompter"_s))
            QSKIP("needs GNOME Keyring and its prompter (scripts/install-deps.sh test)");
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        desktop.startHelper(u"gnome-keyring-daemon"_s, {u"--foreground"_s, u"--components=secrets"_s});
        // The desktop's bus starts nothing on demand; the prompter ends itself when idle and comes back here.
        desktop.startHelper(u"sh"_s, {u"-c"_s, u"while :; do /usr/libexec/gcr-prompter; sleep 0.2; done"_s});
        const QStringList hasOwner = u"--session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
                                     u"org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets"_s.split(u' ');
        QVERIFY2(Desktop::waitFor([&] { return desktop.run(u"dbus-send"_s, hasOwner).contains(u"true"_s); }, 10000),
                 "the keyring did not come up");
        // Ann's password is in the file, to be moved into the keyring at the start. No server answers: the check
        // fails quietly.
        desktop.writeMailAccount(9, u"secret"_s, u"60"_s, true);
        desktop.startSuite();
        const QList<QRect> icons = desktop.waitTrayIcons(4);
        QCOMPARE(icons.size(), 4);

        const auto prompt = [&](int timeoutMs) {
            QList<qulonglong> shown;
            Desktop::waitFor(
                [&] {
                    return !(shown = desktop.search({u"--class"_s, u"gcr-prompter"_s})).isEmpty();
                },
                timeoutMs);
            return shown.isEmpty() ? 0 : shown.last();
        };
        const qulonglong first = prompt(15000);
        QVERIFY2(first, "the keyring asked for no password for a new keyring");
        desktop.xdotool({u"windowactivate"_s, u"--sync"_s, QString::number(first)});
        desktop.key(u"Escape"_s);
        QVERIFY2(Desktop::waitFor([&] { return !desktop.isViewable(first); }, 5000), "Escape left the prompt up");

        const QList<qulonglong> notesBefore = desktop.search({u"--name"_s, u"^Note$"_s});
        for (int round = 0; round < 3; ++round) {
            desktop.click(icons[NotesIcon].center());
            QVERIFY2(Desktop::waitFor(
                         [&] {
                             return desktop.search({u"--name"_s, u"^Note$"_s}).size() == notesBefore.size() + round + 1;
                         },
                         5000),
                     "the notes icon made no note");
            const qulonglong again = prompt(3000);
            QVERIFY2(!again, qPrintable(u"the prompt came back after new note "_s + QString::number(round + 1)));
        }
        QCOMPARE(desktop.readSetting(u"PassWord"_s), EncodeStoredPassword(u"secret"_s).value_or(u"?"_s));
        QVERIFY(QString::fromUtf8(desktop.readData(u"error.log"_s)).contains(u"err_Bas_Keyring PassWord"_s));
        QVERIFY(desktop.terminate() >= 0);
    }

    // A double click on the notes icon is one new note, on every tray: Xfce's panel passes it on as two
    // activations, and the second, within the desktop's double-click interval, is the same gesture. A second double
    // click a moment later is another note.
    void aDoubleClickOnTheTrayActsOnce()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        desktop.startNotes();
        const QList<QRect> icons = desktop.waitTrayIcons(1);
        QCOMPARE(icons.size(), 1);
        QVERIFY(desktop.waitWindow(u"^Container$"_s, 15000));
        const auto notes = [&] { return desktop.search({u"--name"_s, u"^Note$"_s}).size(); };
        for (qsizetype made = 1; made <= 2; ++made) {
            desktop.doubleClick(icons[0].center());
            QVERIFY2(Desktop::waitFor([&] { return notes() >= made; }, 5000), "the double click made no note");
            Desktop::pause(1000);
            QCOMPARE(notes(), made);
        }
    }

    // A new note from the notes icon takes the keyboard from the container the user had used last (under mutter the
    // container kept it): what the user types right after it shows lands in the note.
    void aNewNoteFromTheTrayTakesTheKeyboard()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        desktop.startNotes();
        const QList<QRect> icons = desktop.waitTrayIcons(1);
        QCOMPARE(icons.size(), 1);
        const qulonglong container = desktop.waitWindow(u"^Container$"_s, 15000);
        QVERIFY(container);
        // Its lower left corner, clear of the note to come, which opens over its middle.
        const QRect place = desktop.geometry(container);
        desktop.click(QPoint(place.left() + 20, place.bottom() - 10));
        QVERIFY(Desktop::waitFor([&] { return activeWindow(desktop) == container; }, 5000));
        desktop.click(icons[0].center());
        const qulonglong note = desktop.waitWindow(u"^Note$"_s, 5000);
        QVERIFY2(note, "the notes icon made no note");
        // The keyboard goes to it within a moment of its showing, as a user's eye follows (the X server's input focus
        // is what typing reaches, whatever the window manager calls active).
        const auto hasKeyboard = [&] { return desktop.xdotool({u"getwindowfocus"_s}).trimmed().toULongLong() == note; };
        QVERIFY2(Desktop::waitFor(hasKeyboard, 1000), "the new note did not get the keyboard");
        desktop.type(u"typed at once"_s);
        // Saved as typed: on a busy machine the keys may still be on their way when the typing tool returns.
        const auto saved = [&] { return desktop.readNotes().value_or(QList<NoteRecord>()); };
        QVERIFY2(Desktop::waitFor([&] { return saved().value(0).text == u"typed at once"_s; }, 5000),
                 qPrintable(saved().value(0).text));
        QVERIFY(desktop.terminate() >= 0);
        QCOMPARE(saved().size(), 1);
    }

    // A box opens centred over the window it speaks for (the calculator's "Info" over the calculator), or over the
    // screen when it speaks for none (the mail icon's "Mailbox"), and above the suite's windows, the calculator kept
    // on top among them.
    void boxesOpenOverTheirWindow()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        desktop.writeSettings({{u"StartNotes"_s, u"0"_s},
                               {u"StartCalc"_s, u"1"_s},
                               {u"StartClock"_s, u"0"_s},
                               {u"StartEmail"_s, u"1"_s},
                               {u"CalcOnTop"_s, u"True"_s}});
        desktop.startSuite();
        const QList<QRect> icons = desktop.waitTrayIcons(2);
        QCOMPARE(icons.size(), 2);
        desktop.click(icons[0].center());
        const qulonglong calculator = desktop.waitWindow(u"^Calculator$"_s);
        QVERIFY2(calculator, "the first icon opened no calculator");
        // Away from the middle of the screen, so that a box over it is told from one over the screen.
        desktop.xdotool({u"windowmove"_s, QString::number(calculator), u"40"_s, u"60"_s});
        QVERIFY(Desktop::waitFor([&] { return desktop.geometry(calculator).center().x() < 500; }, 3000));
        QVERIFY(Desktop::waitFor([&] { return activeWindow(desktop) == calculator; }, 5000));
        const auto centreOf = [&](qulonglong window) { return desktop.geometry(window).center(); };
        const auto near = [](QPoint a, QPoint b) { return (a - b).manhattanLength() <= 40; };
        const auto checkBox = [&](qulonglong box, QPoint centre) {
            QVERIFY2(box, "no box");
            QVERIFY2(near(centreOf(box), centre),
                     qPrintable(u"the box is centred at %1,%2, not near %3,%4"_s.arg(centreOf(box).x())
                                    .arg(centreOf(box).y())
                                    .arg(centre.x())
                                    .arg(centre.y())));
            QVERIFY2(Desktop::waitFor([&] { return stackingPlace(desktop, box) > stackingPlace(desktop, calculator); },
                                      3000),
                     "the calculator covers the box");
            desktop.key(u"Return"_s);
            QVERIFY(Desktop::waitFor([&] { return !desktop.isViewable(box); }, 3000));
        };

        desktop.type(u"1/0"_s);
        desktop.key(u"Return"_s);
        checkBox(desktop.waitWindow(u"^Info$"_s, 5000), centreOf(calculator));
        if (QTest::currentTestFailed())
            return;
        // No mailbox is set up: Check email now ! says so.
        QVERIFY(desktop.chooseFromMenu(icons[1].center(), u"c"_s));
        checkBox(desktop.waitWindow(u"^Mailbox$"_s, 5000), QPoint(640, 400));
    }
};

} // namespace

QTEST_GUILESS_MAIN(tst_DesktopReach)
#include "tst_DesktopReach.moc"
