#include "TestEnvironment.h"
#include "core/Programs.h"
#include "core/Settings.h"
#include "core/Twips.h"
#include "notes/NoteFile.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"
#include "platform/Printing.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

NoteRecord sample(int width = 3000, int height = 2500)
{
    NoteRecord note;
    note.text = u"Buy milk"_s;
    note.left = 1500;
    note.top = 1500;
    note.width = width;
    note.height = height;
    note.oldWidth = width;
    note.oldHeight = height;
    note.created = u"1999-09-07  17:33:26"_s;
    return note;
}

QMenu *noteMenu(form_Note &note)
{
    return note.findChild<QMenu *>(u"menu_NoteMenu"_s);
}

} // namespace

class tst_form_Note : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sizesBelowTheTabSnapAboveIt()
    {
        TestEnvironment env;
        form_Note note(sample(), 1);
        note.show();
        note.resize(20, 10); // a user drags it smaller than the tab
        QCOMPARE(note.record().width, 651);
        QCOMPARE(note.record().height, 371);
        QVERIFY(!isCollapsed(note.record()));
        QCOMPARE(note.record().oldWidth, 651);

        note.resize(200, 100);
        QCOMPARE(note.record().width, 3000);
        QCOMPARE(note.record().height, 1500);
        QCOMPARE(note.record().oldHeight, 1500);
    }

    void theCollapseToggleRemembersTheSize()
    {
        TestEnvironment env;
        form_Note note(sample(), 1);
        note.show();
        note.image_Menu_DblClick();
        QVERIFY(isCollapsed(note.record()));
        QCOMPARE(note.record().oldWidth, 3000);
        QCOMPARE(note.inset(), 4);
        QVERIFY(note.findChild<QLabel *>(u"image_MakeBig"_s)->isVisible());
        QVERIFY(!note.findChild<QLabel *>(u"image_Resize"_s)->isVisible());

        // A click on the menu icon of a collapsed note opens no menu.
        note.image_Menu_Click();
        QTest::qWait(300);
        QVERIFY(!noteMenu(note)->isVisible());

        note.image_Menu_DblClick();
        QCOMPARE(note.record().width, 3000);
        QCOMPARE(note.record().height, 2500);
        QCOMPARE(note.inset(), 3);

        // An expanded note's menu opens 200 ms after the click, and not after a double click.
        note.image_Menu_Click();
        QTRY_VERIFY(noteMenu(note)->isVisible());
        noteMenu(note)->hide();
        note.image_Menu_Click();
        note.image_Menu_DblClick();
        QTest::qWait(300);
        QVERIFY(!noteMenu(note)->isVisible());
    }

    void collapseAllAndExpandAllOnlyMoveTheWayAsked()
    {
        TestEnvironment env;
        form_Note open(sample(), 1);
        form_Note shut(sample(), 2);
        shut.image_Menu_DblClick();
        Requests().collapseAll = true;
        shut.image_Menu_DblClick(); // already collapsed: stays so
        QVERIFY(isCollapsed(shut.record()));
        QVERIFY(!Requests().collapseAll);
        Requests().expandAll = true;
        open.image_Menu_DblClick(); // already open: stays so
        QVERIFY(!isCollapsed(open.record()));
        QCOMPARE(open.record().width, 3000);
    }

    void peekingNearTheRightEdgeShiftsTheNoteIn()
    {
        TestEnvironment env;
        const QRect screen = screenTwips();
        NoteRecord stored = sample();
        stored.left = screen.width() - 800;
        stored.top = 600;
        form_Note note(stored, 1);
        note.show();
        note.image_Menu_DblClick();
        QVERIFY(isCollapsed(note.record()));
        note.image_MakeBig_MouseDown();
        QCOMPARE(note.record().width, 3000);
        QCOMPARE(note.record().left, screen.width() - 3000);
        QCOMPARE(note.width(), toPixels(3000));
        note.image_MakeBig_MouseUp();
        QVERIFY(isCollapsed(note.record()));
        QCOMPARE(note.inset(), 4);
        QCOMPARE(note.record().oldWidth, 3000);
    }

    void editingTurnsDoubleQuotesIntoSingleAndSavesOnLeaving()
    {
        TestEnvironment env;
        ProgramRunFlags().notes = true;
        Settings().FirstLaunch = true;
        form_Main container;
        container.Form_Load();
        container.image_NewNote_Click();
        form_Note *note = NoteStore().note(1);
        QVERIFY(note);
        note->label_Display_Click();
        auto *input = note->findChild<QPlainTextEdit *>(u"text_NoteInput"_s);
        QVERIFY(note->isEditing());
        QTest::keyClicks(input, u"say \"hi\""_s);
        QCOMPARE(input->toPlainText(), u"say 'hi'"_s);

        // Another window becomes active: editing ends, the row and the file follow.
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        QTRY_VERIFY(!note->isEditing());
        QCOMPARE(note->record().text, u"say 'hi'"_s);
        QCOMPARE(container.findChild<QLabel *>(u"label_NoteText1"_s)->text(), u"say 'hi'"_s);
        QFile file(NotesFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(decodeNotes(file.readAll()).notes.value(0).text, u"say 'hi'"_s);
        file.close();

        // Emptied text: the row says so.
        note->label_Display_Click();
        input->clear();
        QApplication::setActiveWindow(&other);
        QTRY_VERIFY(!note->isEditing());
        QCOMPARE(container.findChild<QLabel *>(u"label_NoteText1"_s)->text(), u" - empty -"_s);
        NoteStore().clear();
    }

    void fontSizesComeFromTheMenu()
    {
        TestEnvironment env;
        form_Note note(sample(), 1);
        note.menu_Size_Click(4);
        QCOMPARE(note.record().fontSize, 18);
        QCOMPARE(note.findChild<QLabel *>(u"label_Display"_s)->font().pointSize(), 18);
        QVERIFY(note.findChild<QAction *>(u"menu_Size4"_s)->isChecked());
        QVERIFY(!note.findChild<QAction *>(u"menu_Size0"_s)->isChecked());
        note.menu_Size_Click(9); // no such item: nothing changes
        QCOMPARE(note.record().fontSize, 18);
    }

    void uncheckingOnTopLeavesTheOthersOnTop()
    {
        TestEnvironment env;
        NoteTopMostTable table;
        SetTopMostTable(&table);
        NoteStore().append(std::make_unique<form_Note>(sample(), 1));
        NoteStore().append(std::make_unique<form_Note>(sample(), 2));
        form_Note *first = NoteStore().note(1);
        form_Note *second = NoteStore().note(2);
        first->show();
        second->show();
        first->findChild<QAction *>(u"menu_OnTop"_s)->trigger();
        second->findChild<QAction *>(u"menu_OnTop"_s)->trigger();
        QVERIFY(first->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(second->onTop());

        second->findChild<QAction *>(u"menu_OnTop"_s)->trigger();
        QVERIFY(!second->onTop());
        QVERIFY(!second->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(first->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(first->isVisible() && second->isVisible());
        SetTopMostTable(nullptr);
        NoteStore().clear();
    }

    void printingPutsTheStampHyphensAndTextOnPaper()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(1999, 9, 7), QTime(8, 5, 59)));
        const QString pdf = env.root() + u"/note.pdf"_s;
        platform::setPrintToFile(pdf);
        NoteRecord stored = sample();
        stored.text = u"Buy milk\r\nand bread"_s;
        form_Note note(stored, 1);
        note.menu_Print_Click();
        platform::setPrintToFile(QString());

        QProcess pdftotext;
        pdftotext.start(u"pdftotext"_s, {u"-layout"_s, pdf, u"-"_s});
        QVERIFY(pdftotext.waitForFinished(10000));
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        // The text extractor folds runs of blanks, so the two between date and time are not counted here.
        QVERIFY2(text.contains(QRegularExpression(u"1999-09-07\\s+8:05"_s)), qPrintable(text));
        QVERIFY(text.contains(QString(27, u'-')));
        QVERIFY(text.contains(u"Buy milk"_s));
        QVERIFY(text.contains(u"and bread"_s));
        QVERIFY(text.indexOf(u"1999-09-07"_s) < text.indexOf(u"Buy milk"_s));
    }

    void theGripUncoversTheFrameForTwoSeconds()
    {
        TestEnvironment env;
        form_Note note(sample(), 1);
        note.show();
        QCOMPARE(note.CalcRgnPoints().first(), QPoint(3, 3));
        QCOMPARE(note.CalcRgnPoints().at(2), QPoint(note.width() - 3, note.height() - 3));
        note.image_Resize_MouseMove();
        QCOMPARE(note.inset(), 0);
        QCOMPARE(note.CalcRgnPoints().at(2), QPoint(note.width(), note.height()));
        QTRY_COMPARE_WITH_TIMEOUT(note.inset(), 3, 2500);
    }

    void hidingAndDeletingFromTheMenu()
    {
        TestEnvironment env;
        ProgramRunFlags().notes = true;
        Settings().FirstLaunch = true;
        form_Main container;
        container.Form_Load();
        container.image_NewNote_Click();
        container.image_NewNote_Click();
        QCOMPARE(NoteStore().count(), 2);
        NoteStore().note(1)->findChild<QAction *>(u"menu_SendNoteToContainer"_s)->trigger();
        QVERIFY(!NoteStore().note(1)->isVisible());
        QVERIFY(!NoteStore().note(1)->record().visible);

        env.sound.m_played.clear();
        QPointer<form_Note> doomed = NoteStore().note(2);
        doomed->findChild<QAction *>(u"menu_Trash"_s)->trigger();
        QCOMPARE(NoteStore().count(), 1);
        QCOMPARE(env.sound.m_played.size(), 1);
        QCOMPARE(env.sound.m_played[0].fileName, u"trash.wav"_s);
        QTRY_VERIFY(doomed.isNull());
        QVERIFY(!NoteStore().note(1)->isVisible()); // the hidden note stays hidden after the rebuild
        NoteStore().clear();
    }
};

QTEST_MAIN(tst_form_Note)
#include "tst_form_Note.moc"
