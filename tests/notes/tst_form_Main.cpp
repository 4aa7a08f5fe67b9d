// SPDX-License-Identifier: GPL-3.0-or-later
#include "ContainerRows.h"
#include "NoteSamples.h"
#include "TestEnvironment.h"
#include "core/DateText.h"
#include "core/Twips.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace NoteSamples;

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

// An alarm icon's tooltip, marked when the icon is hidden.
QString alarmIcon(const QWidget *parent, const QString &name)
{
    const auto *icon = parent->findChild<QLabel *>(name);
    return icon->toolTip() + (icon->isVisibleTo(parent) ? u""_s : u" (hidden)"_s);
}

} // namespace

class tst_form_Main : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theNewNoteButtonStopsAtFortyButReceivedNotesDoNot()
    {
        NotesRun run(numbered(40));
        form_Main &container = *run.container;
        const QByteArray before = fileBytes(NotesFilePath());

        run.env.messages.expect(platform::MsgAnswer::Ok);
        container.image_NewNote_Click();

        QCOMPARE(run.env.messages.shown().size(), 1);
        QCOMPARE(Settings().cntNote, 0);
        QVERIFY(run.env.sound.m_played.isEmpty());
        QCOMPARE(fileBytes(NotesFilePath()), before);

        container.NewNote_Click(u"Lunch at one?"_s, true, u"From Bob"_s, u"2026-12-24"_s, u"0"_s, u"08:15"_s,
                                u"Alarm: 24 Dec 08:15"_s);
        container.NewNote_Click(u"No alarm here"_s, false, u"From Eve"_s, u"NO_DATE_SET"_s, u"-1"_s, u"13:25"_s,
                                u"nothing set"_s);

        QCOMPARE(container.rowCount(), 42);
        QCOMPARE(container.rowText(41), u"Lunch at one?"_s);
        form_Note *received = NoteStore().window(41);
        QVERIFY(received->isVisible());
        const QDateTime now = run.env.clock.now();
        QCOMPARE(received->findChild<QLabel *>(u"label_C1"_s)->toolTip(),
                 u"Received : "_s + formatDate(now.date()) + u"   "_s + formatTime(now.time()));
        QCOMPARE(alarmIcon(received, u"image_Alarm"_s), u"Alarm: 24 Dec 08:15"_s);
        QCOMPARE(rowAlarm(container, 41), u"Alarm: 24 Dec 08:15"_s);
        QCOMPARE(alarmIcon(NoteStore().window(42), u"image_Alarm"_s), u"nothing set (hidden)"_s);
        QCOMPARE(rowAlarm(container, 42), u"nothing set (hidden)"_s);
    }

    void newNotesStackFromTheCentreAndTheWindowKeepsItsLimitsScrollsAndOnlyMinimises()
    {
        NotesRun run(numbered(2));
        form_Main &container = *run.container;
        const int loadWidth = toTwips(container.width());
        container.show();
        QVERIFY(QTest::qWaitForWindowExposed(&container));
        const auto *horizontal = container.findChild<QScrollBar *>(u"HScroll1"_s);
        const auto *vertical = container.findChild<QScrollBar *>(u"VScroll1"_s);

        container.resize(container.width() + 120, toPixels(container.surfaceHeightTwips() + 400) + 150);
        QTRY_COMPARE(container.size(), QSize(toPixels(loadWidth), toPixels(container.surfaceHeightTwips() + 400)));
        // At its full size the window holds the whole surface.
        QVERIFY(!horizontal->isVisibleTo(&container) && !vertical->isVisibleTo(&container));

        while (NoteStore().count() < 14)
            container.image_NewNote_Click();
        const QRect screen = screenTwips();
        for (int i = 3; i <= 5; ++i) {
            const form_Note *note = NoteStore().window(i);
            const NoteRecord &r = note->record();
            const int offset = 150 * (i - 3);
            QCOMPARE(QPoint(r.left, r.top),
                     QPoint((screen.width() - r.width) / 2 + offset, (screen.height() - r.height) / 2 + offset));
            QCOMPARE(note->pos(), QPoint(toPixels(r.left), toPixels(r.top)));
        }
        QCOMPARE(QString::number(Settings().cntNote) + u' ' + QString::number(Settings().totNote), u"12 12"_s);
        QCOMPARE(run.env.sound.m_played.size(), 12);
        QCOMPARE(run.env.sound.m_played.constLast().fileName, u"new.wav"_s);
        QCOMPARE(notesIn(NotesFilePath()).size(), 14);
        QCOMPARE(container.rows()->top(3) - container.rows()->top(2), 360);
        QCOMPARE(container.rowText(3), u" - empty -"_s);
        QVERIFY(rowAlarm(container, 3).endsWith(u"(hidden)"_s));
        QVERIFY(vertical->isVisibleTo(&container) && !horizontal->isVisibleTo(&container));
        QVERIFY(vertical->maximum() > 0);

        container.resize(container.width() - 100, container.height() - 50);
        QTRY_COMPARE(container.width(), toPixels(loadWidth) - 100);

        QVERIFY(!container.close());
        QTRY_VERIFY(container.isMinimized());
        QVERIFY(!container.isHidden());
        QCoreApplication::processEvents(); // a late second state change would be counted too
        QCOMPARE(Settings().cntContainer, 1);
        QCOMPARE(Settings().totContainer, 1);
    }

    void theButtonsActOnAllNotesAndTheRowMenuOnOne()
    {
        NotesRun run({stored(u"open"_s, 600, 600), collapse(stored(u"folded"_s, 2400, 2400, 3000, 2100)),
                      stored(u"wide"_s, 4200, 4200, 2700, 1500)});
        form_Main &container = *run.container;

        clickRow(container, 2, NoteRows::Part::Dot);
        auto *menu = container.findChild<QMenu *>(u"menu_PopMenu"_s);
        QTRY_VERIFY(menu->isVisible());
        container.findChild<QAction *>(u"menu_Hide"_s)->trigger();
        menu->hide();
        QCOMPARE(windowLooks(), (QStringList{u"shown 2400x1800"_s, u"hidden 650x370"_s, u"shown 2700x1500"_s}));

        // Each button, then the notes (on the desktop and in the file), the setting it keeps and the buttons on
        // show. A folded note stays folded when shown; expanding twice does not fold them again.
        const struct {
            void (form_Main::*click)();
            const char *looks;
            const char *setting;
        } steps[] = {
            {&form_Main::image_HideAll_Click, "hidden 2400x1800,hidden 650x370,hidden 2700x1500",
             "NotesAllHidden=True ShowAll Minimize"},
            {&form_Main::image_ShowAll_Click, "shown 2400x1800,shown 650x370,shown 2700x1500",
             "NotesAllHidden=False HideAll Minimize"},
            {&form_Main::image_Minimize_Click, "shown 650x370,shown 650x370,shown 650x370",
             "NotesAllMinimized=True HideAll Maximize"},
            {&form_Main::image_Maximize_Click, "shown 2400x1800,shown 3000x2100,shown 2700x1500",
             "NotesAllMinimized=False HideAll Minimize"},
            {&form_Main::image_Maximize_Click, "shown 2400x1800,shown 3000x2100,shown 2700x1500",
             "NotesAllMinimized=False HideAll Minimize"},
        };
        for (const auto &step : steps) {
            (container.*step.click)();
            const QStringList looks = QString::fromLatin1(step.looks).split(u',');
            QCOMPARE(windowLooks() + fileLooks(), looks + looks);
            const QString key = QString::fromLatin1(step.setting).section(u'=', 0, 0);
            QCOMPARE(key + u'=' + storedSetting(key) + u' ' + buttonsShown(container),
                     QString::fromLatin1(step.setting));
        }
    }
};

QTEST_MAIN(tst_form_Main)
#include "tst_form_Main.moc"
