// SPDX-License-Identifier: GPL-3.0-or-later
// Notes as windows among windows: how the window manager types, stacks and keeps them, how they follow the pointer,
// and what of them reaches the file while the user is still at it.
#include "Desktop.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Pixels of a note's parts (114 × 88): the menu icon, the text, the drag bar.
const QPoint MenuIcon(9, 7);
const QPoint OnText(84, 58);
const QPoint DragBar(60, 6);

// The suite with only the notes program and a new note, made by a click on the notes icon and dragged by its bar
// to about (100, 100), clear of the container and the control center.
struct Scene : Desktop {
    QRect icon;
    qulonglong note = 0;
    QRect place;

    Scene()
    {
        if (!ready())
            return;
        startNotes();
        const QList<QRect> icons = waitTrayIcons(1);
        if (icons.isEmpty() || !waitWindow(u"^Container$"_s))
            return;
        icon = icons[0];
        pause(200);
        click(icon.center());
        if (!waitFor([&] { return search({u"--name"_s, u"^Note$"_s}).size() == 1; }, 5000))
            return;
        const qulonglong made = search({u"--name"_s, u"^Note$"_s})[0];
        pause(300);
        drag(geometry(made).topLeft() + DragBar, QPoint(100, 100) + DragBar);
        // Near enough: how exactly a drag lands is a test of its own.
        if (waitFor([&] { return (geometry(made).topLeft() - QPoint(100, 100)).manhattanLength() < 80; }, 3000))
            note = made;
        pause(300);
        place = geometry(made);
    }

    QString property(qulonglong window, const QString &name) const
    {
        return run(u"xprop"_s, {u"-id"_s, QString::number(window), name});
    }
    // Where the window is in the window manager's stacking order, bottom first; -1 when it is not managed.
    int stackingIndex(qulonglong window) const
    {
        const QStringList ids =
            run(u"xprop"_s, {u"-root"_s, u"_NET_CLIENT_LIST_STACKING"_s}).section(u'#', 1).split(u',');
        for (int i = 0; i < ids.size(); ++i)
            if (ids[i].trimmed().toULongLong(nullptr, 16) == window)
                return i;
        return -1;
    }
    // A click into a window near its top right corner (clear of buttons), as a user brings a window forward.
    void clickInto(qulonglong window) const
    {
        // Once it holds still: the window manager and the centring may still move a window that just showed.
        const QRect box = settledGeometry(window);
        click(box.topRight() + QPoint(-12, 6));
    }
};

class tst_DesktopNoteWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A note is a normal window of its own, off the task bar and pager, and its menus are menus. It stays when
    // another program is used, goes under a window of the suite brought forward, and only "Always on top" lifts it,
    // still off the task bar.
    void notesAreOrdinaryWindowsOffTheTaskbar()
    {
        Scene scene;
        QVERIFY2(scene.note, qPrintable(u"no note: "_s + scene.error()));
        const QString type = scene.property(scene.note, u"_NET_WM_WINDOW_TYPE"_s);
        QVERIFY2(type.contains(u"_NET_WM_WINDOW_TYPE_NORMAL"_s) && !type.contains(u"UTILITY"_s), qPrintable(type));
        QVERIFY2(scene.property(scene.note, u"WM_TRANSIENT_FOR"_s).contains(u"not found"_s), "a transient note");
        const auto offTaskbar = [&] {
            const QString state = scene.property(scene.note, u"_NET_WM_STATE"_s);
            return state.contains(u"_NET_WM_STATE_SKIP_TASKBAR"_s) && state.contains(u"_NET_WM_STATE_SKIP_PAGER"_s);
        };
        QVERIFY2(offTaskbar(), qPrintable(scene.property(scene.note, u"_NET_WM_STATE"_s)));

        for (const auto &[at, button] : {std::pair{scene.place.topLeft() + MenuIcon, 1}, {scene.icon.center(), 3}}) {
            const qulonglong menu = scene.openMenu(at, button);
            QVERIFY2(menu, "no menu opened");
            // A StatusNotifierItem host shows the icon's menu itself: only the suite's own menus count.
            const QString menuType = scene.property(menu, u"_NET_WM_WINDOW_TYPE"_s);
            QVERIFY2(!scene.property(menu, u"WM_CLASS"_s).contains(u"\"tarnibe\""_s) ||
                         menuType.contains(u"_NET_WM_WINDOW_TYPE_POPUP_MENU"_s) ||
                         menuType.contains(u"_NET_WM_WINDOW_TYPE_DROPDOWN_MENU"_s),
                     qPrintable(menuType));
            scene.key(u"Escape"_s);
            QVERIFY(Desktop::waitFor([&] { return !scene.isViewable(menu); }, 3000));
        }

        // The note in use, then another program.
        scene.click(scene.place.topLeft() + DragBar);
        QVERIFY(Desktop::waitFor([&] { return scene.activeWindow() == scene.note; }, 3000));
        scene.startHelper(u"xmessage"_s, {u"-geometry"_s, u"+700+150"_s, u"Another program"_s});
        const qulonglong other = scene.waitWindow(u"^xmessage$"_s);
        QVERIFY(other);
        scene.clickInto(other);
        QVERIFY2(Desktop::waitFor([&] { return scene.activeWindow() == other; }, 3000), "the other program is not on");
        Desktop::pause(500);
        QVERIFY2(scene.isViewable(scene.note), "the note went when another program was used");

        QVERIFY(scene.chooseFromMenu(scene.icon.center(), u"t"_s));
        const qulonglong panel = scene.waitWindow(u"^Control center$"_s);
        QVERIFY(panel);
        scene.clickInto(panel);
        const auto above = [&](qulonglong upper, qulonglong lower) {
            return Desktop::waitFor([&] { return scene.stackingIndex(upper) > scene.stackingIndex(lower); }, 3000);
        };
        QVERIFY2(above(panel, scene.note), "the note stays above the control center brought forward");

        QVERIFY(scene.chooseFromMenu(scene.place.topLeft() + MenuIcon, u"a"_s, 1));
        // A window's flags changed, Qt makes it a new X window.
        QVERIFY(Desktop::waitFor([&] { return scene.search({u"--name"_s, u"^Note$"_s}).size() == 1; }, 3000));
        scene.note = scene.search({u"--name"_s, u"^Note$"_s})[0];
        QVERIFY2(above(scene.note, panel), "an always-on-top note stays under the control center");
        QVERIFY2(offTaskbar(), qPrintable(scene.property(scene.note, u"_NET_WM_STATE"_s)));
    }

    // Typed text reaches the file once typing pauses, with no click anywhere else; a drag ends with the note exactly
    // where the pointer took it, and that place reaches the file without the program ending.
    void typingAndDraggingAreSavedAsTheyHappen()
    {
        Scene scene;
        QVERIFY2(scene.note, qPrintable(u"no note: "_s + scene.error()));
        scene.click(scene.place.topLeft() + OnText);
        Desktop::pause(300);
        scene.type(u"Milk"_s);
        const auto stored = [&] { return scene.readNotes().value_or(QList<NoteRecord>()).value(0); };
        QVERIFY2(Desktop::waitFor([&] { return stored().text == u"Milk"_s; }, 5000),
                 qPrintable(u"notes.dat holds \""_s + stored().text + u'"'));

        // Ten steps of a hand, each a little more than the distance that tells a drag from a click.
        scene.press(scene.place.topLeft() + DragBar);
        for (int step = 0; step < 10; ++step) {
            scene.xdotool({u"mousemove_relative"_s, u"--"_s, u"37"_s, u"22"_s});
            Desktop::pause(30);
        }
        Desktop::pause(100);
        scene.release();
        const QPoint expected = scene.place.topLeft() + QPoint(370, 220);
        Desktop::waitFor([&] { return scene.geometry(scene.note).topLeft() == expected; }, 3000);
        QCOMPARE(scene.geometry(scene.note).topLeft(), expected);
        QVERIFY2(Desktop::waitFor([&] { return QPoint(stored().left, stored().top) == expected * 15; }, 5000),
                 "the new place was not saved");
        QCOMPARE(stored().text, u"Milk"_s);
    }

    // A folded note's tab shows its menu icon whole, as the note does.
    void aFoldedTabShowsWholeIcons()
    {
        Scene scene;
        QVERIFY2(scene.note, qPrintable(u"no note: "_s + scene.error()));
        // The icon's three lines, in the note.
        const QRect lines(scene.place.topLeft() + QPoint(4, 3), QSize(9, 9));
        const QString unfolded = scene.pixels(lines);
        scene.doubleClick(scene.place.topLeft() + MenuIcon);
        QVERIFY(Desktop::waitFor([&] { return scene.geometry(scene.note).size() == QSize(43, 25); }, 3000));
        Desktop::pause(300);
        // The tab's region starts a pixel further in than the note's, and so does the icon.
        QCOMPARE(scene.pixels(lines.translated(0, 1)), unfolded);
    }
};

} // namespace

QTEST_GUILESS_MAIN(tst_DesktopNoteWindows)
#include "tst_DesktopNoteWindows.moc"
