// SPDX-License-Identifier: GPL-3.0-or-later
// Notes as a user meets them under a window manager: the real program, openbox, trayer, and input through the X
// server.
#include "Desktop.h"

#include <QDir>
#include <QTest>
#include <csignal>

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
const QPoint FirstRow(250, 48);
// The window manager takes over once the hand has travelled a little: the note lags by up to one step of a drag.
constexpr int DragLag = 25;

class tst_DesktopNotes : public QObject {
    Q_OBJECT

private:
    // Starts the suite with the given programs and no notes yet; returns the tray icons in the order started.
    QList<QRect> start(Desktop &desktop, bool withCalculator = false)
    {
        desktop.writeSettings({{u"StartNotes"_s, u"1"_s},
                               {u"StartCalc"_s, withCalculator ? u"1"_s : u"0"_s},
                               {u"StartClock"_s, u"0"_s},
                               {u"StartEmail"_s, u"0"_s}});
        desktop.writeData(u"notes.dat"_s, {});
        desktop.startSuite();
        const QList<QRect> icons = desktop.waitTrayIcons(withCalculator ? 2 : 1);
        // The start is over once the container is up; an icon clicked before takes the click too late.
        desktop.waitWindow(u"^Container$"_s);
        Desktop::pause(200);
        return icons;
    }

    // A left click on the notes icon makes a note in the middle of the screen; its window and where it is.
    qulonglong newNote(Desktop &desktop, const QRect &notesIcon, QRect &where)
    {
        const int before = notes(desktop).size();
        desktop.click(notesIcon.center());
        if (!Desktop::waitFor([&] { return notes(desktop).size() > before; }, 5000))
            return 0;
        const qulonglong note = notes(desktop).last();
        Desktop::pause(300);
        where = desktop.geometry(note);
        return note;
    }

    // The suite on a fresh desktop with one new note: its icons, and the note's window and place (0 when the desktop
    // or the note did not come up; desktop.error() says which).
    struct Scene {
        QList<QRect> icons;
        qulonglong id = 0;
        QRect note;
    };
    Scene withNewNote(Desktop &desktop, bool withCalculator = false)
    {
        Scene scene;
        if (!desktop.ready())
            return scene;
        scene.icons = start(desktop, withCalculator);
        if (scene.icons.isEmpty())
            return scene;
        scene.id = newNote(desktop, scene.icons[0], scene.note);
        return scene;
    }

    // A click on the note's text, and typing as a user types.
    void typeInto(Desktop &desktop, const QRect &note, const QString &text, QPoint at = OnText)
    {
        desktop.click(note.topLeft() + at);
        Desktop::pause(300);
        desktop.type(text);
    }

    // Starts the notes program alone on these stored notes; the container's window, 0 when it did not come.
    static qulonglong startNotesOnly(Desktop &desktop, const QList<NoteRecord> &stored)
    {
        desktop.writeSettings({{u"StartNotes"_s, u"1"_s},
                               {u"StartCalc"_s, u"0"_s},
                               {u"StartClock"_s, u"0"_s},
                               {u"StartEmail"_s, u"0"_s}});
        desktop.writeNotes(u"notes.dat"_s, stored);
        desktop.startSuite();
        return desktop.waitTrayIcons(1).size() == 1 ? desktop.waitWindow(u"^Container$"_s) : 0;
    }

    static QList<qulonglong> notes(const Desktop &desktop)
    {
        QList<qulonglong> ids;
        for (const QString &id : desktop.xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^Note$"_s})
                                     .split(u'\n', Qt::SkipEmptyParts))
            ids.append(id.toULongLong());
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    // Leaves a note the way users do: a click on the empty desktop, clear of the container.
    void clickElsewhere(Desktop &desktop)
    {
        const qulonglong active = desktop.activeWindow();
        desktop.click(QPoint(30, 30));
        QVERIFY(Desktop::waitFor([&] { return desktop.activeWindow() != active; }, 3000));
    }

    static QList<NoteRecord> storedNotes(const Desktop &desktop)
    {
        return desktop.readNotes().value_or(QList<NoteRecord>());
    }

    static bool firstNoteText(const Desktop &desktop, const QString &text)
    {
        const QList<NoteRecord> notes = storedNotes(desktop);
        return !notes.isEmpty() && notes.first().text == text;
    }

    // The top-level windows of the suite that are on screen: a menu that opens is one more.
    static QList<qulonglong> suiteWindows(const Desktop &desktop) { return desktop.windowsOfClass(u"tarnibe"_s); }

    void terminate(Desktop &desktop)
    {
        ::kill(pid_t(desktop.suite()->processId()), SIGTERM);
        QVERIFY2(desktop.suiteEnded(5000), "tarnibe did not end on SIGTERM");
    }

private Q_SLOTS:
    void typedWordsAreSaved()
    {
        Desktop desktop;
        const Scene scene = withNewNote(desktop);
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + desktop.error()));
        const QRect &note = scene.note;

        // Three rounds of click, type, leave: every word reaches the file.
        QString expected;
        for (const QString &word : {u"one"_s, u" two"_s, u" three"_s}) {
            typeInto(desktop, note, word);
            Desktop::pause(200);
            clickElsewhere(desktop);
            expected += word;
            QVERIFY2(Desktop::waitFor([&] { return firstNoteText(desktop, expected); }, 4000),
                     qPrintable(u"notes.dat holds \""_s + storedNotes(desktop).value(0).text + u"\", not \""_s +
                                expected + u'"'));
        }
        // A click at the start of the first line puts the caret there.
        typeInto(desktop, note, u"zero "_s, TextStart);
        clickElsewhere(desktop);
        QVERIFY2(Desktop::waitFor([&] { return firstNoteText(desktop, u"zero one two three"_s); }, 4000),
                 qPrintable(storedNotes(desktop).value(0).text));
    }

    void menuIconDoubleClickCollapses()
    {
        Desktop desktop;
        const Scene scene = withNewNote(desktop);
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + desktop.error()));
        const QRect &note = scene.note;
        const qulonglong id = scene.id;
        QCOMPARE(note.size(), QSize(114, 88));
        const QList<qulonglong> windows = suiteWindows(desktop);

        // Collapsed to the 650 × 370 twips tab, and the menu's delay passes without a menu.
        desktop.doubleClick(note.topLeft() + MenuIcon);
        QVERIFY(Desktop::waitFor([&] { return desktop.geometry(id).size() == QSize(43, 25); }, 3000));
        Desktop::pause(600);
        QCOMPARE(suiteWindows(desktop), windows);
        QCOMPARE(desktop.geometry(id).topLeft(), note.topLeft());

        desktop.doubleClick(note.topLeft() + MenuIcon);
        QVERIFY(Desktop::waitFor([&] { return desktop.geometry(id).size() == QSize(114, 88); }, 3000));
        Desktop::pause(600);
        QCOMPARE(suiteWindows(desktop), windows);

        // Collapsed once more, the file keeps the tab and the size to return to.
        desktop.doubleClick(note.topLeft() + MenuIcon);
        QVERIFY(Desktop::waitFor([&] { return desktop.geometry(id).size() == QSize(43, 25); }, 3000));
        terminate(desktop);
        const QList<NoteRecord> stored = storedNotes(desktop);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(QList<int>({stored[0].width, stored[0].height, stored[0].oldWidth, stored[0].oldHeight}),
                 QList<int>({650, 370, 1710, 1320}));
    }

    void dragMovesClickDoesNot()
    {
        Desktop desktop;
        const Scene scene = withNewNote(desktop);
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + desktop.error()));
        const QRect &note = scene.note;
        const qulonglong id = scene.id;

        desktop.click(note.topLeft() + Background);
        Desktop::pause(400);
        QCOMPARE(desktop.geometry(id).topLeft(), note.topLeft());
        desktop.click(note.topLeft() + DragBar);
        Desktop::pause(400);
        QCOMPARE(desktop.geometry(id).topLeft(), note.topLeft());

        desktop.drag(note.topLeft() + DragBar, note.topLeft() + DragBar + QPoint(150, 80));
        QPoint expected = note.topLeft() + QPoint(150, 80);
        QVERIFY2(Desktop::waitFor(
                     [&] { return (desktop.geometry(id).topLeft() - expected).manhattanLength() <= DragLag; }, 3000),
                 qPrintable(u"dragged by the bar to (%1,%2), expected (%3,%4)"_s.arg(desktop.geometry(id).x())
                                .arg(desktop.geometry(id).y())
                                .arg(expected.x())
                                .arg(expected.y())));

        const QRect moved = desktop.geometry(id);
        desktop.drag(moved.topLeft() + Background, moved.topLeft() + Background + QPoint(-200, 60));
        expected = moved.topLeft() + QPoint(-200, 60);
        QVERIFY2(Desktop::waitFor(
                     [&] { return (desktop.geometry(id).topLeft() - expected).manhattanLength() <= DragLag; }, 3000),
                 "dragging the background did not move the note");
        QCOMPARE(desktop.geometry(id).size(), QSize(114, 88));
    }

    void gripResizesAndMagnifierPeeks()
    {
        Desktop desktop;
        const Scene scene = withNewNote(desktop);
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + desktop.error()));
        const QRect &note = scene.note;
        const qulonglong id = scene.id;

        // The grip in the corner uncovers the frame and drags the size.
        desktop.drag(note.topLeft() + Grip, note.topLeft() + Grip + QPoint(60, 40));
        QVERIFY2(Desktop::waitFor(
                     [&] {
                         const QSize size = desktop.geometry(id).size();
                         return size.width() >= 160 && size.height() >= 115;
                     },
                     3000),
                 "the grip did not resize the note");
        const QSize grown = desktop.geometry(id).size();
        QCOMPARE(desktop.geometry(id).topLeft(), note.topLeft());

        // Collapsed, the magnifier shows the whole note while it is held, and the tab again once let go.
        desktop.doubleClick(note.topLeft() + MenuIcon);
        QVERIFY(Desktop::waitFor([&] { return desktop.geometry(id).size() == QSize(43, 25); }, 3000));
        desktop.press(note.topLeft() + Magnifier);
        QVERIFY2(Desktop::waitFor([&] { return desktop.geometry(id).size() == grown; }, 3000),
                 "holding the magnifier did not show the note");
        Desktop::pause(300);
        desktop.release();
        QVERIFY2(Desktop::waitFor([&] { return desktop.geometry(id).size() == QSize(43, 25); }, 3000),
                 "letting go of the magnifier left the note open");
    }

    void rowClickBringsNoteBack()
    {
        Desktop desktop;
        const Scene scene = withNewNote(desktop);
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + desktop.error()));
        const QRect &note = scene.note;
        const qulonglong id = scene.id;
        const qulonglong container = desktop.waitWindow(u"^Container$"_s);

        // Hidden from its menu (the first item): its window goes altogether. A click on its row in the container
        // makes it again, where it was.
        desktop.click(note.topLeft() + MenuIcon);
        Desktop::pause(500);
        desktop.key(u"h"_s);
        QVERIFY(Desktop::waitFor([&] { return !desktop.isViewable(id); }, 3000));
        const auto anyNoteWindow = [&] {
            return !desktop.xdotool({u"search"_s, u"--name"_s, u"^Note$"_s}).trimmed().isEmpty();
        };
        QVERIFY2(Desktop::waitFor([&] { return !anyNoteWindow(); }, 3000), "the hidden note kept its window");
        desktop.click(desktop.geometry(container).topLeft() + FirstRow);
        QVERIFY2(Desktop::waitFor([&] { return notes(desktop).size() == 1; }, 3000),
                 "the row click did not show the note");
        QCOMPARE(desktop.geometry(notes(desktop)[0]), note);
    }

    // After a deletion the later rows move up, and each still brings back its own note.
    void rowsThatMovedUpShowTheirOwnNotes()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        QList<NoteRecord> stored{storedNote(u"one"_s, true), storedNote(u"two"_s, false),
                                 storedNote(u"three"_s, false)};
        stored[1].left = 3000; // 200 px
        stored[2].left = 4500; // 300 px
        const qulonglong container = startNotesOnly(desktop, stored);
        QVERIFY(container);
        QVERIFY(Desktop::waitFor([&] { return notes(desktop).size() == 1; }, 5000));
        const QRect first = desktop.geometry(notes(desktop)[0]);

        // "Delete the note" from its menu.
        desktop.click(first.topLeft() + MenuIcon);
        Desktop::pause(500);
        desktop.key(u"d"_s);
        QVERIFY(Desktop::waitFor([&] { return storedNotes(desktop).size() == 2; }, 5000));
        QVERIFY(Desktop::waitFor([&] { return notes(desktop).isEmpty(); }, 3000));

        // The second row is now "three"'s: its click shows the note at "three"'s place.
        desktop.click(desktop.geometry(container).topLeft() + FirstRow + QPoint(0, 24));
        QVERIFY2(Desktop::waitFor([&] { return notes(desktop).size() == 1; }, 3000), "the row click showed no note");
        QCOMPARE(desktop.geometry(notes(desktop)[0]).left(), 300);
    }

    // A thousand rows scroll, click, open their menus and show their alarm and " - empty -" rows as four do.
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
        const qulonglong container = startNotesOnly(desktop, stored);
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
        const QRect firstRow(client.topLeft() + QPoint(161, 40), QSize(256, 16));
        const QString top = desktop.pixels(firstRow);
        desktop.moveTo(firstRow.center());
        desktop.xdotool({u"click"_s, u"--repeat"_s, u"3"_s, u"5"_s});
        QVERIFY2(Desktop::waitFor([&] { return desktop.pixels(firstRow) != top; }, 3000), "the wheel scrolled nothing");
        const int bar = client.right() - 7;
        desktop.drag(QPoint(bar, client.top() + 22), QPoint(bar, client.bottom() + 60));
        Desktop::pause(300);

        // Empty notes read " - empty -": two such rows look alike, and unlike a row with a subject.
        const QStringList empty{desktop.pixels(rowText(996)), desktop.pixels(rowText(997))};
        QCOMPARE(empty[0], empty[1]);
        QVERIFY2(empty[0].section(u' ', 1).toInt() > 10, qPrintable(empty[0]));
        QVERIFY(desktop.pixels(rowText(995)) != empty[0]);
        // Only the note with an alarm has the icon in its row; its click offers to turn the alarm off.
        QVERIFY(desktop.pixels(alarm(998)) != desktop.pixels(alarm(997)));
        desktop.click(alarm(998).center());
        QVERIFY2(desktop.waitWindow(u"^Alarm is on...$"_s, 3000), "the row's alarm icon asked nothing");
        desktop.key(u"n"_s);

        // The last row's dot opens the row menu; its "Delete" takes out note 999, and the last row moves up.
        QVERIFY2(desktop.openMenu(dot(999)), "the row's dot opened no menu");
        desktop.key(u"d"_s);
        QVERIFY(Desktop::waitFor([&] { return storedNotes(desktop).size() == 999; }, 5000));
        QCOMPARE(storedNotes(desktop).constLast().text, u"note 1000"_s);
        QCOMPARE(storedNotes(desktop).value(997).alarmDate, u"2031-01-02"_s);
        desktop.click(rowText(999).center());
        QVERIFY2(Desktop::waitFor([&] { return notes(desktop).size() == 1; }, 3000), "the row click showed no note");
        QCOMPARE(desktop.geometry(notes(desktop)[0]).left(), 200);
    }

    void menuItemDoesNotMoveNote()
    {
        Desktop desktop;
        const Scene scene = withNewNote(desktop);
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + desktop.error()));
        const QRect &note = scene.note;
        QVERIFY(Desktop::waitFor([&] { return storedNotes(desktop).size() == 1; }, 3000));
        const NoteRecord placed = storedNotes(desktop)[0];

        // A click on the menu icon opens the menu; a click on its first item ("Hide the note") hides the note.
        const qulonglong menu = desktop.openMenu(note.topLeft() + MenuIcon);
        QVERIFY2(menu, "no menu opened");
        const QRect box = desktop.geometry(menu);
        QVERIFY(box.top() >= note.top());
        desktop.click(QPoint(box.x() + box.width() / 2, box.y() + 12));
        QVERIFY(Desktop::waitFor([&] { return notes(desktop).isEmpty(); }, 3000));

        terminate(desktop);
        const QList<NoteRecord> stored = storedNotes(desktop);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(QPoint(stored[0].left, stored[0].top), QPoint(placed.left, placed.top));
        QVERIFY(!stored[0].visible);
    }

    void twoLinesAreSavedWithCrLf()
    {
        Desktop desktop;
        const Scene scene = withNewNote(desktop);
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + desktop.error()));
        const QRect &note = scene.note;
        typeInto(desktop, note, u"line one"_s);
        desktop.key(u"Return"_s);
        desktop.type(u"line two"_s);
        clickElsewhere(desktop);
        QVERIFY(Desktop::waitFor([&] { return firstNoteText(desktop, u"line one\r\nline two"_s); }, 4000));
        QVERIFY(desktop.readData(u"notes.dat"_s).startsWith("18\r\nline one\r\nline two\r\n"));
    }

    void typedTextSurvivesTermination()
    {
        Desktop desktop;
        const Scene scene = withNewNote(desktop);
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + desktop.error()));
        const QRect &note = scene.note;
        typeInto(desktop, note, u"Buy milk"_s);
        Desktop::pause(300);
        terminate(desktop);
        QCOMPARE(storedNotes(desktop).value(0).text, u"Buy milk"_s);
    }

    void typedTextSurvivesExitNotes()
    {
        Desktop desktop;
        const Scene scene = withNewNote(desktop, true);
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + desktop.error()));
        const QRect &note = scene.note;
        const QList<QRect> &icons = scene.icons;
        typeInto(desktop, note, u"Call Anna"_s);
        Desktop::pause(300);

        // "Exit notes" from the notes icon's menu, with the keyboard as the menu offers it.
        desktop.click(icons[0].center(), 3);
        Desktop::pause(500);
        desktop.key(u"e"_s);
        QVERIFY(Desktop::waitFor([&] { return notes(desktop).isEmpty(); }, 3000));
        QVERIFY(Desktop::waitFor([&] { return firstNoteText(desktop, u"Call Anna"_s); }, 3000));
        QCOMPARE(desktop.waitTrayIcons(1).size(), 1);
        QVERIFY2(!desktop.suiteEnded(300), "the calculator went with the notes");
    }

    void containerComesBack()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        const QList<QRect> icons = start(desktop);
        const qulonglong container = desktop.waitWindow(u"^Container$"_s);
        QVERIFY(container);
        const QRect box = desktop.geometry(container);

        // The close button at the right end of the title bar that openbox draws puts the container away.
        const QRect frame = desktop.frameGeometry(container);
        QVERIFY(frame.top() < box.top() && frame.contains(box));
        desktop.click(QPoint(frame.right() - 8, frame.top() + (box.top() - frame.top()) / 2));
        QVERIFY2(Desktop::waitFor([&] { return !desktop.isViewable(container); }, 3000),
                 "the close button did nothing");

        // "Hide the container" ticked (answering No to keeping it hidden), then unticked: it is back, not minimised.
        desktop.click(icons.value(0).center(), 3);
        Desktop::pause(500);
        desktop.key(u"c"_s);
        QVERIFY(desktop.waitWindow(u"^Hide container$"_s, 3000));
        desktop.key(u"n"_s);
        QVERIFY(Desktop::waitFor([&] { return !desktop.waitWindow(u"^Hide container$"_s, 100); }, 3000));
        desktop.click(icons.value(0).center(), 3);
        Desktop::pause(500);
        desktop.key(u"c"_s);
        QVERIFY2(Desktop::waitFor([&] { return desktop.isViewable(container); }, 3000), "the container stays away");
        QVERIFY(desktop.windowState(container).contains(u"Normal"_s));
        QVERIFY(!desktop.windowState(container).contains(u"HIDDEN"_s));
    }
    // "Delete all notes" cannot be undone: Enter on its question keeps the notes; only Yes deletes them.
    void deleteAllDefaultsToNo()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        const QList<QRect> icons = start(desktop);
        QRect where;
        QVERIFY(newNote(desktop, icons.value(0), where));
        const auto stored = [&] {
            const auto notes = desktop.readNotes();
            return notes ? int(notes->size()) : -1;
        };
        QVERIFY(Desktop::waitFor([&] { return stored() == 1; }, 5000));
        const auto askDeleteAll = [&] {
            desktop.click(icons.value(0).center(), 3);
            Desktop::pause(500);
            desktop.key(u"d"_s);
            return desktop.waitWindow(u"^Delete all$"_s, 3000) != 0;
        };
        QVERIFY(askDeleteAll());
        desktop.key(u"Return"_s);
        QVERIFY(Desktop::waitFor([&] { return !desktop.waitWindow(u"^Delete all$"_s, 100); }, 3000));
        Desktop::pause(300);
        QCOMPARE(notes(desktop).size(), 1);
        QCOMPARE(stored(), 1);
        QVERIFY(askDeleteAll());
        desktop.key(u"y"_s);
        QVERIFY2(Desktop::waitFor([&] { return stored() == 0; }, 5000), "Yes deleted nothing");
    }
    // On a computer without a printer, Print says so instead of doing nothing.
    void printWithoutPrinterSaysSo()
    {
        // A print service that is not there: no printer, whatever this machine has.
        qputenv("CUPS_SERVER", QByteArray(QDir::tempPath().toUtf8() + "/no-cups-here.sock"));
        Desktop desktop;
        const Scene scene = withNewNote(desktop);
        qunsetenv("CUPS_SERVER");
        QVERIFY2(scene.id, qPrintable(u"no note: "_s + desktop.error()));
        QVERIFY(desktop.openMenu(scene.note.topLeft() + MenuIcon));
        desktop.key(u"p"_s);
        const qulonglong box = desktop.waitWindow(u"^Print$"_s, 5000);
        QVERIFY2(box, "Print said nothing");
        QVERIFY(QString::fromUtf8(desktop.readData(u"error.log"_s)).contains(u"err_Note_menu_Print_Click 482"_s));
        desktop.key(u"Return"_s);
        QVERIFY(Desktop::waitFor([&] { return !desktop.isViewable(box); }, 3000));
    }
    // Help on a computer where nothing opens web pages names the manual's file instead of doing nothing.
    void helpWithoutBrowserSaysWhereTheManualIs()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        desktop.writeSettings({{u"StartNotes"_s, u"1"_s},
                               {u"StartCalc"_s, u"0"_s},
                               {u"StartClock"_s, u"0"_s},
                               {u"StartEmail"_s, u"0"_s}});
        desktop.writeData(u"notes.dat"_s, {});
        desktop.startSuite({u"PATH="_s + desktop.runtimeDir(), u"BROWSER="_s});
        const QList<QRect> icons = desktop.waitTrayIcons(1);
        QVERIFY(desktop.waitWindow(u"^Container$"_s));
        desktop.click(icons.value(0).center(), 3);
        Desktop::pause(500);
        desktop.key(u"h"_s);
        QVERIFY2(desktop.waitWindow(u"^Help$"_s, 5000), "Help said nothing");
        QVERIFY(QFile::exists(desktop.runtimeDir() + u"/../cache/Tarnibe/help/notes.html"_s));
    }
};

} // namespace

QTEST_GUILESS_MAIN(tst_DesktopNotes)
#include "tst_DesktopNotes.moc"
