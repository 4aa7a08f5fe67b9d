// SPDX-License-Identifier: GPL-3.0-or-later
// Alarms of notes in their windows: the notice that rings them, the icon that turns them off, the list of the
// missed ones, and the editor that sets them.
#include "NoteSamples.h"
#include "alarms/AlarmRules.h"
#include "alarms/Alarms.h"
#include "alarms/form_Calendar.h"
#include "alarms/form_MissedAlarms.h"
#include "alarms/form_Notify.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>
#include <ctime>

using namespace Qt::StringLiterals;
using NoteSamples::notesIn;
using NoteSamples::stored;

namespace {

inline NoteRecord alarmNote(const QString &text, const QString &date, const QString &time, const QString &repeat)
{
    return NoteSamples::withAlarm(NoteSamples::stored(text, 600, 600), date, time, repeat);
}

// The notes program at `now`, its container loaded from a file holding `notes`. notes.old is removed once loaded:
// every save leaves one, so its absence proves nothing saved since.
struct NotesRun : NoteSamples::NotesRun {
    NotesRun(const QList<NoteRecord> &notes, const QDateTime &now) : NoteSamples::NotesRun(notes, now)
    {
        ConnectAlarmWindows();
        QFile::remove(NotesBackupPath());
    }
    ~NotesRun()
    {
        // An editor a failed check left open must not reach into the next test. Each goes with its own top-level
        // children (the combo boxes' popups), so they are picked out before any is deleted.
        QList<QPointer<form_Calendar>> editors;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *editor = qobject_cast<form_Calendar *>(w))
                editors << editor;
        for (const QPointer<form_Calendar> &editor : editors)
            delete editor.data();
        UnloadAlarmWindows();
    }

    QList<NoteRecord> records() const { return NoteSamples::tableRecords(); }
    bool savedSinceLoad() const { return QFile::exists(NotesBackupPath()); }
};

// The lines the missed-alarms window lists for rings given as "date time|subject", separated by "; ".
inline QStringList missedRings(const QString &rings)
{
    QStringList lines;
    for (const QString &ring : rings.split(u"; "_s))
        lines << u"Date: "_s + ring.section(u'|', 0, 0) << u"Subject: "_s + ring.section(u'|', 1) << QString(18, u'-');
    return lines;
}

// Opens the editor on note `index` as the note's menu does.
QPointer<form_Calendar> openEditor(int index)
{
    OpenAlarmEditor(index);
    return qobject_cast<form_Calendar *>(QApplication::activeModalWidget());
}

// The summary the editor shows: hour:minute|weekday|date.
QString summary(form_Calendar *editor)
{
    const auto text = [editor](const QString &name) { return editor->findChild<QLabel *>(name)->text(); };
    return text(u"label_Hour"_s) + u':' + text(u"label_Minute"_s) + u'|' + text(u"label_Day"_s) + u'|' +
           text(u"label_Date"_s);
}

// The grid as the user sees it: how many days it offers from the first on (-1 when one is missing in between) and
// the days painted yellow; a colour neither yellow nor white is marked with a question mark.
QString grid(form_Calendar *editor)
{
    int shown = 0;
    QStringList picked;
    for (int d = 1; d <= 31; ++d) {
        const auto *label = editor->findChild<QLabel *>(u"label_Number"_s + QString::number(d - 1));
        if (label->isVisibleTo(editor))
            shown = shown == d - 1 ? d : -1;
        const QColor colour = label->palette().color(QPalette::Window);
        if (colour != QColor(255, 255, 255))
            picked << QString::number(d) + (colour == QColor(255, 255, 0) ? u""_s : u"?"_s);
    }
    return QString::number(shown) + u" days, picked "_s + picked.join(u',');
}

void clickDay(form_Calendar *editor, int number)
{
    auto *label = editor->findChild<QLabel *>(u"label_Number"_s + QString::number(number - 1));
    QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
}

// Types into a time box as the user would after selecting its contents; returns what the box then holds.
QString retype(QLineEdit *box, const QString &typed)
{
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, typed);
    return box->text();
}

void pick(form_Calendar *editor, int dayNumber, const QString &hour, const QString &minute, int option)
{
    clickDay(editor, dayNumber);
    retype(editor->findChild<QLineEdit *>(u"text_Hour"_s), hour);
    retype(editor->findChild<QLineEdit *>(u"text_Minute"_s), minute);
    // A radio button takes clicks on its circle and caption only, not on the blank rest of its width.
    auto *button = editor->findChild<QRadioButton *>(u"option_Repeat"_s + QString::number(option));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

} // namespace

class tst_Alarms : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dueAlarmsRingInTableOrderAndMoveOnAndTheIconTurnsThemOff()
    {
        const QDate today(2026, 6, 12);
        // A hidden note has no window, and its alarm rings all the same.
        NoteRecord dentist = alarmNote(u"Dentist"_s, u"2026-06-12"_s, u"8:5"_s, u"0"_s);
        dentist.visible = false;
        NotesRun run({alarmNote(u"Pills"_s, u"12-jun-2026"_s, u"08:05"_s, u"3"_s), dentist,
                      alarmNote(u"earlier today"_s, u"2026-06-12"_s, u"7:00"_s, u"1"_s)},
                     QDateTime(today, QTime(8, 5, 3)));
        QCOMPARE(run.icons(2, false), u"shown"_s);

        // While the notes program is exited, its alarms wait.
        ProgramRunFlags().notes = false;
        Alarms().check();
        QVERIFY(!Notice()->isVisible());
        ProgramRunFlags().notes = true;
        Alarms().check();
        QCOMPARE(run.env.sound.m_played.size(), 2);
        QCOMPARE(run.env.sound.m_played.constLast().fileName, u"clock.wav"_s);
        QVERIFY(Notice()->isVisible());
        QCOMPARE(Notice()->caption() + u'|' + Notice()->text(), u"Dont forget: 2026-06-12 8:05|Dentist"_s);
        QCOMPARE(run.icons(1), u"2026-07-12  08:05"_s);
        QVERIFY(run.icons(2) == u"hidden"_s && !NoteWindow(2));

        // The alarm icon offers to turn the alarm off, in the container's row and in the note window.
        run.env.messages.expect(platform::MsgAnswer::Yes);
        NoteSamples::clickRow(*run.container, 1, NoteRows::Part::Alarm);
        const platform::MessageRequest box = run.env.messages.shown().constLast();
        QCOMPARE(box.title + u'|' + box.text,
                 u"Alarm is on...|The alarm rings: 2026-07-12  08:05\n\rIt is repeated every "
                 "month.\n\r\n\rDo you want to turn the alarm off ?"_s);
        QVERIFY(box.icon == platform::MsgIcon::Information && box.buttons == platform::MsgButtons::YesNo &&
                box.defaultAnswer == platform::MsgAnswer::Yes);
        QCOMPARE(run.record(1).alarmDate + u' ' + run.icons(1), u"NO_DATE_SET hidden"_s);
        QCOMPARE(notesIn(NotesFilePath()).value(0).alarmRepeat, u"-1"_s);
        run.env.messages.expect(platform::MsgAnswer::Yes);
        QTest::mouseClick(NoteWindow(3)->findChild<QLabel *>(u"image_Alarm"_s), Qt::LeftButton);
        QCOMPARE(run.record(3).alarmRepeat + u' ' + run.icons(3), u"-1 hidden"_s);
    }

    // The missed rings in their window (which rings, in what order, is the scheduler's): a clicked line is shown whole
    // below the list, each closing is counted, a later pass lists only its own rings, and one with none opens nothing.
    void missedRingsAreListedAndEachClosingIsCounted()
    {
        NotesRun run({alarmNote(u"water the plants"_s, u"2026-06-11"_s, u"10:30"_s, u"1"_s),
                      alarmNote(u"team meeting"_s, u"12-Jun-2026"_s, u"9:05"_s, u"2"_s)},
                     QDateTime(QDate(2026, 6, 12), QTime(12, 0)));
        Settings().totMissedAlarms = 5;
        Alarms().checkMissed();
        QVERIFY(MissedAlarmsWindow()->isVisible());
        QCOMPARE(MissedAlarmsWindow()->lines(),
                 missedRings(u"2026-06-11 10:30|water the plants; 2026-06-12 10:30|water the plants; "
                             "2026-06-12 9:05|team meeting"_s));

        auto *list = MissedAlarmsWindow()->findChild<QListWidget *>(u"list_MissedAlarms"_s);
        auto *detail = MissedAlarmsWindow()->findChild<QPlainTextEdit *>(u"text_Commercial2"_s);
        const auto clickLine = [list](int row) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        };
        const auto clickOk = [] {
            QTest::mouseClick(MissedAlarmsWindow()->findChild<QPushButton *>(u"c_Ok"_s), Qt::LeftButton);
        };
        clickLine(7);
        QCOMPARE(detail->toPlainText(), u"Subject: team meeting"_s);
        clickLine(3);
        QCOMPARE(detail->toPlainText(), u"Date: 2026-06-12 10:30"_s);
        clickOk();
        QVERIFY(!MissedAlarmsWindow()->isVisible() && Settings().totMissedAlarms == 6);
        run.env.clock.advanceSeconds(86400);
        Alarms().checkMissed();
        QCOMPARE(MissedAlarmsWindow()->lines(), missedRings(u"2026-06-13 10:30|water the plants"_s));
        clickOk();
        QCOMPARE(Settings().totMissedAlarms, 7);
        Alarms().checkMissed();
        QVERIFY(!MissedAlarmsWindow()->isVisible() && MissedAlarmsWindow()->lines().isEmpty());
    }

    // The editor opens on the present moment with "Once" chosen (the desktop alarm that rings relies on it), but the
    // grid has no 29 February: on that day it opens on the first.
    void onTheTwentyNinthOfFebruaryTheEditorOpensOnTheFirst()
    {
        NotesRun run({stored(u"dentist"_s, 600, 600)}, QDateTime(QDate(2000, 2, 29), QTime(23, 59)));
        QPointer<form_Calendar> editor = openEditor(1);
        QCOMPARE(grid(editor) + u" / "_s + summary(editor), u"28 days, picked 1 / 23:59|On Tuesday |01-Feb-2000"_s);
    }

    // The grid asks for the length of the month chosen, which is none while the list is empty.
    void noMonthChosenHasNoDays() { QCOMPARE(form_Calendar::DaysInMonth(-1) + form_Calendar::DaysInMonth(12), 0); }

    void aDayBeyondTheNewMonthFallsBackToTheFirstAndTheTimeBoxesHoldOnlyAClockTime()
    {
        NotesRun run({stored(u"rent"_s, 600, 600)}, QDateTime(QDate(2026, 3, 12), QTime(17, 40)));
        QPointer<form_Calendar> editor = openEditor(1);
        clickDay(editor, 31);
        QCOMPARE(grid(editor) + u" / "_s + summary(editor), u"31 days, picked 31 / 17:40|On Tuesday |31-Mar-2026"_s);

        QTest::keyClick(editor->findChild<QComboBox *>(u"combo_Month"_s), Qt::Key_Up);
        QCOMPARE(grid(editor) + u" / "_s + summary(editor), u"28 days, picked 1 / 17:40|On Sunday |01-Feb-2026"_s);
        QTest::keyClick(editor->findChild<QComboBox *>(u"combo_Year"_s), Qt::Key_Down);
        QCOMPARE(summary(editor), u"17:40|On Monday |01-Feb-2027"_s);

        // Back in a long month the last days return and the first stays picked.
        QTest::keyClick(editor->findChild<QComboBox *>(u"combo_Month"_s), Qt::Key_Down);
        QCOMPARE(grid(editor), u"31 days, picked 1"_s);

        // The time boxes hold only a clock time: box, typed, what it holds.
        for (const QString &entry :
             u"Hour 75 23|Hour 24 23|Minute 75 59|Minute 60 59|Minute 7 7|Hour ab |Hour 5x 5"_s.split(u'|')) {
            const QStringList part = entry.split(u' ');
            QCOMPARE(retype(editor->findChild<QLineEdit *>(u"text_"_s + part[0]), part[1]), part[2]);
        }
    }

    // Stored with the note and sent to other computers, the date is English on any desktop.
    void okStoresTheAlarmAndShowsItsIconsCancelDoesNot()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        const QList<NoteRecord> notes{stored(u"untouched"_s, 600, 600), stored(u"dentist"_s, 1200, 1200)};
        NotesRun run(notes, QDateTime(QDate(2026, 6, 12), QTime(16, 42)));
        QPointer<form_Calendar> editor = openEditor(2);
        pick(editor, 3, u"6"_s, u"30"_s, 2);
        QTest::mouseClick(editor->findChild<QPushButton *>(u"c_Cancel"_s), Qt::LeftButton);
        NoteSamples::processDeletions();
        QVERIFY(editor.isNull());
        QCOMPARE(run.records(), notes);
        QVERIFY(!run.savedSinceLoad());

        editor = openEditor(2);
        pick(editor, 20, u"8"_s, u"5"_s, 3);
        QTest::mouseClick(editor->findChild<QPushButton *>(u"c_Ok"_s), Qt::LeftButton);
        NoteSamples::processDeletions();
        QVERIFY(editor.isNull());
        QCOMPARE(run.icons(2) + u" / "_s + run.record(2).alarmRepeat, u"20-Jun-2026  8:5 / 3"_s);
        QCOMPARE(run.record(1), notes[0]);
        QCOMPARE(run.icons(1), u"hidden"_s);
        QCOMPARE(notesIn(NotesFilePath()), run.records());
        QCOMPARE(notesIn(NotesBackupPath()), notes); // saved once
    }
};

QTEST_MAIN(tst_Alarms)
#include "tst_Alarms.moc"
