#include "NoteSamples.h"
#include "TestEnvironment.h"
#include "core/DateText.h"
#include "core/Programs.h"
#include "core/Settings.h"
#include "core/Twips.h"
#include "notes/NoteFile.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"
#include "platform/IniStore.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

using NoteSamples::stored;

QList<NoteRecord> numberedNotes(int count)
{
    QList<NoteRecord> notes;
    for (int i = 1; i <= count; ++i)
        notes << stored(u"note "_s + QString::number(i), 300 + 30 * i, 300 + 30 * i);
    return notes;
}

// Loads the container as the notes program's start does; without notes it is a new user's first start.
void loadContainer(form_Main &container, const QList<NoteRecord> &notes)
{
    if (notes.isEmpty()) {
        Settings().FirstLaunch = true;
    } else {
        QFile file(NotesFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(encodeNotes(notes));
    }
    ProgramRunFlags().notes = true;
    container.Form_Load();
}

QByteArray fileBytes()
{
    QFile file(NotesFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<NoteRecord> notesInFile()
{
    return decodeNotes(fileBytes()).notes;
}

QString storedSetting(const QString &key)
{
    return SettingsStore().value(u"Settings"_s, key).value_or(u"<missing>"_s);
}

QString rowText(const form_Main &container, int index)
{
    const auto *label = container.findChild<QLabel *>(u"label_NoteText"_s + QString::number(index));
    return label ? label->text() : u"<no row>"_s;
}

void processDeletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class tst_form_Main : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        NoteStore().clear();
        processDeletions();
        Requests() = ContainerRequests{};
    }

    void theNewNoteButtonStopsAtFortyButReceivedNotesDoNot()
    {
        TestEnvironment env;
        form_Main container;
        loadContainer(container, numberedNotes(40));
        QCOMPARE(NoteStore().count(), 40);
        const QByteArray before = fileBytes();

        env.messages.expect(platform::MsgAnswer::Ok);
        container.image_NewNote_Click();

        QCOMPARE(env.messages.shown().size(), 1);
        const platform::MessageRequest &box = env.messages.shown().constFirst();
        QCOMPARE(box.title, u"Info"_s);
        QCOMPARE(box.text, u"There is a limit of max 40 notes. You have to delete some notes....."_s);
        QCOMPARE(box.icon, platform::MsgIcon::Information);
        QCOMPARE(box.buttons, platform::MsgButtons::Ok);
        QCOMPARE(NoteStore().count(), 40);
        QCOMPARE(container.rowCount(), 40);
        QCOMPARE(Settings().cntNote, 0);
        QVERIFY(env.sound.m_played.isEmpty());
        QCOMPARE(fileBytes(), before);

        container.NewNote_Click(u"Lunch at one?"_s, true, u"From Bob"_s, u"2026-12-24"_s, u"0"_s, u"08:15"_s,
                                u"Alarm: 24 Dec 08:15"_s);
        container.NewNote_Click(u"No alarm here"_s, false, u"From Eve"_s, u"NO_DATE_SET"_s, u"-1"_s, u"13:25"_s,
                                u"nothing set"_s);

        QCOMPARE(NoteStore().count(), 42);
        QCOMPARE(container.rowCount(), 42);
        form_Note *received = NoteStore().note(41);
        QCOMPARE(received->record().text, u"Lunch at one?"_s);
        QCOMPARE(received->record().title, u"From Bob"_s);
        QCOMPARE(received->record().alarmDate, u"2026-12-24"_s);
        QCOMPARE(received->record().alarmRepeat, u"0"_s);
        QCOMPARE(received->record().alarmTime, u"08:15"_s);
        QVERIFY(received->isVisible());
        const QDateTime now = env.clock.now();
        QCOMPARE(received->findChild<QLabel *>(u"label_C1"_s)->toolTip(),
                 u"Received : "_s + formatDate(now.date()) + u"   "_s + formatTime(now.time()));
        const auto *noteAlarm = received->findChild<QLabel *>(u"image_Alarm"_s);
        QVERIFY(noteAlarm->isVisibleTo(received));
        QCOMPARE(noteAlarm->toolTip(), u"Alarm: 24 Dec 08:15"_s);
        QCOMPARE(rowText(container, 41), u"Lunch at one?"_s);
        const auto *rowAlarm = container.findChild<QLabel *>(u"image_Alarm41"_s);
        QVERIFY(rowAlarm->isVisibleTo(&container));
        QCOMPARE(rowAlarm->toolTip(), u"Alarm: 24 Dec 08:15"_s);

        form_Note *quiet = NoteStore().note(42);
        QVERIFY(!quiet->findChild<QLabel *>(u"image_Alarm"_s)->isVisibleTo(quiet));
        QVERIFY(!container.findChild<QLabel *>(u"image_Alarm42"_s)->isVisibleTo(&container));
        QCOMPARE(container.findChild<QLabel *>(u"image_Alarm42"_s)->toolTip(), u"nothing set"_s);

        const QList<NoteRecord> saved = notesInFile();
        QCOMPARE(saved.size(), 42);
        QCOMPARE(saved[40].text, u"Lunch at one?"_s);
        QCOMPARE(saved[40].title, u"From Bob"_s);
    }

    void newNotesStackFromTheScreenCentre()
    {
        TestEnvironment env;
        form_Main container;
        loadContainer(container, {});

        for (int i = 0; i < 3; ++i)
            container.image_NewNote_Click();

        QCOMPARE(NoteStore().count(), 3);
        const QRect screen = screenTwips();
        for (int i = 1; i <= 3; ++i) {
            const NoteRecord &note = NoteStore().note(i)->record();
            const int offset = 150 * (i - 1);
            QCOMPARE(note.left, (screen.width() - note.width) / 2 + offset);
            QCOMPARE(note.top, (screen.height() - note.height) / 2 + offset);
            QCOMPARE(NoteStore().note(i)->pos(), QPoint(toPixels(note.left), toPixels(note.top)));
        }
        QCOMPARE(Settings().cntNote, 3);
        QCOMPARE(Settings().totNote, 3);
        QCOMPARE(env.sound.m_played.size(), 3);
        for (const FakeSoundPlayer::Play &play : env.sound.m_played)
            QCOMPARE(play.fileName, u"new.wav"_s);
        QCOMPARE(notesInFile().size(), 3);
    }

    void rowsBuiltAfterLoadingSitTheirDotHigher()
    {
        TestEnvironment env;
        form_Main container;
        loadContainer(container, {stored(u"shopping"_s, 600, 600), stored(u"dentist"_s, 1200, 1200)});
        QCOMPARE(container.dotOffset(1), 30);
        QCOMPARE(container.dotOffset(2), 30);

        container.image_NewNote_Click();

        QCOMPARE(container.rowCount(), 3);
        QCOMPARE(rowText(container, 3), u" - empty -"_s);
        QCOMPARE(container.rowTop(3) - container.rowTop(2), 360);
        QCOMPARE(container.dotOffset(3), 65);
        QCOMPARE(container.findChild<QLabel *>(u"image_Dot3"_s)->y(), toPixels(container.rowTop(3) + 65));
        QVERIFY(!container.findChild<QLabel *>(u"image_Alarm3"_s)->isVisibleTo(&container));

        DeleteNote(1, false);
        processDeletions();

        QCOMPARE(container.rowCount(), 2);
        QCOMPARE(rowText(container, 1), u"dentist"_s);
        QCOMPARE(rowText(container, 2), u" - empty -"_s);
        QCOMPARE(container.dotOffset(2), 30);
        QCOMPARE(container.findChild<QLabel *>(u"image_Dot2"_s)->y(), toPixels(container.rowTop(2) + 30));
    }

    void clickingARowBringsItsNoteBack()
    {
        TestEnvironment env;
        const QRect screen = screenTwips();
        NoteRecord lost = stored(u"fell off the screen"_s, 3000, screen.height() + 1500);
        lost.visible = false;
        NoteRecord tab = stored(u"folded"_s, 1500, 1500, CollapsedWidth, CollapsedHeight);
        tab.oldWidth = 3000;
        tab.oldHeight = 2100;
        form_Main container;
        loadContainer(container, {lost, tab});
        form_Note *first = NoteStore().note(1);
        form_Note *second = NoteStore().note(2);
        QVERIFY(!first->isVisible());

        container.label_NoteText_Click(1);

        QVERIFY(first->isVisible());
        QCOMPARE(first->record().left, (screen.width() - 2400) / 2);
        QCOMPARE(first->record().top, (screen.height() - 1800) / 2);
        QCOMPARE(first->palette().color(QPalette::Window), QColor(Qt::white));
        QTRY_COMPARE(first->palette().color(QPalette::Window), NoteYellow);

        container.label_NoteText_Click(2);

        QCOMPARE(second->record().width, 3000);
        QCOMPARE(second->record().height, 2100);
        QCOMPARE(second->record().left, 1500); // on screen already: not moved
        QCOMPARE(second->record().top, 1500);
        QCOMPARE(second->palette().color(QPalette::Window), QColor(Qt::white));
        QTRY_COMPARE(second->palette().color(QPalette::Window), NoteYellow);
        QCOMPARE(first->palette().color(QPalette::Window), NoteYellow);
    }

    void theWindowCannotGrowPastItsLimits()
    {
        TestEnvironment env;
        form_Main container;
        const int loadWidth = toTwips(container.width());
        loadContainer(container, numberedNotes(2));
        QCOMPARE(container.maxWidthTwips(), loadWidth);
        QCOMPARE(container.maxHeightTwips(), container.surfaceHeightTwips() + 400);
        container.show();
        QVERIFY(QTest::qWaitForWindowExposed(&container));

        container.resize(container.width() + 120, container.height());
        QTRY_COMPARE(container.width(), toPixels(loadWidth));
        container.resize(container.width(), toPixels(container.maxHeightTwips()) + 150);
        QTRY_COMPARE(container.height(), toPixels(container.surfaceHeightTwips() + 400));
        // Smaller is always allowed.
        container.resize(container.width() - 100, container.height() - 50);
        QTRY_COMPARE(container.width(), toPixels(loadWidth) - 100);
    }

    void scrollBarsAppearOnlyWhenRowsOverflow()
    {
        TestEnvironment env;
        form_Main container;
        loadContainer(container, numberedNotes(2));
        container.show();
        QVERIFY(QTest::qWaitForWindowExposed(&container));
        const auto *horizontal = container.findChild<QScrollBar *>(u"HScroll1"_s);
        const auto *vertical = container.findChild<QScrollBar *>(u"VScroll1"_s);

        // At its full height the window holds the whole surface.
        container.resize(container.width(), toPixels(container.maxHeightTwips()));
        QTRY_COMPARE(container.height(), toPixels(container.maxHeightTwips()));
        QVERIFY(!horizontal->isVisibleTo(&container));
        QVERIFY(!vertical->isVisibleTo(&container));

        while (NoteStore().count() < 14)
            container.image_NewNote_Click();

        QVERIFY(toTwips(container.height()) < container.surfaceHeightTwips());
        QVERIFY(vertical->isVisibleTo(&container));
        QVERIFY(!horizontal->isVisibleTo(&container));
        QVERIFY(vertical->maximum() > 0);
    }

    void closingOnlyMinimises()
    {
        TestEnvironment env;
        form_Main container;
        loadContainer(container, {});
        container.show();
        QVERIFY(QTest::qWaitForWindowExposed(&container));

        QVERIFY(!container.close());

        QTRY_VERIFY(container.isMinimized());
        QVERIFY(!container.isHidden());
        QTest::qWait(50);
        QCOMPARE(Settings().cntContainer, 1);
        QCOMPARE(Settings().totContainer, 1);
    }

    void allNotesAtOnce()
    {
        TestEnvironment env;
        NoteRecord folded = stored(u"folded"_s, 2400, 2400, CollapsedWidth, CollapsedHeight);
        folded.oldWidth = 3000;
        folded.oldHeight = 2100;
        form_Main container;
        loadContainer(container, {stored(u"open"_s, 600, 600), folded, stored(u"wide"_s, 4200, 4200, 2700, 1500)});
        const auto button = [&](const char *name) {
            return container.findChild<QToolButton *>(QString::fromLatin1(name))->isVisibleTo(&container);
        };
        const auto notes = [] {
            QList<form_Note *> list;
            for (int i = 1; i <= NoteStore().count(); ++i)
                list << NoteStore().note(i);
            return list;
        };

        container.image_HideAll_Click();
        for (form_Note *note : notes())
            QVERIFY(!note->isVisible());
        QCOMPARE(storedSetting(u"NotesAllHidden"_s), u"True"_s);
        QVERIFY(button("image_ShowAll") && !button("image_HideAll"));
        for (const NoteRecord &note : notesInFile())
            QVERIFY(!note.visible);

        container.image_ShowAll_Click();
        for (form_Note *note : notes())
            QVERIFY(note->isVisible());
        QCOMPARE(storedSetting(u"NotesAllHidden"_s), u"False"_s);
        QVERIFY(button("image_HideAll") && !button("image_ShowAll"));
        for (const NoteRecord &note : notesInFile())
            QVERIFY(note.visible);

        // A note that is already folded stays folded.
        container.image_Minimize_Click();
        for (form_Note *note : notes())
            QVERIFY2(isCollapsed(note->record()), qPrintable(note->record().text));
        QCOMPARE(storedSetting(u"NotesAllMinimized"_s), u"True"_s);
        QVERIFY(button("image_Maximize") && !button("image_Minimize"));
        const QList<NoteRecord> collapsed = notesInFile();
        QCOMPARE(collapsed.size(), 3);
        for (const NoteRecord &note : collapsed)
            QVERIFY(isCollapsed(note));
        QCOMPARE(collapsed[1].oldWidth, 3000);
        QCOMPARE(collapsed[2].oldWidth, 2700);

        container.image_Maximize_Click();
        const QList<QSize> sizes{{2400, 1800}, {3000, 2100}, {2700, 1500}};
        for (int i = 1; i <= 3; ++i) {
            const NoteRecord &note = NoteStore().note(i)->record();
            QCOMPARE(QSize(note.width, note.height), sizes[i - 1]);
        }
        QCOMPARE(storedSetting(u"NotesAllMinimized"_s), u"False"_s);
        QVERIFY(button("image_Minimize") && !button("image_Maximize"));
        const QList<NoteRecord> expanded = notesInFile();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(QSize(expanded[i].width, expanded[i].height), sizes[i]);

        // Expanding twice does not fold them again.
        container.image_Maximize_Click();
        for (form_Note *note : notes())
            QVERIFY(!isCollapsed(note->record()));
    }

    void theRowMenuHidesItsOwnNote()
    {
        TestEnvironment env;
        form_Main container;
        loadContainer(container, numberedNotes(3));
        auto *menu = container.findChild<QMenu *>(u"menu_PopMenu"_s);

        container.image_Dot_Click(2);
        QTRY_VERIFY(menu->isVisible());
        container.findChild<QAction *>(u"menu_Hide"_s)->trigger();
        menu->hide();

        QVERIFY(NoteStore().note(1)->isVisible());
        QVERIFY(!NoteStore().note(2)->isVisible());
        QVERIFY(NoteStore().note(3)->isVisible());
        QCOMPARE(NoteStore().count(), 3);
    }
};

QTEST_MAIN(tst_form_Main)
#include "tst_form_Main.moc"
