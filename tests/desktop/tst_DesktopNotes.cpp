// SPDX-License-Identifier: GPL-3.0-or-later
// Notes as a user meets them under a window manager: the real program, openbox, trayer, and input through the X
// server.
#include "Desktop.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Pixels of the parts of a new note (114 × 88): the menu icon, a point on the text, the drag bar and the bare
// background between the text and the right edge.
const QPoint MenuIcon(9, 7);
const QPoint OnText(84, 58);
const QPoint TextStart(7, 22);
const QPoint DragBar(60, 6);
const QPoint Background(107, 40);
const QPoint Grip(107, 81);
const QPoint Magnifier(24, 7);
// The first row of the container, in its client area.
const QPoint FirstRow(250, 73);
// The window manager takes over once the hand has travelled a little: the note lags by up to one step of a drag.
constexpr int DragLag = 25;
const QSize Tab(43, 25);

QList<qulonglong> notes(const Desktop &desktop)
{
    return desktop.search({u"--name"_s, u"^Note$"_s});
}

QList<NoteRecord> storedNotes(const Desktop &desktop)
{
    return desktop.readNotes().value_or(QList<NoteRecord>());
}

// The suite on a fresh desktop with one new note, made by a left click on the notes icon in the middle of the
// screen: the icons, and the note's window and place (no id when the desktop or the note did not come up).
struct Scene : Desktop {
    QList<QRect> icons;
    qulonglong id = 0;
    QRect note;

    explicit Scene(bool withCalculator = false, const QStringList &environment = {})
    {
        if (!ready())
            return;
        startNotes({}, environment, {{u"StartCalc"_s, withCalculator ? u"1"_s : u"0"_s}});
        icons = waitTrayIcons(withCalculator ? 2 : 1);
        // The start is over once the container is up; an icon clicked before takes the click too late.
        if (icons.isEmpty() || !waitWindow(u"^Container$"_s))
            return;
        pause(200);
        newNote();
    }

    bool newNote()
    {
        const int before = int(notes(*this).size());
        click(icons[0].center());
        if (!waitFor([&] { return notes(*this).size() > before; }, 5000))
            return false;
        id = notes(*this).last();
        pause(300);
        note = geometry(id);
        return true;
    }

    // A click on the note's text, and typing as a user types.
    void typeInto(const QString &text, QPoint at = OnText)
    {
        click(note.topLeft() + at);
        pause(300);
        type(text);
    }

    // Leaves a note the way users do: a click on the empty desktop, clear of the container. Where a desktop window
    // takes the focus the note loses it; where none does (mutter's), the click changes nothing, and what was typed
    // must reach the file all the same.
    void clickElsewhere()
    {
        const qulonglong active = activeWindow();
        click(QPoint(30, 30));
        waitFor([&] { return activeWindow() != active; }, 1000);
    }

    bool sizeBecomes(QSize size) const
    {
        return waitFor([&] { return geometry(id).size() == size; }, 3000);
    }
};

class tst_DesktopNotes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every round of click, type, leave reaches the file; so do two lines, with CR LF, typed just before SIGTERM.
    void typedTextIsSaved()
    {
        Scene scene;
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + scene.error()));
        // The last round clicks at the start of the first line, which puts the caret there.
        const std::pair<QString, QPoint> rounds[] = {
            {u"one"_s, OnText}, {u" two"_s, OnText}, {u" three"_s, OnText}, {u"zero "_s, TextStart}};
        QString expected;
        for (const auto &[typed, at] : rounds) {
            scene.typeInto(typed, at);
            scene.clickElsewhere();
            if (at == TextStart)
                expected.prepend(typed);
            else
                expected.append(typed);
            QVERIFY2(Desktop::waitFor([&] { return storedNotes(scene).value(0).text == expected; }, 4000),
                     qPrintable(u"notes.dat holds \""_s + storedNotes(scene).value(0).text + u'"'));
        }
        scene.typeInto(QString());
        scene.key(u"Return"_s);
        scene.type(u"line two"_s);
        Desktop::pause(300);
        QVERIFY2(scene.terminate() >= 0, "tarnibe did not end on SIGTERM");
        QVERIFY2(scene.readData(u"notes.dat"_s).startsWith("28\r\nzero one two three\r\nline two\r\n"),
                 scene.readData(u"notes.dat"_s).left(40).constData());
    }

    // A double click on the menu icon folds the note to its tab and back, and opens no menu; the grip in the
    // corner drags the size, and the magnifier on a folded note shows it whole only while it is held.
    void foldResizeAndPeek()
    {
        Scene scene;
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + scene.error()));
        const QList<qulonglong> windows = scene.windowsOfClass(u"tarnibe"_s);
        for (const QSize size : {Tab, scene.note.size()}) {
            scene.doubleClick(scene.note.topLeft() + MenuIcon);
            QVERIFY(scene.sizeBecomes(size));
            // The menu would open 200 ms after the first click; no window comes in three times that.
            QVERIFY2(!scene.waitNewWindow(windows, 600), "a double click opened the menu");
            QCOMPARE(scene.geometry(scene.id).topLeft(), scene.note.topLeft());
        }

        scene.drag(scene.note.topLeft() + Grip, scene.note.topLeft() + Grip + QPoint(60, 40));
        const auto grew = [&] { return scene.geometry(scene.id).size().boundedTo({160, 115}) == QSize(160, 115); };
        QVERIFY2(Desktop::waitFor(grew, 3000), "the grip did not resize the note");
        const QSize grown = scene.geometry(scene.id).size();
        QCOMPARE(scene.geometry(scene.id).topLeft(), scene.note.topLeft());

        scene.doubleClick(scene.note.topLeft() + MenuIcon);
        QVERIFY(scene.sizeBecomes(Tab));
        scene.press(scene.note.topLeft() + Magnifier);
        QVERIFY2(scene.sizeBecomes(grown), "holding the magnifier did not show the note");
        Desktop::pause(300);
        scene.release();
        QVERIFY2(scene.sizeBecomes(Tab), "letting go of the magnifier left the note open");

        // The file keeps the tab and, in twips, the size to return to.
        QVERIFY(scene.terminate() >= 0);
        const QList<NoteRecord> stored = storedNotes(scene);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(QList<int>({stored[0].width, stored[0].height, stored[0].oldWidth, stored[0].oldHeight}),
                 QList<int>({650, 370, grown.width() * 15, grown.height() * 15}));
    }

    // Clicks leave a note where it is, drags by the bar or the background move it; hidden through its menu's first
    // item it keeps its place, and a click on its row in the container makes its window again there.
    void onlyDragsMoveNotes()
    {
        Scene scene;
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + scene.error()));
        const qulonglong id = scene.id;
        for (const QPoint part : {Background, DragBar}) {
            scene.click(scene.note.topLeft() + part);
            Desktop::pause(400);
            QCOMPARE(scene.geometry(id).topLeft(), scene.note.topLeft());
        }
        // Left for another program, as a note being typed in takes a drag on its text for a selection.
        scene.startHelper(u"xmessage"_s, {u"-geometry"_s, u"+0+0"_s, u"elsewhere"_s});
        scene.click(scene.geometry(scene.waitWindow(u"^xmessage$"_s)).center());
        Desktop::pause(300);
        for (const auto &[part, by] : {std::pair{DragBar, QPoint(150, 80)}, std::pair{Background, QPoint(-200, 60)}}) {
            const QPoint expected = scene.geometry(id).topLeft() + by;
            scene.drag(scene.geometry(id).topLeft() + part, expected + part);
            const auto near = [&] { return (scene.geometry(id).topLeft() - expected).manhattanLength() <= DragLag; };
            QVERIFY2(Desktop::waitFor(near, 3000), "the drag did not take the note along");
        }
        const QRect moved = scene.geometry(id);
        QCOMPARE(moved.size(), QSize(114, 88));

        const qulonglong menu = scene.openMenu(moved.topLeft() + MenuIcon);
        QVERIFY2(menu, "no menu opened");
        const QRect box = scene.geometry(menu);
        QVERIFY(box.top() >= moved.top());
        scene.click(QPoint(box.x() + box.width() / 2, box.y() + 12));
        // Its window goes, not only out of sight.
        const auto gone = [&] { return scene.xdotool({u"search"_s, u"--name"_s, u"^Note$"_s}).isEmpty(); };
        QVERIFY2(Desktop::waitFor(gone, 3000), "the hidden note kept its window");
        scene.click(scene.geometry(scene.waitWindow(u"^Container$"_s)).topLeft() + FirstRow);
        QVERIFY2(Desktop::waitFor([&] { return notes(scene).size() == 1; }, 3000),
                 "the row click did not show the note");
        QCOMPARE(scene.geometry(notes(scene)[0]), moved);
        // Hidden again, from the keyboard, it is stored hidden where it was.
        QVERIFY(scene.chooseFromMenu(moved.topLeft() + MenuIcon, u"h"_s, 1));
        QVERIFY(Desktop::waitFor([&] { return notes(scene).isEmpty(); }, 3000));
        QVERIFY(scene.terminate() >= 0);
        QCOMPARE(storedNotes(scene).size(), 1);
        QCOMPARE(QPoint(storedNotes(scene)[0].left, storedNotes(scene)[0].top), moved.topLeft() * 15);
        QVERIFY(!storedNotes(scene)[0].visible);
    }

    // A thousand rows scroll, click, open their menus and show their alarm and " - empty -" rows as four do; after
    // a deletion the later rows move up, and each still brings back its own note.
    void aThousandRowsBehaveAsFour()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        QList<NoteRecord> stored;
        for (int i = 1; i <= 1000; ++i)
            stored.append(storedNote(u"note %1"_s.arg(i), false));
        stored[995].text = stored[996].text = QString();
        stored[997].alarmDate = u"2031-01-02"_s;
        stored[997].alarmTime = u"9:00"_s;
        stored[997].alarmRepeat = u"0"_s;
        stored[998].left = 4500; // 300 px
        stored[999].left = 3000; // 200 px
        desktop.startNotes(stored);
        QCOMPARE(desktop.waitTrayIcons(1).size(), 1);
        const qulonglong container = desktop.waitWindow(u"^Container$"_s);
        QVERIFY(container);
        Desktop::pause(500);
        const QRect client = desktop.geometry(container);
        // Where row `n` sits on screen once the rows are scrolled to the end (24 px a row, the last 67 px above
        // the bottom of the view), and its parts there.
        const auto rowText = [&](int n) {
            return QRect(client.left() + 161, client.bottom() + 1 - 67 - 24 * (1000 - n), 256, 16);
        };
        const auto dot = [&](int n) { return QPoint(client.left() + 147, rowText(n).top() + 9); };
        const auto alarm = [&](int n) { return QRect(client.left() + 124, rowText(n).top() + 4, 13, 13); };

        // The wheel scrolls the rows under the pointer; the scroll bar's thumb dragged down takes them to the end.
        const QRect firstRow(client.topLeft() + QPoint(161, 65), QSize(256, 16));
        const QString top = desktop.pixels(firstRow);
        desktop.moveTo(firstRow.center());
        desktop.xdotool({u"click"_s, u"--repeat"_s, u"3"_s, u"5"_s});
        QVERIFY2(Desktop::waitFor([&] { return desktop.pixels(firstRow) != top; }, 3000), "the wheel scrolled nothing");
        const int bar = client.right() - 7;
        desktop.drag(QPoint(bar, client.top() + 47), QPoint(bar, client.bottom() + 60));
        Desktop::pause(300);

        // Empty notes read " - empty -": two such rows look alike, and unlike a row with a subject.
        const QStringList empty{desktop.pixels(rowText(996)), desktop.pixels(rowText(997))};
        QCOMPARE(empty[0], empty[1]);
        QVERIFY2(empty[0].section(u' ', 1).toInt() > 10, qPrintable(empty[0]));
        QVERIFY(desktop.pixels(rowText(995)) != empty[0]);
        // Only the note with an alarm has the icon in its row; its click offers to turn the alarm off.
        QVERIFY(desktop.pixels(alarm(998)) != desktop.pixels(alarm(997)));
        desktop.click(alarm(998).center());
        const qulonglong question = desktop.waitWindow(u"^Alarm is on...$"_s, 3000);
        QVERIFY2(question, "the row's alarm icon asked nothing");
        desktop.key(u"n"_s);
        // The box holds the container until it has gone, which on a loaded machine takes a while.
        QVERIFY2(Desktop::waitFor([&] { return !desktop.isViewable(question); }, 3000), "the box stayed open");

        // The last row's dot opens the row menu; its "Delete" takes out note 999, and the last row moves up.
        QVERIFY2(desktop.chooseFromMenu(dot(999), u"d"_s, 1), "the row's dot opened no menu");
        QVERIFY(Desktop::waitFor([&] { return storedNotes(desktop).size() == 999; }, 5000));
        QCOMPARE(storedNotes(desktop).constLast().text, u"note 1000"_s);
        QCOMPARE(storedNotes(desktop).value(997).alarmDate, u"2031-01-02"_s);
        desktop.click(rowText(999).center());
        QVERIFY2(Desktop::waitFor([&] { return notes(desktop).size() == 1; }, 3000), "the row click showed no note");
        QCOMPARE(desktop.geometry(notes(desktop)[0]).left(), 200);
    }

    // The notes icon's menu: "Delete all notes" cannot be undone, so Enter on its question keeps the notes and only
    // Yes deletes them; the container's close button puts it away and "Hide the container" brings it back; "Exit
    // notes" saves the text being typed, keeps the note stored as shown and leaves the calculator running.
    void notesIconMenu()
    {
        Scene scene(true);
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + scene.error()));
        const QPoint icon = scene.icons[0].center();
        QVERIFY(Desktop::waitFor([&] { return storedNotes(scene).size() == 1; }, 5000));
        for (const QString &answer : {u"Return"_s, u"y"_s}) {
            QVERIFY2(scene.chooseFromMenu(icon, u"d"_s), qPrintable(answer));
            QVERIFY(scene.waitWindow(u"^Delete all$"_s, 3000));
            scene.key(answer);
            QVERIFY(Desktop::waitFor([&] { return !scene.waitWindow(u"^Delete all$"_s, 100); }, 3000));
            if (answer == u"Return"_s) {
                Desktop::pause(300);
                QCOMPARE(notes(scene).size(), 1);
                QCOMPARE(storedNotes(scene).size(), 1);
            }
        }
        QVERIFY2(Desktop::waitFor([&] { return scene.readNotes() && storedNotes(scene).isEmpty(); }, 5000),
                 "Yes deleted nothing");

        const qulonglong container = scene.waitWindow(u"^Container$"_s);
        const QRect box = scene.geometry(container);
        // The close button at the right end of the title bar the window manager draws, about as wide as the bar is
        // high: its middle. The frame's borders are left, right, top, bottom.
        const QStringList sides = scene.run(u"xprop"_s, {u"-id"_s, QString::number(container), u"_NET_FRAME_EXTENTS"_s})
                                      .section(u'=', 1)
                                      .split(u',');
        const int right = sides.value(1).trimmed().toInt(), top = sides.value(2).trimmed().toInt();
        QVERIFY(top > 0);
        scene.click(QPoint(box.right() + right - top / 2, box.top() - top / 2));
        // It minimises the container (a compositing window manager keeps it mapped).
        QVERIFY2(Desktop::waitFor([&] { return scene.isMinimized(container); }, 3000), "the close button did nothing");
        // Ticked (answering No to keeping it hidden), then unticked: it is back, not minimised.
        QVERIFY(scene.chooseFromMenu(icon, u"c"_s));
        QVERIFY(scene.waitWindow(u"^Hide container$"_s, 3000));
        scene.key(u"n"_s);
        QVERIFY(Desktop::waitFor([&] { return !scene.waitWindow(u"^Hide container$"_s, 100); }, 3000));
        QVERIFY(scene.chooseFromMenu(icon, u"c"_s));
        QVERIFY2(Desktop::waitFor([&] { return scene.isViewable(container) && !scene.isMinimized(container); }, 3000),
                 qPrintable(u"the container stays away; on screen: "_s +
                            scene
                                .xdotool({u"search"_s, u"--onlyvisible"_s, u"--classname"_s, u"tarnibe"_s,
                                          u"getwindowname"_s, u"%@"_s})
                                .simplified()));

        QVERIFY(scene.newNote());
        scene.typeInto(u"Call Anna"_s);
        Desktop::pause(300);
        QVERIFY(scene.chooseFromMenu(icon, u"e"_s));
        QVERIFY(Desktop::waitFor([&] { return notes(scene).isEmpty(); }, 3000));
        QVERIFY(Desktop::waitFor([&] { return storedNotes(scene).value(0).text == u"Call Anna"_s; }, 3000));
        // Stored as it showed, to show again at the next start of the notes program.
        QVERIFY(storedNotes(scene).value(0).visible);
        QVERIFY(scene.readSetting(u"NotesAllHidden"_s) != u"True"_s);
        QCOMPARE(scene.waitTrayIcons(1).size(), 1);
        QVERIFY2(!scene.suiteEnded(300), "the calculator went with the notes");
    }

    // On a computer without a printer or anything that opens web pages, Print and Help say so instead of doing
    // nothing; Help names the manual's file.
    void printAndHelpWithoutHelpersSaySo()
    {
        // A print service that is not there: no printer, whatever this machine has.
        Scene scene(false, {u"CUPS_SERVER="_s + QDir::tempPath() + u"/no-cups-here.sock"_s, u"BROWSER="_s,
                            u"PATH="_s + QDir::tempPath() + u"/no-programs-here"_s});
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + scene.error()));
        QVERIFY(scene.chooseFromMenu(scene.note.topLeft() + MenuIcon, u"p"_s, 1));
        const qulonglong box = scene.waitWindow(u"^Print$"_s, 5000);
        QVERIFY2(box, "Print said nothing");
        QVERIFY(QString::fromUtf8(scene.readData(u"error.log"_s)).contains(u"err_Note_menu_Print_Click 482"_s));
        scene.key(u"Return"_s);
        QVERIFY(Desktop::waitFor([&] { return !scene.isViewable(box); }, 3000));

        QVERIFY(scene.chooseFromMenu(scene.icons[0].center(), u"h"_s));
        QVERIFY2(scene.waitWindow(u"^Help$"_s, 5000), "Help said nothing");
        QVERIFY(QFile::exists(scene.runtimeDir() + u"/../cache/Tarnibe/help/notes.html"_s));
    }
};

} // namespace

QTEST_GUILESS_MAIN(tst_DesktopNotes)
#include "tst_DesktopNotes.moc"
