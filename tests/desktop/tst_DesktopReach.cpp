// SPDX-License-Identifier: GPL-3.0-or-later
// What the user asked for reaches them, once: the keyring's prompt stays away after a no, windows opened from the
// tray take the keyboard, one double click is one request, the end comes at once, and boxes open over their window.
#include "Desktop.h"
#include "core/Password.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The suite's icons in the order they are made.
enum Icon { NotesIcon, CalculatorIcon, ClockIcon, MailIcon };

// The name the window manager that runs now gives itself ("Openbox", "Mutter", "KWin", "Xfwm4").
QString windowManagerName(const Desktop &desktop)
{
    const QString check = desktop.run(u"xprop"_s, {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s});
    const QString id = check.section(u'#', 1).trimmed();
    return id.isEmpty() ? QString() : desktop.run(u"xprop"_s, {u"-id"_s, id, u"_NET_WM_NAME"_s}).section(u'"', 1, 1);
}

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

// Another window manager in openbox's place, as on that desktop; false when it did not take the screen over.
bool replaceWindowManager(Desktop &desktop, const QString &program, const QStringList &arguments, const QString &name)
{
    desktop.startHelper(program, arguments);
    return Desktop::waitFor([&] { return windowManagerName(desktop) == name; }, 20000);
}

// GNOME's window manager, in openbox's place; the tray stays trayer.
bool startMutter(Desktop &desktop)
{
    return replaceWindowManager(
        desktop, u"env"_s, {u"LIBGL_ALWAYS_SOFTWARE=1"_s, u"mutter"_s, u"--x11"_s, u"--replace"_s, u"--sm-disable"_s},
        u"Mutter"_s);
}

// KDE's window manager, in openbox's place; the tray stays trayer.
bool startKWin(Desktop &desktop)
{
    return replaceWindowManager(desktop, u"env"_s, {u"LIBGL_ALWAYS_SOFTWARE=1"_s, u"kwin_x11"_s, u"--replace"_s},
                                u"KWin"_s);
}

// A StatusNotifierItem tray as a panel sees it: sni_watcher.py on the desktop's bus, and the items' clicks sent as
// the panel sends them, through GLib's D-Bus client.
struct ItemTray {
    Desktop &desktop;

    bool start() const
    {
        QProcess *watcher = desktop.startHelper(u"/usr/bin/python3"_s, {QStringLiteral(SNI_WATCHER)});
        return Desktop::waitFor([&] { return watcher->readAllStandardOutput().contains("ready"); }, 10000);
    }
    QString call(const QString &service, const QString &method, const QStringList &args = {}) const
    {
        return desktop.run(u"gdbus"_s, QStringList{u"call"_s, u"--session"_s, u"--dest"_s, service, u"--object-path"_s,
                                                   u"/StatusNotifierItem"_s, u"--method"_s, method} +
                                           args);
    }
    // The service of the item whose Id is `id`, once the watcher has it.
    QString waitItem(const QString &id) const
    {
        QString found;
        Desktop::waitFor(
            [&] {
                const QString list =
                    desktop.run(u"gdbus"_s, {u"call"_s, u"--session"_s, u"--dest"_s, u"org.kde.StatusNotifierWatcher"_s,
                                             u"--object-path"_s, u"/StatusNotifierWatcher"_s, u"--method"_s,
                                             u"org.freedesktop.DBus.Properties.Get"_s,
                                             u"org.kde.StatusNotifierWatcher"_s, u"RegisteredStatusNotifierItems"_s});
                static const QRegularExpression entry(u"'([^'/]+)/StatusNotifierItem'"_s);
                for (auto it = entry.globalMatch(list); it.hasNext();) {
                    const QString service = it.next().captured(1);
                    if (call(service, u"org.freedesktop.DBus.Properties.Get"_s,
                             {u"org.kde.StatusNotifierItem"_s, u"Id"_s})
                            .contains(u'\'' + id + u'\''))
                        found = service;
                }
                return !found.isEmpty();
            },
            15000);
        return found;
    }
};

// Xfce's window manager and panel, whose notification area is a StatusNotifierItem host (and watcher) of its own,
// with nothing else on it; the tray's items sit at its left end, in the bottom panel.
bool startXfce(Desktop &desktop)
{
    const QString channels = desktop.runtimeDir() + u"/../config/xfce4/xfconf/xfce-perchannel-xml"_s;
    QDir().mkpath(channels);
    QFile panel(channels + u"/xfce4-panel.xml"_s);
    if (!panel.open(QIODevice::WriteOnly) || panel.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=8;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty"><property name="plugin-1" type="string" value="systray"/></property>
</channel>
)") < 0)
        return false;
    panel.close();
    // The settings daemon first, with this home's settings: the bus would start one for the window manager with
    // its own.
    desktop.startHelper(u"/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd"_s, {});
    const auto hasOwner = [&](const QString &name) {
        return desktop
            .run(u"dbus-send"_s,
                 {u"--session"_s, u"--print-reply"_s, u"--dest=org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s,
                  u"org.freedesktop.DBus.NameHasOwner"_s, u"string:"_s + name})
            .contains(u"true"_s);
    };
    if (!Desktop::waitFor([&] { return hasOwner(u"org.xfce.Xfconf"_s); }, 10000))
        return false;
    if (!replaceWindowManager(desktop, u"xfwm4"_s, {u"--replace"_s}, u"Xfwm4"_s))
        return false;
    desktop.startHelper(u"xfce4-panel"_s, {});
    return Desktop::waitFor([&] { return hasOwner(u"org.kde.StatusNotifierWatcher"_s); }, 20000);
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

    // Xfce's panel passes a double click on an item on as two activations. One double click on the notes item is
    // one new note; a second double click a moment later is another.
    void aDoubleClickOnAStatusNotifierItemActsOnce()
    {
        if (QStandardPaths::findExecutable(u"xfce4-panel"_s).isEmpty())
            QSKIP("needs Xfce's panel (scripts/install-deps.sh test)");
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        QVERIFY2(startXfce(desktop), "Xfce's panel did not come up");
        desktop.startNotes();
        QVERIFY(desktop.waitWindow(u"^Container$"_s, 15000));
        // The only item, at the panel's left end.
        const QPoint item(12, 785);
        const auto notes = [&] { return desktop.search({u"--name"_s, u"^Note$"_s}).size(); };
        QVERIFY2(Desktop::waitFor(
                     [&] {
                         return desktop
                                    .run(u"python3"_s,
                                         {QStringLiteral(TRAYWATCH), u"pixels"_s, u"4"_s, u"775"_s, u"16"_s, u"16"_s})
                                    .section(u' ', 1)
                                    .toInt() > 0;
                     },
                     15000),
                 "no item on the panel");
        for (qsizetype made = 1; made <= 2; ++made) {
            desktop.doubleClick(item);
            QVERIFY2(Desktop::waitFor([&] { return notes() >= made; }, 5000), "the double click made no note");
            Desktop::pause(1000);
            QCOMPARE(notes(), made);
        }
        QVERIFY(desktop.terminate() >= 0);
    }

    // Under mutter, which lets a window take the focus only with a recent enough user time: a new note from the
    // notes icon gets the keyboard, so that what the user types right after the click lands in it.
    void aNewNoteFromTheTrayTakesTheKeyboard()
    {
        if (QStandardPaths::findExecutable(u"mutter"_s).isEmpty())
            QSKIP("needs mutter (scripts/install-deps.sh test)");
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        QVERIFY2(startMutter(desktop), qPrintable(u"mutter did not come up: "_s + windowManagerName(desktop)));
        desktop.startNotes();
        const QList<QRect> icons = desktop.waitTrayIcons(1);
        QCOMPARE(icons.size(), 1);
        const qulonglong container = desktop.waitWindow(u"^Container$"_s, 15000);
        QVERIFY(container);
        // The container was used last: it is the active window when the user goes to the tray.
        desktop.click(desktop.geometry(container).center());
        QVERIFY(Desktop::waitFor([&] { return activeWindow(desktop) == container; }, 5000));
        desktop.click(icons[NotesIcon].center());
        const qulonglong note = desktop.waitWindow(u"^Note$"_s, 5000);
        QVERIFY2(note, "the notes icon made no note");
        desktop.type(u"typed at once"_s);
        const bool active = Desktop::waitFor([&] { return activeWindow(desktop) == note; }, 3000);
        QVERIFY(desktop.terminate() >= 0);
        const QList<NoteRecord> saved = desktop.readNotes().value_or(QList<NoteRecord>());
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved[0].text, u"typed at once"_s);
        QVERIFY2(active, "the note is not active");
    }

    // Under KWin, whose focus stealing prevention judges a window by the time of the request it answers: a click
    // that reaches the suite over D-Bus (a StatusNotifierItem panel's Activate, which carries no time) still gives
    // the new note and the calculator the keyboard, over the other program the user had worked in before.
    void aClickOverDBusGivesTheKeyboard()
    {
        if (QStandardPaths::findExecutable(u"kwin_x11"_s).isEmpty())
            QSKIP("needs KWin (scripts/install-deps.sh test)");
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        QVERIFY2(startKWin(desktop), qPrintable(u"KWin did not come up: "_s + windowManagerName(desktop)));
        const ItemTray tray{desktop};
        QVERIFY2(tray.start(), "the watcher did not come up");
        desktop.startNotes({}, {}, {{u"StartCalc"_s, u"1"_s}});
        const QString notesItem = tray.waitItem(u"tarnibe-notes"_s);
        const QString calculatorItem = tray.waitItem(u"tarnibe-calculator"_s);
        QVERIFY(!notesItem.isEmpty() && !calculatorItem.isEmpty());
        QVERIFY(desktop.waitWindow(u"^Container$"_s, 15000));
        // Another program's window, the one the user worked in last: a click, and some typing a moment later, which
        // the window manager counts as the latest use of all.
        desktop.startHelper(u"zenity"_s, {u"--entry"_s, u"--title=Another program"_s});
        const qulonglong other = desktop.waitWindow(u"^Another program$"_s, 15000);
        QVERIFY(other);
        const auto useOther = [&] {
            // Its top left corner, clear of the note, which opens in the middle of the screen.
            desktop.click(desktop.geometry(other).topLeft() + QPoint(8, 8));
            if (!Desktop::waitFor([&] { return activeWindow(desktop) == other; }, 5000))
                return false;
            Desktop::pause(500);
            desktop.type(u"x"_s);
            Desktop::pause(200);
            return true;
        };

        QVERIFY(useOther());
        tray.call(notesItem, u"org.kde.StatusNotifierItem.Activate"_s, {u"0"_s, u"0"_s});
        const qulonglong note = desktop.waitWindow(u"^Note$"_s, 5000);
        QVERIFY2(note, "Activate made no note");
        QVERIFY2(Desktop::waitFor([&] { return activeWindow(desktop) == note; }, 3000), "the note is not active");
        desktop.type(u"over the bus"_s);

        QVERIFY(useOther());
        tray.call(calculatorItem, u"org.kde.StatusNotifierItem.Activate"_s, {u"0"_s, u"0"_s});
        const qulonglong calculator = desktop.waitWindow(u"^Calculator$"_s, 5000);
        QVERIFY2(calculator, "Activate opened no calculator");
        QVERIFY2(Desktop::waitFor([&] { return activeWindow(desktop) == calculator; }, 3000),
                 "the calculator is not active");

        QVERIFY(desktop.terminate() >= 0);
        QCOMPARE(desktop.readNotes().value_or(QList<NoteRecord>()).value(0).text, u"over the bus"_s);
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
