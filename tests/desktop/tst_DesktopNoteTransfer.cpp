// SPDX-License-Identifier: GPL-3.0-or-later
// Notes found, restored and imported while the suite runs on a real desktop.
#include "Desktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The first row of the container, in its client area, below the search field.
const QPoint FirstRow(250, 73);
const QPoint BelowTheRows(300, 200);

QList<qulonglong> notes(const Desktop &desktop)
{
    return desktop.search({u"--name"_s, u"^Note$"_s});
}

// Waits for one more note window than `before`, and returns where it is.
QRect newNoteAt(const Desktop &desktop, qsizetype before)
{
    if (!Desktop::waitFor([&] { return notes(desktop).size() > before; }, 5000))
        return {};
    return desktop.settledGeometry(notes(desktop).constLast());
}

} // namespace

class tst_DesktopNoteTransfer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The running suite takes them: they show at once as new notes show, centred on this screen and each moved on
    // from the last, and the notes file holds them.
    void importedNotesShowAsNewNotes()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        NoteRecord present;
        present.text = u"present"_s;
        std::tie(present.left, present.top, present.width, present.height) = std::tuple(1500, 1500, 2400, 1800);
        desktop.startNotes({present});
        QVERIFY(desktop.waitTrayIcons(1).size() == 1 && desktop.waitWindow(u"^Container$"_s));
        QFile file(QFileInfo(desktop.runtimeDir()).path() + u"/home/two.txt"_s);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Tarnibe notes\n\n## Milk\nAlarm: none\n> Milk\n\n## Eggs\nAlarm: none\n> Eggs\n");
        file.close();

        QProcess *command = desktop.startHelper(QStringLiteral(TARNIBE_BINARY), {u"--import-notes"_s, u"two.txt"_s});
        QVERIFY(command->waitForFinished(30000));
        QCOMPARE(command->readAllStandardOutput(),
                 "Found 2 notes in " + QFile::encodeName(file.fileName()) + ". Added them as new notes.\n");
        QCOMPARE(command->exitCode(), 0);
        QVERIFY(Desktop::waitFor([&] { return desktop.search({u"--name"_s, u"^Note$"_s}).size() == 3; }, 5000));
        QList<QRect> placed;
        for (const qulonglong note : desktop.search({u"--name"_s, u"^Note$"_s}))
            placed << desktop.settledGeometry(note);
        std::sort(placed.begin(), placed.end(), [](const QRect &a, const QRect &b) { return a.x() < b.x(); });
        // 1280 x 800 pixels; a new note is 114 x 88, and the next one 150 twips (10 pixels) on.
        QVERIFY((placed[0].topLeft() - QPoint(100, 100)).manhattanLength() <= 2); // the note that was there
        QVERIFY2((placed[1].topLeft() - QPoint(583, 356)).manhattanLength() <= 2,
                 qPrintable(u"%1,%2"_s.arg(placed[1].x()).arg(placed[1].y())));
        QCOMPARE(placed[2].topLeft() - placed[1].topLeft(), QPoint(10, 10));
        const auto stored = desktop.readNotes();
        QVERIFY(stored && stored->size() == 3 && stored->at(2).text == u"Eggs"_s);
    }

    // Typed into the field Ctrl+F gives, the words narrow the rows whatever the accents on either side: Enter shows
    // the first match's note, a click on the first row shows the first match, Escape brings every row back.
    void searchNarrowsTheRowsAsTyped()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        QList<NoteRecord> stored{storedNote(u"Buy milk"_s, false), storedNote(u"Call René"_s, false),
                                 storedNote(u"Cafe at ten"_s, false)};
        for (int i = 0; i < 3; ++i)
            stored[i].left = 1500 + 3000 * i; // 100, 300 and 500 pixels
        desktop.startNotes(stored);
        QVERIFY(desktop.waitTrayIcons(1).size() == 1);
        const qulonglong container = desktop.waitWindow(u"^Container$"_s);
        QVERIFY(container);
        const QPoint client = desktop.settledGeometry(container).topLeft();
        const auto find = [&](const QString &typed) {
            desktop.click(client + BelowTheRows);
            Desktop::pause(300);
            desktop.key(u"ctrl+f"_s);
            desktop.type(typed);
            Desktop::pause(300);
        };
        find(u"café"_s);
        desktop.key(u"Return"_s);
        QCOMPARE(newNoteAt(desktop, 0).left(), 500);
        find(u"RENE"_s);
        desktop.click(client + FirstRow);
        QCOMPARE(newNoteAt(desktop, 1).left(), 300);
        find(u"ten"_s);
        desktop.key(u"Escape"_s);
        Desktop::pause(300);
        desktop.click(client + FirstRow);
        QCOMPARE(newNoteAt(desktop, 2).left(), 100);
    }

    // "Restore notes..." on the notes icon's menu lists the backups; No to its question changes nothing, Yes puts
    // the backup's notes in place and keeps the notes there were as a backup of their own.
    void restoreFromTheMenu()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        desktop.writeNotes(u"backups/notes-2026-11-02.dat"_s, {storedNote(u"from November"_s, true)});
        desktop.startNotes({storedNote(u"present"_s, false)});
        const QList<QRect> icons = desktop.waitTrayIcons(1);
        QVERIFY(icons.size() == 1 && desktop.waitWindow(u"^Container$"_s));
        const QByteArray present = desktop.readData(u"notes.dat"_s);
        const QDir backups(desktop.runtimeDir() + u"/../data/Tarnibe/backups"_s);
        for (const QString &answer : {u"n"_s, u"y"_s}) {
            QVERIFY(desktop.chooseFromMenu(icons[0].center(), u"r"_s));
            const qulonglong list = desktop.waitWindow(u"^Restore notes$"_s, 5000);
            QVERIFY2(list, "no list of backups");
            desktop.key(u"Return"_s);
            const qulonglong box = desktop.waitWindow(u"^Restore$"_s, 5000);
            QVERIFY2(box, "restoring asked nothing");
            desktop.key(answer);
            QVERIFY(Desktop::waitFor([&] { return !desktop.isViewable(box); }, 3000));
            if (answer == u"n"_s) {
                Desktop::pause(500);
                QCOMPARE(desktop.readData(u"notes.dat"_s), present);
                QCOMPARE(backups.entryList(QDir::Files).size(), 1);
                desktop.key(u"Escape"_s);
                QVERIFY(Desktop::waitFor([&] { return !desktop.isViewable(list); }, 3000));
            }
        }
        QVERIFY2(
            Desktop::waitFor(
                [&] { return desktop.readNotes().value_or(QList<NoteRecord>()).value(0).text == u"from November"_s; },
                5000),
            "Yes restored nothing");
        // The restored note shows, once the window manager has mapped it.
        QVERIFY2(Desktop::waitFor([&] { return notes(desktop).size() == 1; }, 5000), "the restored note did not show");
        const QStringList kept = backups.entryList({u"notes-*-*-*-*.dat"_s}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(desktop.readNotes(u"backups/"_s + kept[0]).value_or(QList<NoteRecord>()).value(0).text, u"present"_s);
    }

    // Exported through the container's menu and Qt's file dialog, the notes come back by "Import notes..." as new
    // notes with their texts, once the count is confirmed; a file of neither form says so and adds nothing.
    void exportAndImportThroughTheMenus()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        const QString home = QFileInfo(desktop.runtimeDir()).path() + u"/home/"_s;
        QFile garbage(home + u"garbage.txt"_s);
        QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write("\x01\x02 not notes\n") > 0);
        garbage.close();
        desktop.startNotes({storedNote(u"Buy milk"_s, false), storedNote(u"Café\r\nat ten"_s, false)});
        QVERIFY(desktop.waitTrayIcons(1).size() == 1);
        const qulonglong container = desktop.waitWindow(u"^Container$"_s);
        QVERIFY(container);
        const QPoint surface = desktop.settledGeometry(container).topLeft() + BelowTheRows;
        // Each step: the menu's item, the name typed into the dialog, the keys for the box that follows.
        const std::tuple<QString, QString, QString, QString> steps[] = {
            {u"p"_s, u"^Export notes$"_s, u"all.txt"_s, u"Return"_s},
            {u"p"_s, u"^Export notes$"_s, u"all.dat"_s, u"Return"_s},
            {u"n"_s, u"^Import notes$"_s, u"all.txt"_s, u"y"_s},
            {u"n"_s, u"^Import notes$"_s, u"all.dat"_s, u"y"_s},
            {u"n"_s, u"^Import notes$"_s, u"garbage.txt"_s, u"Return"_s}};
        for (const auto &[item, title, name, answer] : steps) {
            QVERIFY2(desktop.chooseFromMenu(surface, item), qPrintable(name));
            const qulonglong dialog = desktop.waitWindow(title, 5000);
            QVERIFY2(dialog, qPrintable(title));
            Desktop::pause(300);
            desktop.type(name);
            desktop.key(u"Return"_s);
            QVERIFY(Desktop::waitFor([&] { return !desktop.isViewable(dialog); }, 3000));
            const qulonglong box = desktop.waitWindow(title, 5000);
            QVERIFY2(box, qPrintable(name + u": no box"_s));
            desktop.key(answer);
            QVERIFY(Desktop::waitFor([&] { return !desktop.isViewable(box); }, 3000));
        }
        Desktop::pause(500);
        const QList<NoteRecord> stored = desktop.readNotes().value_or(QList<NoteRecord>());
        // Both forms bring the notes back as they were, but for where they are placed.
        QCOMPARE(stored.size(), 6);
        const auto unplaced = [](NoteRecord note) {
            note.left = note.top = 0;
            note.visible = false;
            return note;
        };
        for (int copy : {2, 4})
            for (int i = 0; i < 2; ++i)
                QVERIFY2(unplaced(stored[copy + i]) == unplaced(stored[i]), qPrintable(stored[copy + i].text));
    }
};

QTEST_GUILESS_MAIN(tst_DesktopNoteTransfer)
#include "tst_DesktopNoteTransfer.moc"
