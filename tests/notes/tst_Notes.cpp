// SPDX-License-Identifier: GPL-3.0-or-later
// The notes program: its table and file at the start and on every change, the container, the note windows and the
// notes icon's menu.
#include "NoteSamples.h"
#include "core/DateText.h"
#include "core/Twips.h"
#include "platform/Paths.h"
#include "platform/Printing.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <cmath>

using namespace Qt::StringLiterals;
using namespace NoteSamples;
using platform::MsgAnswer;

namespace {

// The all-notes buttons on show, such as "HideAll Minimize".
QString buttonsShown(const form_Main &container)
{
    QStringList names;
    for (const QString &name : {u"HideAll"_s, u"ShowAll"_s, u"Minimize"_s, u"Maximize"_s}) {
        if (container.findChild<QToolButton *>(u"image_"_s + name)->isVisibleTo(&container))
            names << name;
    }
    return names.join(u' ');
}

// A click on one of the container's buttons, which the user can only make on the one of its pair on show.
void clickButton(form_Main &container, const QString &name)
{
    auto *button = container.findChild<QToolButton *>(u"image_"_s + name);
    QVERIFY(button->isVisibleTo(&container));
    QTest::mouseClick(button, Qt::LeftButton);
}

// A left click on a note's picture or text, or an item of its menu as the user picks it.
void clickOn(const QWidget &note, const QString &name)
{
    auto *target = note.findChild<QWidget *>(name);
    QVERIFY(target && target->isVisible());
    QTest::mouseClick(target, Qt::LeftButton);
}
// Opens the note's menu from its icon and clicks the item; one in a submenu is triggered as its click would.
void pick(const QWidget &note, const QString &item)
{
    clickOn(note, u"image_Menu"_s);
    QMenu *menu = nullptr;
    QTRY_VERIFY((menu = note.findChild<QMenu *>(u"menu_NoteMenu"_s)) && menu->isVisible());
    auto *action = note.findChild<QAction *>(item);
    QVERIFY(action);
    QSignalSpy picked(action, &QAction::triggered);
    if (menu->actions().contains(action)) {
        // Onto the item, then Enter: Qt 6.8's menu on the offscreen platform lets a click straight after it opened
        // go by.
        QTest::mouseMove(menu, menu->actionGeometry(action).center());
        menu->setActiveAction(action);
        QTest::keyClick(menu, Qt::Key_Return);
    } else {
        action->trigger();
    }
    QVERIFY2(picked.count() == 1, qPrintable(item));
    menu->hide();
}

const NoteRecord BuyMilk = stored(u"Buy milk\r\nand bread"_s, 1500, 1500, 3000, 2500);

// A start without a good notes file: who the user is, which files there are, and what the start should do.
struct BackupCase {
    bool firstLaunch, backupExists;
    QByteArray damaged;
    bool asked;
    MsgAnswer answer;
    bool readsBackup;
};

} // namespace

Q_DECLARE_METATYPE(BackupCase)

class tst_Notes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void storedNotesComeBackAsTheyWereLeftAndADeletedOnesWindowHoldsNothing()
    {
        NoteRecord collapsed = collapse(stored(u"collapsed"_s, 1200, 900, 3000, 2000));
        collapsed.fontSize = 9; // not a size the menu offers
        // Text that no field of the file could hold as it stands.
        NoteRecord large =
            withAlarm(stored(u"Shopping:\r\n\"milk\", eggs, bread\r\n\r\n3,50 € – Grüße\r\n"_s, 4500, 1500));
        std::tie(large.fontSize, large.title) = std::tuple(14, u"From Ann, desk 3"_s);
        NoteRecord hidden = stored(u"out of sight"_s, 6000, 3000);
        hidden.visible = false;
        NotesRun run({collapsed, large, hidden});
        QCOMPARE(windowLooks(), (QStringList{u"shown 650x370"_s, u"shown 2400x1800"_s, u"hidden 2400x1800"_s}));
        QCOMPARE(run.container->rowText(3), u"out of sight"_s); // a hidden note has no window, but its row

        // Saved straight away, every note is as it was read, but for the font size the menu does not offer.
        SaveAllNotes();
        collapsed.fontSize = 8;
        QCOMPARE(notesIn(NotesFilePath()), (QList<NoteRecord>{collapsed, large, hidden}));

        // A note deleted from its own menu leaves its window until the event in hand is over, and the window manager
        // may still move or size it meanwhile: that reaches a record of its own, never freed memory or another note
        // (the sanitizer build sees to the first). Its pending edit ends with it.
        const QPointer<form_Note> doomed = NoteWindow(2);
        clickOn(*doomed, u"label_Display"_s);
        QTest::keyClicks(doomed->findChild<QPlainTextEdit *>(u"text_NoteInput"_s), u"half typed"_s);
        pick(*doomed, u"menu_Trash"_s);
        QVERIFY(doomed && !doomed->isVisible());
        doomed->setGeometry(10, 10, 300, 200);
        QTest::qWait(300); // past the edit's focus check, begun by the click
        QCOMPARE(run.container->rowText(2), u"out of sight"_s);
        QCOMPARE(geometry(*NoteStore().record(2)), QRect(6000, 3000, 2400, 1800));
        QTRY_VERIFY(doomed.isNull());
        QCOMPARE(texts(notesIn(NotesFilePath())), (QStringList{u"collapsed"_s, u"out of sight"_s}));
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
        std::tie(big.fontSize, big.title, big.visible) = std::tuple(18, u"From Ann"_s, false);
        NoteRecord small = stored(u"small"_s, 600, 600);
        small.visible = false;
        NotesRun run({big, small});
        form_Main &container = *run.container;
        QVERIFY(!NoteWindow(1) && !NoteWindow(2));

        NoteSamples::clickRow(container, 1, NoteRows::Part::Text);
        QPointer<form_Note> window = NoteWindow(1);
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->geometry(), QRect(toPixels((screen.width() - 2400) / 2),
                                           toPixels((screen.height() - 1800) / 2), toPixels(2400), toPixels(1800)));
        QCOMPARE(window->findChild<QLabel *>(u"label_Display"_s)->font().pointSize(), 18);
        QCOMPARE(window->findChild<QLabel *>(u"label_Display"_s)->text(), u"big print"_s);
        QCOMPARE(window->findChild<QLabel *>(u"label_C1"_s)->text(), u"From Ann"_s);

        // Collapsed while hidden, then shown by "Show all": the tab, where it was; "Hide all" lets both go.
        NoteStore().hide(1);
        QTRY_VERIFY(window.isNull());
        clickButton(container, u"Minimize"_s);
        QCOMPARE(windowLooks(), (QStringList{u"hidden 650x370"_s, u"hidden 650x370"_s}));
        QVERIFY(!NoteWindow(1));
        clickButton(container, u"HideAll"_s); // which puts "Show all" on show
        clickButton(container, u"ShowAll"_s);
        QCOMPARE(windowLooks(), (QStringList{u"shown 650x370"_s, u"shown 650x370"_s}));
        window = NoteWindow(1);
        QCOMPARE(window->geometry(), QRect(toPixels((screen.width() - 2400) / 2),
                                           toPixels((screen.height() - 1800) / 2), toPixels(650), toPixels(370)));
        // A row click opens a folded note out where it is, and flashes it.
        NoteSamples::clickRow(container, 2, NoteRows::Part::Text);
        QCOMPARE(geometry(*NoteStore().record(2)), QRect(600, 600, 2400, 1800));
        QCOMPARE(NoteWindow(2)->palette().color(QPalette::Window), QColor(Qt::white));
        QTRY_COMPARE(NoteWindow(2)->palette().color(QPalette::Window), NoteYellow);
        clickButton(container, u"Maximize"_s);
        QCOMPARE(window->geometry().size(), QSize(toPixels(2400), toPixels(1800)));
        QPointer<form_Note> other = NoteWindow(2);
        clickButton(container, u"HideAll"_s);
        QTRY_VERIFY(window.isNull() && other.isNull());
        QCOMPARE(fileLooks(), (QStringList{u"hidden 2400x1800"_s, u"hidden 2400x1800"_s}));

        // Shown again, hidden and shown before the window could go: the one window stays.
        window = ShowNote(2);
        NoteStore().hide(2);
        QCOMPARE(ShowNote(2), window.data());
        processDeletions();
        QVERIFY(window && window->isVisible());
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
                const form_Note *note = NoteWindow(i);
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
            QCOMPARE(notesIn(NotesFilePath()), tableRecords());

            NoteStore().clear(); // and the rows with it
            processDeletions();
            ReadSavedData();
            container.CreateLabels();
            QCOMPARE(look(), afterDeletion);
        }
        QCOMPARE(container.rowCount(), 196);
    }

    // A save or a deletion asked for while the start reads the notes waits until the table is whole, so that no
    // partial file is written and the good one rotated away into the backup.
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
        NoteStore().remove(1);
        ProgramRunFlags().notes = true;
        QTimer::singleShot(0, [] { SaveAllNotes(); });
        QTimer::singleShot(0, [] { DeleteNote(1, false); });
        ReadSavedData();
        QTRY_COMPARE(NoteStore().count(), 29);
        QCOMPARE(texts(notesIn(NotesBackupPath())), texts(notes));
        notes.removeFirst();
        QCOMPARE(texts(notesIn(NotesFilePath())) + texts(tableRecords()), texts(notes) + texts(notes));
    }

    // A notes file that is missing or damaged (set aside as notes.bad) offers the backup, unless the user is new.
    void aMissingFileOffersTheBackup_data()
    {
        QTest::addColumn<BackupCase>("c");
        QTest::newRow("yes, no backup either") << BackupCase{false, false, {}, true, MsgAnswer::Yes, false};
        QTest::newRow("no") << BackupCase{false, true, {}, true, MsgAnswer::No, false};
        // Only a user without either file is new; a lone backup still means notes were lost.
        QTest::newRow("first launch with a backup") << BackupCase{true, true, {}, true, MsgAnswer::Yes, true};
        QTest::newRow("new user") << BackupCase{true, false, {}, false, MsgAnswer::Yes, false};
        // One good record, then a length that runs past the end of the file.
        QTest::newRow("damaged") << BackupCase{
            false, true,           encodeNotes({stored(u"half saved"_s, 600, 600)}) + "500\r\ncut short\r\n",
            true,  MsgAnswer::Yes, true};
    }
    void aMissingFileOffersTheBackup()
    {
        QFETCH(BackupCase, c);
        const auto &[firstLaunch, backupExists, damaged, asked, answer, readsBackup] = c;
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
        const QStringList expected = readsBackup ? QStringList{u"saved yesterday"_s, u"and this"_s} : QStringList();
        QCOMPARE(texts(tableRecords()), expected);
        // Yes copies the backup to the notes file; otherwise neither file changes.
        QCOMPARE(fileBytes(NotesBackupPath()), backupExists ? backup : QByteArray());
        QCOMPARE(fileBytes(platform::dataFile(u"notes.bad"_s)), damaged);
        QCOMPARE(QFile::exists(NotesFilePath()), !expected.isEmpty());
        if (!expected.isEmpty())
            QCOMPARE(fileBytes(NotesFilePath()), backup);
    }

    void theNewNoteButtonStopsAtFortyButReceivedNotesDoNot()
    {
        NotesRun run(numbered(40));
        form_Main &container = *run.container;

        run.env.messages.expect(platform::MsgAnswer::Ok);
        clickButton(container, u"NewNote"_s);

        QCOMPARE(run.env.messages.shown().size(), 1);
        QVERIFY(Settings().cntNote == 0 && run.env.sound.m_played.isEmpty());

        container.NewNote_Click(u"Lunch at one?"_s, true, u"From Bob"_s, u"2026-12-24"_s, u"0"_s, u"08:15"_s,
                                u"Alarm: 24 Dec 08:15"_s);
        container.NewNote_Click(u"No alarm here"_s, false, u"From Eve"_s, u"NO_DATE_SET"_s, u"-1"_s, u"13:25"_s,
                                u"nothing set"_s);

        QCOMPARE(QString::number(container.rowCount()) + u' ' + container.rowText(41), u"42 Lunch at one?"_s);
        form_Note *received = NoteWindow(41);
        QVERIFY(received->isVisible());
        const QDateTime now = run.env.clock.now();
        QCOMPARE(received->findChild<QLabel *>(u"label_C1"_s)->toolTip(),
                 u"Received : "_s + formatDate(now.date()) + u"   "_s + formatTime(now.time()));
        QCOMPARE(run.icons(41) + u", "_s + run.icons(42), u"Alarm: 24 Dec 08:15, hidden"_s);
    }

    void newNotesStackFromTheCentreKeepWhatIsTypedAndTheWindowKeepsItsLimitsScrollsAndOnlyMinimises()
    {
        NotesRun run(numbered(2));
        form_Main &container = *run.container;
        const int loadWidth = toTwips(container.width());
        container.show();
        QVERIFY(QTest::qWaitForWindowExposed(&container));
        const auto *horizontal = container.findChild<QScrollBar *>(u"HScroll1"_s);
        const auto *vertical = container.findChild<QScrollBar *>(u"VScroll1"_s);

        container.resize(container.width() + 120, toPixels(container.surfaceHeightTwips() + 400) + 150);
        QTRY_COMPARE(container.size(), QSize(toPixels(loadWidth),
                                             toPixels(container.surfaceHeightTwips() + 400 + form_Main::SearchHeight)));
        // At its full size the window holds the whole surface.
        QVERIFY(!horizontal->isVisibleTo(&container) && !vertical->isVisibleTo(&container));

        while (NoteStore().count() < 14)
            clickButton(container, u"NewNote"_s);
        const QRect screen = screenTwips();
        for (int i = 3; i <= 5; ++i) {
            const form_Note *note = NoteWindow(i);
            const NoteRecord &r = note->record();
            const int offset = 150 * (i - 3);
            QCOMPARE(QPoint(r.left, r.top),
                     QPoint((screen.width() - r.width) / 2 + offset, (screen.height() - r.height) / 2 + offset));
            QCOMPARE(note->pos(), QPoint(toPixels(r.left), toPixels(r.top)));
        }
        QCOMPARE(QString::number(Settings().cntNote) + u' ' + QString::number(Settings().totNote), u"12 12"_s);
        QCOMPARE(notesIn(NotesFilePath()).size(), 14);
        QCOMPARE(container.rows()->top(3) - container.rows()->top(2), 360);
        QCOMPARE(container.rowText(3) + u", alarm "_s + run.icons(3), u" - empty -, alarm hidden"_s);
        QVERIFY(vertical->isVisibleTo(&container) && !horizontal->isVisibleTo(&container));
        QVERIFY(vertical->maximum() > 0);

        container.resize(container.width() - 100, container.height() - 50);
        QTRY_COMPARE(container.width(), toPixels(loadWidth) - 100);

        QVERIFY(!container.close());
        QTRY_VERIFY(container.isMinimized());
        QVERIFY(!container.isHidden());
        QCoreApplication::processEvents(); // a late second state change would be counted too
        QCOMPARE(QList<int>({Settings().cntContainer, Settings().totContainer}), QList<int>({1, 1}));

        // A new note edited: leaving it and hiding it both keep what was typed.
        form_Note *note = NoteWindow(3);
        clickOn(*note, u"label_Display"_s);
        QVERIFY(note->isEditing());
        auto *input = note->findChild<QPlainTextEdit *>(u"text_NoteInput"_s);
        QTest::keyClicks(input, u"say \"hi\""_s);
        QCOMPARE(input->toPlainText(), u"say 'hi'"_s);

        // Another window becomes active: editing ends, and the row follows.
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(!note->isEditing());
        QCOMPARE(container.rowText(3), u"say 'hi'"_s);

        // Hidden while being edited: the typed text is kept when the window goes.
        clickOn(*note, u"label_Display"_s);
        input->clear();
        QTest::keyClicks(input, u"kept"_s);
        const QPointer<form_Note> hidden = note;
        pick(*note, u"menu_SendNoteToContainer"_s);
        QTRY_VERIFY(hidden.isNull());
        QCOMPARE(NoteStore().record(3)->text, u"kept"_s);
        QCOMPARE(container.rowText(3), u"kept"_s);
        QCOMPARE(notesIn(NotesFilePath()).value(2).text, u"kept"_s);
    }

    void theIconMenuActsOnAllNotesAndTheRowMenuOnOne()
    {
        TestEnvironment env;
        QVERIFY(writeFile(NotesFilePath(), encodeNotes({stored(u"open"_s, 600, 600),
                                                        collapse(stored(u"folded"_s, 2400, 2400, 3000, 2100)),
                                                        stored(u"wide"_s, 4200, 4200, 2700, 1500)})));
        Suite suite;
        form_Main &container = *suite.container();

        clickRow(container, 2, NoteRows::Part::Dot);
        auto *menu = container.findChild<QMenu *>(u"menu_PopMenu"_s);
        QTRY_VERIFY(menu->isVisible());
        container.findChild<QAction *>(u"menu_Hide"_s)->trigger();
        menu->hide();
        QCOMPARE(windowLooks(), (QStringList{u"shown 2400x1800"_s, u"hidden 650x370"_s, u"shown 2700x1500"_s}));

        // Each item of the notes icon's menu, then the notes (on the desktop and in the file), the setting it keeps
        // and the container's buttons on show. A folded note stays folded when shown; expanding twice does not fold
        // them again.
        const struct {
            const char *item;
            const char *looks;
            const char *setting;
        } steps[] = {
            {"menu_HideAll", "hidden 2400x1800,hidden 650x370,hidden 2700x1500",
             "NotesAllHidden=True ShowAll Minimize"},
            {"menu_ShowAllNotes", "shown 2400x1800,shown 650x370,shown 2700x1500",
             "NotesAllHidden=False HideAll Minimize"},
            {"menu_MinimizeNotes", "shown 650x370,shown 650x370,shown 650x370",
             "NotesAllMinimized=True HideAll Maximize"},
            {"menu_MaximizeNotes", "shown 2400x1800,shown 3000x2100,shown 2700x1500",
             "NotesAllMinimized=False HideAll Minimize"},
            {"menu_MaximizeNotes", "shown 2400x1800,shown 3000x2100,shown 2700x1500",
             "NotesAllMinimized=False HideAll Minimize"},
        };
        for (const auto &step : steps) {
            suite.trigger(step.item);
            const QStringList looks = QString::fromLatin1(step.looks).split(u',');
            QCOMPARE(windowLooks() + fileLooks(), looks + looks);
            const QString key = QString::fromLatin1(step.setting).section(u'=', 0, 0);
            QCOMPARE(key + u'=' + storedSetting(key) + u' ' + buttonsShown(container),
                     QString::fromLatin1(step.setting));
        }
    }

    // "Exit notes" takes the notes off the desktop, not out of the file or the settings: started again, in this run
    // or the next, the notes program shows those that showed. A "Hide all" before the exit stays.
    void exitingNotesKeepsWhichNotesShow()
    {
        TestEnvironment env;
        NoteRecord hidden = stored(u"hidden"_s, 1200, 1200);
        hidden.visible = false;
        QVERIFY(writeFile(NotesFilePath(), encodeNotes({stored(u"open"_s, 600, 600), hidden})));
        Suite suite;
        const QStringList before{u"shown 2400x1800"_s, u"hidden 2400x1800"_s};
        for (const bool hideAllFirst : {false, true}) {
            if (hideAllFirst)
                suite.trigger("menu_HideAll");
            suite.trigger("menu_ExitNotes");
            QVERIFY(!ProgramRunFlags().notes);
            processDeletions();
            QCOMPARE(windowLooks(), (QStringList{u"hidden 2400x1800"_s, u"hidden 2400x1800"_s}));
            QCOMPARE(fileLooks(), hideAllFirst ? windowLooks() : before);
            QCOMPARE(storedSetting(u"NotesAllHidden"_s) == u"True"_s, hideAllFirst);
            suite.panel.showControlPanel();
            QTest::mouseClick(suite.panel.findChild<QLabel *>(u"image_Note"_s), Qt::LeftButton);
            QVERIFY(ProgramRunFlags().notes);
            QCOMPARE(windowLooks(), hideAllFirst ? fileLooks() : before);
            QCOMPARE(buttonsShown(*suite.container()), hideAllFirst ? u"ShowAll Minimize"_s : u"HideAll Minimize"_s);
        }
    }

    // The region hides the frame but for the grip, which uncovers it for two seconds, and sizes snap above the tab.
    // A folded note's menu icon opens no menu; peeking shows the whole note, moved in from the screen's edge.
    void theGripPeekPrintFontAndOnTopOfANoteWindowWork()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(1999, 9, 7), QTime(8, 5, 59)));
        form_Note note(std::make_shared<NoteEntry>(BuyMilk), 1);
        note.show();
        QCOMPARE(note.CalcRgnPoints().boundingRect(), QRect(QPoint(3, 3), QPoint(note.width() - 3, note.height() - 3)));
        note.image_Resize_MouseMove();
        QCOMPARE(note.CalcRgnPoints().boundingRect(), QRect(QPoint(0, 0), QPoint(note.width(), note.height())));
        QTRY_COMPARE_WITH_TIMEOUT(note.inset(), 3, 2500);
        note.resize(20, 10); // a user drags it smaller than the tab
        QCOMPARE(geometry(note.record()).size(), QSize(651, 371));
        QCOMPARE(QSize(note.record().oldWidth, note.record().oldHeight), QSize(651, 371));

        const QRect screen = screenTwips();
        NoteRecord nearTheEdge = collapse(BuyMilk);
        nearTheEdge.left = screen.width() - 800;
        form_Note folded(std::make_shared<NoteEntry>(nearTheEdge), 2);
        folded.show();
        QCOMPARE(folded.inset(), 4);
        QVERIFY(!folded.findChild<QLabel *>(u"image_Resize"_s)->isVisible());
        clickOn(folded, u"image_Menu"_s);
        QVERIFY(!QTest::qWaitFor([&folded] { return folded.findChild<QMenu *>(u"menu_NoteMenu"_s); }, 300));
        QTest::mousePress(folded.findChild<QLabel *>(u"image_MakeBig"_s), Qt::LeftButton);
        QCOMPARE(geometry(folded.record()), QRect(screen.width() - 3000, 1500, 3000, 2500));
        QCOMPARE(folded.width(), toPixels(3000));

        // The stamp, the hyphens and the text go on paper.
        platform::setPrintToFile(env.root() + u"/note.pdf"_s);
        pick(note, u"menu_Print"_s);
        platform::setPrintToFile(QString());
        QProcess pdftotext;
        pdftotext.start(u"pdftotext"_s, {u"-layout"_s, env.root() + u"/note.pdf"_s, u"-"_s});
        QVERIFY(pdftotext.waitForFinished(10000));
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        // The extractor folds runs of blanks, so the two between date and time cannot be counted here.
        const QRegularExpression page(u"1999-09-07\\s+8:05\\s+-{27}\\s+Buy milk\\s+and bread"_s);
        QVERIFY2(text.contains(page), qPrintable(text));

        // The menu sets the font size and "on top" for its own note.
        form_Note *first = ShowNote(NoteStore().append(BuyMilk));
        form_Note *second = ShowNote(NoteStore().append(BuyMilk));

        // Each menu, made when first opened, shows its own note's size.
        for (form_Note *note : {first, second}) {
            clickOn(*note, u"image_Menu"_s);
            QTRY_VERIFY(note->findChild<QMenu *>(u"menu_NoteMenu"_s) &&
                        note->findChild<QMenu *>(u"menu_NoteMenu"_s)->isVisible());
            note->findChild<QMenu *>(u"menu_NoteMenu"_s)->hide();
        }
        pick(*first, u"menu_Size4"_s);
        QVERIFY(second->findChild<QAction *>(u"menu_Size0"_s)->isChecked());
        QCOMPARE(first->record().fontSize, 18);
        QCOMPARE(first->findChild<QLabel *>(u"label_Display"_s)->font().pointSize(), 18);
        QVERIFY(first->findChild<QAction *>(u"menu_Size4"_s)->isChecked());
        QVERIFY(!first->findChild<QAction *>(u"menu_Size0"_s)->isChecked());

        // Unchecking one note's on-top leaves the others on top.
        const auto onTop = [](const form_Note *note) { return note->windowFlags().testFlag(Qt::WindowStaysOnTopHint); };
        for (form_Note *note : {first, second, second})
            note->findChild<QAction *>(u"menu_OnTop"_s)->trigger();
        QVERIFY(!NoteStore().entry(2)->onTop && !onTop(second));
        QVERIFY(onTop(first));
        // Its on-top outlasts the window: hidden and shown again, the note is as it was.
        const QPointer<form_Note> gone = first;
        NoteStore().hide(1);
        QTRY_VERIFY(gone.isNull());
        first = ShowNote(1);
        QVERIFY(onTop(first));
    }

    void hidingTheContainerAsksAboutTheNextStart()
    {
        TestEnvironment env;
        Suite suite;
        QAction *item = suite.menuItem("menu_HideContainer");
        const auto state = [&] {
            return u"%1, %2, ShowContainer=%3"_s.arg(item->isChecked() ? u"checked"_s : u"unchecked"_s,
                                                     suite.container()->isVisible() ? u"shown"_s : u"hidden"_s,
                                                     storedSetting(u"ShowContainer"_s));
        };
        QVERIFY(item->isCheckable() && state().startsWith(u"unchecked, shown"_s));

        // No: hidden for now, shown again at the next start. Showing it asks nothing.
        const std::pair<std::optional<MsgAnswer>, const char16_t *> steps[] = {
            {MsgAnswer::No, u"checked, hidden, ShowContainer=True"},
            {{}, u"unchecked, shown, ShowContainer=True"},
            {MsgAnswer::Yes, u"checked, hidden, ShowContainer=False"},
            {{}, u"unchecked, shown, ShowContainer=True"}};
        for (const auto &[answer, expected] : steps) {
            if (answer)
                env.messages.expect(*answer);
            item->trigger();
            QCOMPARE(state(), QString::fromUtf16(expected));
        }
        // A hurried Enter keeps the container for the next start.
        QCOMPARE(env.messages.shown().value(0).defaultAnswer, MsgAnswer::No);
    }

    void sortingLaysNotesOutInColumns()
    {
        TestEnvironment env;
        const QList<int> hidden{5, 31, 34}; // 31 falls on a column break, 34 is the last
        QList<NoteRecord> notes = numbered(34);
        for (int i : hidden)
            notes[i - 1].visible = false;
        QVERIFY(writeFile(NotesFilePath(), encodeNotes(notes)));
        Suite suite;

        suite.trigger("menu_SortNotes");

        const QRect screen = screenTwips();
        const int firstTop = int(std::lround(screen.height() * 0.03));
        const int firstLeft = int(std::lround(screen.width() * 0.7));
        // A column ends when the next top would leave less than a tenth of the screen below it.
        int rows = 1;
        while (firstTop + 370 * rows + screen.height() * 0.1 <= screen.height())
            ++rows;
        QVERIFY2(34 - hidden.size() > rows, "the notes must fill more than one column");
        // Hidden notes share the place of the visible note after them.
        int visibleBefore = 0;
        for (int i = 1; i <= 34; ++i) {
            const form_Note *window = NoteWindow(i);
            QCOMPARE(geometry(*NoteStore().record(i)), QRect(firstLeft + 650 * (visibleBefore / rows),
                                                             firstTop + 370 * (visibleBefore % rows), 650, 370));
            QCOMPARE(window && window->isVisible(), !hidden.contains(i));
            if (window)
                QCOMPARE(window->pos(), QPoint(toPixels(geometry(*NoteStore().record(i)).left()),
                                               toPixels(geometry(*NoteStore().record(i)).top())));
            visibleBefore += window ? 1 : 0;
        }
    }
};

QTEST_MAIN(tst_Notes)
#include "tst_Notes.moc"
