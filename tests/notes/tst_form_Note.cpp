// SPDX-License-Identifier: GPL-3.0-or-later
#include "NoteSamples.h"
#include "TestEnvironment.h"
#include "core/Twips.h"
#include "platform/Printing.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace NoteSamples;

namespace {

const NoteRecord BuyMilk = stored(u"Buy milk"_s, 1500, 1500, 3000, 2500);

} // namespace

class tst_form_Note : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { resetNotes(); }

    // The region hides the frame but for the grip, which uncovers it for two seconds, and sizes snap above the tab.
    // A folded note's menu icon opens no menu; peeking shows the whole note, moved in from the screen's edge.
    void theGripUncoversTheFrameAndAFoldedNotePeeksInsideTheScreen()
    {
        TestEnvironment env;
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
        folded.image_Menu_Click();
        QVERIFY(!QTest::qWaitFor([&folded] { return folded.findChild<QMenu *>(u"menu_NoteMenu"_s); }, 300));
        folded.image_MakeBig_MouseDown();
        QCOMPARE(geometry(folded.record()), QRect(screen.width() - 3000, 1500, 3000, 2500));
        QCOMPARE(folded.width(), toPixels(3000));
    }

    void editingSavesOnLeavingAndTheMenuHidesAndDeletes()
    {
        NotesRun run;
        form_Main &container = *run.container;
        container.image_NewNote_Click();
        container.image_NewNote_Click();
        form_Note *note = NoteStore().window(1);
        note->label_Display_Click();
        QVERIFY(note->isEditing());
        auto *input = note->findChild<QPlainTextEdit *>(u"text_NoteInput"_s);
        QTest::keyClicks(input, u"say \"hi\""_s);
        QCOMPARE(input->toPlainText(), u"say 'hi'"_s);

        // Another window becomes active: editing ends, and the row and the file follow.
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        QTRY_VERIFY(!note->isEditing());
        QCOMPARE(container.rowText(1), u"say 'hi'"_s);
        QCOMPARE(notesIn(NotesFilePath()).value(0).text, u"say 'hi'"_s);

        // Hidden while being edited: the typed text is kept when the window goes.
        note->label_Display_Click();
        input->clear();
        QTest::keyClicks(input, u"kept"_s);
        const QPointer<form_Note> hidden = note;
        note->menu_SendNoteToContainer_Click();
        QTRY_VERIFY(hidden.isNull());
        QCOMPARE(NoteStore().record(1)->text, u"kept"_s);
        QCOMPARE(container.rowText(1), u"kept"_s);
        QCOMPARE(notesIn(NotesFilePath()).value(0).text, u"kept"_s);

        // After a deletion the notes are as the file has them, where the hidden note is hidden too.
        const QPointer<form_Note> doomed = NoteStore().window(2);
        doomed->menu_Trash_Click();
        QCOMPARE(NoteStore().count(), 1);
        QCOMPARE(run.env.sound.m_played.constLast().fileName, u"trash.wav"_s);
        QTRY_VERIFY(doomed.isNull());
        QVERIFY(!NoteStore().window(1));
        QVERIFY(!NoteStore().record(1)->visible);
    }

    void theMenuSetsTheFontSizeAndOnTopPerNote()
    {
        TestEnvironment env;
        NoteTopMostTable table;
        SetTopMostTable(&table);
        form_Note *first = NoteStore().show(NoteStore().append(BuyMilk));
        form_Note *second = NoteStore().show(NoteStore().append(BuyMilk));

        first->menu_Size_Click(4);
        first->menu_Size_Click(9); // no such item: nothing changes
        // The menu, opened now, shows the size chosen before it existed.
        first->timer_Click_Timer();
        second->timer_Click_Timer();
        first->findChild<QMenu *>(u"menu_NoteMenu"_s)->hide();
        second->findChild<QMenu *>(u"menu_NoteMenu"_s)->hide();
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
        QVERIFY(first->isVisible() && second->isVisible());
        // Its on-top and font size outlast the window: hidden and shown again, the note is as it was.
        const QPointer<form_Note> gone = first;
        NoteStore().hide(1);
        QTRY_VERIFY(gone.isNull());
        first = NoteStore().show(1);
        QVERIFY(onTop(first));
        QCOMPARE(first->findChild<QLabel *>(u"label_Display"_s)->font().pointSize(), 18);
        SetTopMostTable(nullptr);
    }

    // The stamp, the hyphens and the text go on paper.
    void printingPutsTheStampHyphensAndTextOnPaper()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(1999, 9, 7), QTime(8, 5, 59)));
        platform::setPrintToFile(env.root() + u"/note.pdf"_s);
        form_Note(std::make_shared<NoteEntry>(stored(u"Buy milk\r\nand bread"_s, 0, 0)), 1).menu_Print_Click();
        platform::setPrintToFile(QString());
        QProcess pdftotext;
        pdftotext.start(u"pdftotext"_s, {u"-layout"_s, env.root() + u"/note.pdf"_s, u"-"_s});
        QVERIFY(pdftotext.waitForFinished(10000));
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        // The extractor folds runs of blanks, so the two between date and time cannot be counted here.
        const QRegularExpression page(u"1999-09-07\\s+8:05\\s+-{27}\\s+Buy milk\\s+and bread"_s);
        QVERIFY2(text.contains(page), qPrintable(text));
    }
};

QTEST_MAIN(tst_form_Note)
#include "tst_form_Note.moc"
