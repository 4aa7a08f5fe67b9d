// SPDX-License-Identifier: GPL-3.0-or-later
// Notes imported from the command line while the suite runs on a real desktop.
#include "Desktop.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_DesktopNotesCommand : public QObject {
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
};

QTEST_GUILESS_MAIN(tst_DesktopNotesCommand)
#include "tst_DesktopNotesCommand.moc"
