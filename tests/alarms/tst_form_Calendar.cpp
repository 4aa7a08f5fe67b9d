// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlarmTestSupport.h"
#include "alarms/Alarms.h"
#include "alarms/form_Calendar.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace AlarmTest;
using NoteSamples::stored;

namespace {

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

void click(form_Calendar *editor, const QString &button)
{
    QTest::mouseClick(editor->findChild<QPushButton *>(button), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class tst_form_Calendar : public QObject {
    Q_OBJECT

private Q_SLOTS:
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

    void aDayBeyondTheNewMonthFallsBackToTheFirst()
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
    }

    void timeBoxesHoldOnlyAClockTime()
    {
        NotesRun run({stored(u"call"_s, 600, 600)}, QDateTime(QDate(2026, 6, 12), QTime(8, 5)));
        QPointer<form_Calendar> editor = openEditor(1);
        // Box, typed, what it holds.
        for (const auto &[box, typed, held] : {std::tuple{"Hour", "75", "23"},
                                               {"Hour", "24", "23"},
                                               {"Minute", "75", "59"},
                                               {"Minute", "60", "59"},
                                               {"Minute", "7", "7"},
                                               {"Hour", "ab", ""},
                                               {"Hour", "5x", "5"}})
            QCOMPARE(
                retype(editor->findChild<QLineEdit *>(u"text_"_s + QLatin1StringView(box)), QLatin1StringView(typed)),
                QLatin1StringView(held));
    }

    void okStoresTheAlarmAndShowsItsIconsCancelDoesNot_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<QLocale>("desktop");
        QTest::newRow("once") << 0 << u"0"_s << QLocale::c();
        // Stored with the note and sent to other computers, the date is English on any desktop.
        QTest::newRow("every month, German desktop") << 3 << u"3"_s << QLocale(QLocale::German, QLocale::Germany);
    }

    void okStoresTheAlarmAndShowsItsIconsCancelDoesNot()
    {
        QFETCH(int, option);
        QFETCH(QString, repeat);
        QFETCH(QLocale, desktop);
        QLocale::setDefault(desktop);
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        const QList<NoteRecord> notes{stored(u"untouched"_s, 600, 600), stored(u"dentist"_s, 1200, 1200)};
        NotesRun run(notes, QDateTime(QDate(2026, 6, 12), QTime(16, 42)));
        QPointer<form_Calendar> editor = openEditor(2);
        pick(editor, 3, u"6"_s, u"30"_s, 2);
        click(editor, u"c_Cancel"_s);
        QVERIFY(editor.isNull());
        QCOMPARE(run.records(), notes);
        QVERIFY(!run.savedSinceLoad());

        editor = openEditor(2);
        pick(editor, 20, u"8"_s, u"5"_s, option);
        click(editor, u"c_Ok"_s);
        QVERIFY(editor.isNull());
        QCOMPARE(run.icons(2), u"20-Jun-2026  8:5"_s);
        QCOMPARE(run.record(2).alarmRepeat, repeat);
        QCOMPARE(run.record(1), notes[0]);
        QCOMPARE(run.icons(1), u"hidden"_s);
        QCOMPARE(savedNotes(), run.records());
        QCOMPARE(savedNotes(NotesBackupPath()), notes); // saved once
    }
};

QTEST_MAIN(tst_form_Calendar)
#include "tst_form_Calendar.moc"
