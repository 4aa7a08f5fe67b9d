// SPDX-License-Identifier: GPL-3.0-or-later
#include "NoteSamples.h"
#include "TestEnvironment.h"
#include "core/Twips.h"
#include "notes/NoteRows.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace NoteSamples;
using platform::MsgAnswer;

class tst_NoteStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { resetNotes(); }

    void storedNotesComeBackAsTheyWereLeft()
    {
        NoteRecord collapsed = collapse(stored(u"collapsed"_s, 1200, 900, 3000, 2000));
        collapsed.fontSize = 9; // not a size the menu offers
        // Text that no field of the file could hold as it stands.
        NoteRecord large =
            withAlarm(stored(u"Shopping:\r\n\"milk\", eggs, bread\r\n\r\n3,50 € – Grüße\r\n"_s, 4500, 1500));
        large.fontSize = 14;
        large.title = u"From Ann, desk 3"_s;
        NoteRecord hidden = stored(u"out of sight"_s, 6000, 3000);
        hidden.visible = false;
        NotesRun run({collapsed, large, hidden});
        QCOMPARE(windowLooks(), (QStringList{u"shown 650x370"_s, u"shown 2400x1800"_s, u"hidden 2400x1800"_s}));
        QCOMPARE(run.container->rowText(3), u"out of sight"_s); // a hidden note has no window, but its row

        // Saved straight away, every note is as it was read, but for the font size the menu does not offer.
        SaveAllNotes();
        collapsed.fontSize = 8;
        QCOMPARE(notesIn(NotesFilePath()), (QList<NoteRecord>{collapsed, large, hidden}));
    }

    // A deletion takes one note and one row out and moves the rest up: afterwards the windows, the rows and
    // notes.dat are what a fresh read of the file gives, for notes hidden, shown, collapsed, empty, with alarms.
    // A hidden note costs no window: one is made when the note is shown, at its place, size and font, and let go
    // when it is hidden again; the all-notes buttons act on hidden notes all the same.
    void aNoteHasAWindowOnlyWhileShown()
    {
        // Below the screen's bottom edge, as when the screen has shrunk since: it is shown in the middle.
        const QRect screen = screenTwips();
        NoteRecord big = stored(u"big print"_s, 3000, screen.height() + 1500, 2400, 1800);
        big.fontSize = 18;
        big.title = u"From Ann"_s;
        big.visible = false;
        NoteRecord small = stored(u"small"_s, 600, 600);
        small.visible = false;
        NotesRun run({big, small});
        form_Main &container = *run.container;
        QVERIFY(!NoteStore().window(1) && !NoteStore().window(2));

        container.label_NoteText_Click(1);
        QPointer<form_Note> window = NoteStore().window(1);
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->geometry(), QRect(toPixels((screen.width() - 2400) / 2),
                                           toPixels((screen.height() - 1800) / 2), toPixels(2400), toPixels(1800)));
        QCOMPARE(window->findChild<QLabel *>(u"label_Display"_s)->font().pointSize(), 18);
        QCOMPARE(window->findChild<QLabel *>(u"label_Display"_s)->text(), u"big print"_s);
        QCOMPARE(window->findChild<QLabel *>(u"label_C1"_s)->text(), u"From Ann"_s);

        // Moved by the user and hidden from its menu: the window goes, the record keeps the new place.
        window->move(toPixels(4500), toPixels(900));
        window->menu_SendNoteToContainer_Click();
        QTRY_VERIFY(window.isNull());
        QCOMPARE(geometry(*NoteStore().record(1)), QRect(4500, 900, 2400, 1800));
        SaveAllNotes();
        QCOMPARE(fileLooks(), (QStringList{u"hidden 2400x1800"_s, u"hidden 2400x1800"_s}));

        // Collapsed while hidden, then shown by "Show all": the tab, at the moved place; "Hide all" lets both go.
        container.image_Minimize_Click();
        QCOMPARE(windowLooks(), (QStringList{u"hidden 650x370"_s, u"hidden 650x370"_s}));
        QVERIFY(!NoteStore().window(1));
        container.image_ShowAll_Click();
        QCOMPARE(windowLooks(), (QStringList{u"shown 650x370"_s, u"shown 650x370"_s}));
        window = NoteStore().window(1);
        QCOMPARE(window->geometry(), QRect(toPixels(4500), toPixels(900), toPixels(650), toPixels(370)));
        // A row click opens a folded note out where it is, and flashes it.
        container.label_NoteText_Click(2);
        QCOMPARE(geometry(*NoteStore().record(2)), QRect(600, 600, 2400, 1800));
        QCOMPARE(NoteStore().window(2)->palette().color(QPalette::Window), QColor(Qt::white));
        QTRY_COMPARE(NoteStore().window(2)->palette().color(QPalette::Window), NoteYellow);
        container.image_Maximize_Click();
        QCOMPARE(window->geometry().size(), QSize(toPixels(2400), toPixels(1800)));
        QPointer<form_Note> other = NoteStore().window(2);
        container.image_HideAll_Click();
        QTRY_VERIFY(window.isNull() && other.isNull());
        QCOMPARE(fileLooks(), (QStringList{u"hidden 2400x1800"_s, u"hidden 2400x1800"_s}));

        // Shown again, hidden and shown before the window could go: the one window stays.
        window = NoteStore().show(2);
        NoteStore().hide(2);
        QCOMPARE(NoteStore().show(2), window.data());
        processDeletions();
        QVERIFY(window && window->isVisible());
    }

    // A deleted note's window lives on until the event in hand is over, and the window manager may still move or
    // size it meanwhile: that reaches a record of its own, never freed memory or another note (the sanitizer build
    // sees to the first). Its pending edit ends with it.
    void aDeletedNotesWindowOutlivesNothingItHolds()
    {
        NotesRun run({stored(u"one"_s, 600, 600), stored(u"two"_s, 1200, 1200)});
        const QPointer<form_Note> doomed = NoteStore().window(1);
        doomed->label_Display_Click();
        QTest::keyClicks(doomed->findChild<QPlainTextEdit *>(u"text_NoteInput"_s), u"half typed"_s);
        DeleteNote(1, false);
        QVERIFY(doomed && !doomed->isVisible());
        doomed->setGeometry(10, 10, 300, 200);
        doomed->timer_Focus_Timer();
        QCOMPARE(run.container->rowText(1), u"two"_s);
        QCOMPARE(geometry(*NoteStore().record(1)), QRect(1200, 1200, 2400, 1800));
        QTRY_VERIFY(doomed.isNull());
        QCOMPARE(texts(notesIn(NotesFilePath())), QStringList{u"two"_s});
    }

    void aDeletionLeavesWhatAFreshReadGives()
    {
        QList<NoteRecord> notes;
        for (int i = 0; i < 200; ++i) {
            NoteRecord note = stored(i % 11 ? u"note "_s + QString::number(i) : QString(), 600 + (i % 20) * 150,
                                     600 + (i % 13) * 150);
            note.visible = i % 3 != 0;
            if (i % 7 == 0)
                note = collapse(note);
            if (i % 5 == 0)
                note = withAlarm(note);
            notes << note;
        }
        NotesRun run(notes);
        form_Main &container = *run.container;
        container.NewNote_Click(u"added"_s, false, u"From Ann"_s, u"NO_DATE_SET"_s, u"-1"_s, u"00:00"_s, QString());

        const auto look = [&] {
            QStringList lines;
            for (int i = 1; i <= NoteStore().count(); ++i) {
                const form_Note *note = NoteStore().window(i);
                lines << QStringList{note && note->isVisible() ? u"shown"_s : u"hidden"_s,
                                     note ? u"%1x%2"_s.arg(note->width()).arg(note->height()) : QString(),
                                     NoteStore().record(i)->text,
                                     container.rowText(i),
                                     QString::number(container.rows()->top(i)),
                                     container.rows()->alarmShown(i) ? container.rows()->alarmTip(i) : u"no alarm"_s}
                             .join(u'|');
            }
            return lines;
        };
        // The first, some in between, and the last (the received note).
        for (const int position : {1, 57, 120, 150, 0}) {
            DeleteNote(position ? position : NoteStore().count(), false);
            processDeletions();
            const QStringList afterDeletion = look();
            QCOMPARE(afterDeletion.size(), NoteStore().count());
            QCOMPARE(notesIn(NotesFilePath()), tableRecords());

            container.discardRows();
            NoteStore().clear();
            processDeletions();
            ReadSavedData();
            container.CreateLabels();
            QCOMPARE(look(), afterDeletion);
        }
        QCOMPARE(container.rowCount(), 196);
    }

    // The start lets events run between notes: a save or a deletion asked for then waits until the table is whole,
    // so that no partial file is written and the good one rotated away into the backup.
    void aSaveOrDeletionDuringTheReadWaitsForTheWholeTable()
    {
        TestEnvironment env;
        QList<NoteRecord> notes;
        for (int i = 0; i < 30; ++i)
            notes << stored(u"note "_s + QString::number(i), 600, 600);
        QVERIFY(writeFile(NotesFilePath(), encodeNotes(notes)));
        // Nothing is saved while the notes program is not running.
        NoteStore().append(stored(u"unsaved"_s, 600, 600));
        SaveAllNotes();
        QCOMPARE(fileBytes(NotesFilePath()), encodeNotes(notes));
        resetNotes();
        ProgramRunFlags().notes = true;
        QTimer::singleShot(0, [] { SaveAllNotes(); });
        QTimer::singleShot(0, [] { DeleteNote(1, false); });
        ReadSavedData();
        QCOMPARE(texts(notesIn(NotesBackupPath())), texts(notes));
        QTRY_COMPARE(NoteStore().count(), 29);
        notes.removeFirst();
        QCOMPARE(texts(notesIn(NotesFilePath())), texts(notes));
        QCOMPARE(texts(tableRecords()), texts(notes));
    }

    // A notes file that is missing or damaged (set aside as notes.bad) offers the backup, unless the user is new.
    void aMissingFileOffersTheBackup_data()
    {
        QTest::addColumn<bool>("firstLaunch");
        QTest::addColumn<bool>("backupExists");
        QTest::addColumn<QByteArray>("damaged");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<QStringList>("expected");

        const QStringList backup{u"saved yesterday"_s, u"and this"_s};
        const QByteArray none;
        QTest::newRow("yes, backup read") << false << true << none << true << MsgAnswer::Yes << backup;
        QTest::newRow("yes, no backup either") << false << false << none << true << MsgAnswer::Yes << QStringList();
        QTest::newRow("no") << false << true << none << true << MsgAnswer::No << QStringList();
        // Only a user without either file is new; a lone backup still means notes were lost.
        QTest::newRow("first launch with a backup") << true << true << none << true << MsgAnswer::Yes << backup;
        QTest::newRow("new user") << true << false << none << false << MsgAnswer::Yes << QStringList();
        // One good record, then a length that runs past the end of the file.
        QTest::newRow("damaged") << false << true
                                 << encodeNotes({stored(u"half saved"_s, 600, 600)}) + "500\r\ncut short\r\n"
                                 << true << MsgAnswer::Yes << backup;
    }
    void aMissingFileOffersTheBackup()
    {
        QFETCH(bool, firstLaunch);
        QFETCH(bool, backupExists);
        QFETCH(QByteArray, damaged);
        QFETCH(bool, asked);
        QFETCH(MsgAnswer, answer);
        QFETCH(QStringList, expected);
        TestEnvironment env;
        Settings().FirstLaunch = firstLaunch;
        const QByteArray backup =
            encodeNotes({stored(u"saved yesterday"_s, 600, 600), stored(u"and this"_s, 1200, 1200)});
        QVERIFY(!backupExists || writeFile(NotesBackupPath(), backup));
        QVERIFY(damaged.isEmpty() || writeFile(NotesFilePath(), damaged));
        if (asked)
            env.messages.expect(answer);

        ReadSavedData();
        processDeletions();

        QCOMPARE(env.messages.shown().size(), asked ? 1 : 0);
        QCOMPARE(env.logLines().value(0).startsWith(u"\"err_Bas_ReadSavedData "_s), asked);
        QCOMPARE(texts(tableRecords()), expected);
        // Yes copies the backup to the notes file; otherwise neither file changes.
        QCOMPARE(fileBytes(NotesBackupPath()), backupExists ? backup : QByteArray());
        QCOMPARE(fileBytes(platform::dataFile(u"notes.bad"_s)), damaged);
        QCOMPARE(QFile::exists(NotesFilePath()), !expected.isEmpty());
        if (!expected.isEmpty())
            QCOMPARE(fileBytes(NotesFilePath()), backup);
    }
};

QTEST_MAIN(tst_NoteStore)
#include "tst_NoteStore.moc"
