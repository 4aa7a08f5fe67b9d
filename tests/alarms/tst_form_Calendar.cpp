#include "../notes/NoteSamples.h"
#include "TestEnvironment.h"
#include "alarms/Alarms.h"
#include "alarms/form_Calendar.h"
#include "core/Programs.h"
#include "core/Settings.h"
#include "notes/NoteFile.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using NoteSamples::stored;

const QColor Yellow(255, 255, 0);
const QColor White(255, 255, 255);

void processDeletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Loads the container on the given notes as the notes program's start does, with saving allowed. A save replaces
// notes.dat and keeps the replaced file as notes.old, so notes.old is removed here to tell later saves apart.
void loadNotes(form_Main &container, const QList<NoteRecord> &notes)
{
    QVERIFY(!writeNotesFile(NotesFilePath(), NotesBackupPath(), notes));
    ProgramRunFlags().notes = true;
    container.Form_Load();
    QFile::remove(NotesBackupPath());
}

template <typename T> T *child(QWidget *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        QTest::qFail(qPrintable(u"no control "_s + name), __FILE__, __LINE__);
    return found;
}

QLabel *day(form_Calendar *editor, int number)
{
    return child<QLabel>(editor, u"label_Number"_s + QString::number(number - 1));
}

QString text(form_Calendar *editor, const QString &name)
{
    return child<QLabel>(editor, name)->text();
}

QString shortMonth(int month)
{
    return QLocale().monthName(month, QLocale::ShortFormat);
}

// The days the grid offers, in order.
QList<int> shownDays(form_Calendar *editor)
{
    QList<int> days;
    for (int d = 1; d <= 31; ++d) {
        if (day(editor, d)->isVisibleTo(editor))
            days << d;
    }
    return days;
}

QList<int> yellowDays(form_Calendar *editor)
{
    QList<int> days;
    for (int d = 1; d <= 31; ++d) {
        const QColor colour = day(editor, d)->palette().color(QPalette::Window);
        if (colour == Yellow)
            days << d;
        else if (colour != White)
            QTest::qFail(qPrintable(u"day "_s + QString::number(d) + u" is neither yellow nor white"_s), __FILE__,
                         __LINE__);
    }
    return days;
}

QList<int> range(int first, int last)
{
    QList<int> list;
    for (int i = first; i <= last; ++i)
        list << i;
    return list;
}

// Types into a time box as the user would after selecting its contents.
void retype(QLineEdit *box, const QString &typed)
{
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, typed);
}

void clickDay(form_Calendar *editor, int number)
{
    QLabel *label = day(editor, number);
    QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
}

// A radio button takes clicks on its circle and caption only, not on the blank rest of its width.
void clickOption(form_Calendar *editor, int option)
{
    auto *button = child<QRadioButton>(editor, u"option_Repeat"_s + QString::number(option));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    QVERIFY(button->isChecked());
}

QLabel *noteAlarmIcon(int index)
{
    return NoteStore().note(index)->findChild<QLabel *>(u"image_Alarm"_s);
}

QLabel *rowAlarmIcon(form_Main &container, int index)
{
    return container.findChild<QLabel *>(u"image_Alarm"_s + QString::number(index));
}

} // namespace

class tst_form_Calendar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        // An editor a failed check left open must not carry over into the next test.
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (qobject_cast<form_Calendar *>(w))
                delete w;
        }
        NoteStore().clear();
        UnloadAlarmWindows();
        processDeletions();
    }

    void opensOnTheCurrentMomentWithOnceChosen()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(1999, 6, 12), QTime(8, 5, 0)));
        form_Main container;
        loadNotes(container, {stored(u"dentist"_s, 600, 600)});

        QPointer<form_Calendar> editor = new form_Calendar(1);
        editor->Form_Load();

        QVERIFY(editor->isVisible());
        auto *month = child<QComboBox>(editor, u"combo_Month"_s);
        auto *year = child<QComboBox>(editor, u"combo_Year"_s);
        QCOMPARE(month->count(), 12);
        QCOMPARE(month->itemText(0), u"January"_s);
        QCOMPARE(month->itemText(11), u"December"_s);
        QCOMPARE(month->currentText(), u"June"_s);
        QCOMPARE(year->count(), 71);
        QCOMPARE(year->itemText(0), u"1990"_s);
        QCOMPARE(year->itemText(70), u"2060"_s);
        QCOMPARE(year->currentText(), u"1999"_s);

        QCOMPARE(editor->pickedDay(), 12);
        QCOMPARE(yellowDays(editor), QList<int>{12});
        QCOMPARE(shownDays(editor), range(1, 30));

        QCOMPARE(child<QLineEdit>(editor, u"text_Hour"_s)->text(), u"8"_s);
        QCOMPARE(child<QLineEdit>(editor, u"text_Minute"_s)->text(), u"05"_s);
        QCOMPARE(text(editor, u"label_Date"_s), u"12-"_s + shortMonth(6) + u"-1999"_s);
        QCOMPARE(text(editor, u"label_Day"_s), u"On Saturday"_s);
        for (int k = 0; k < 5; ++k)
            QCOMPARE(child<QRadioButton>(editor, u"option_Repeat"_s + QString::number(k))->isChecked(), k == 0);
        QVERIFY(env.messages.shown().isEmpty());
    }

    void weekdayTexts_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("expected");
        // The first three keep a trailing blank, the last four have none.
        QTest::newRow("Sunday") << QDate(2026, 6, 7) << u"On Sunday "_s;
        QTest::newRow("Monday") << QDate(2026, 6, 8) << u"On Monday "_s;
        QTest::newRow("Tuesday") << QDate(2026, 6, 9) << u"On Tuesday "_s;
        QTest::newRow("Wednesday") << QDate(2026, 6, 10) << u"On Wednesday"_s;
        QTest::newRow("Thursday") << QDate(2026, 6, 11) << u"On Thursday"_s;
        QTest::newRow("Friday") << QDate(2026, 6, 12) << u"On Friday"_s;
        QTest::newRow("Saturday") << QDate(2026, 6, 13) << u"On Saturday"_s;
        QTest::newRow("leap day") << QDate(2024, 2, 29) << u"On Thursday"_s;
    }

    void weekdayTexts()
    {
        QFETCH(QDate, date);
        QFETCH(QString, expected);
        QCOMPARE(form_Calendar::WeekdayText(date), expected);
    }

    void daysInMonth()
    {
        const QList<int> expected{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        for (int m = 0; m < 12; ++m)
            QCOMPARE(form_Calendar::DaysInMonth(m), expected[m]);
        QCOMPARE(form_Calendar::DaysInMonth(-1), 0);
        QCOMPARE(form_Calendar::DaysInMonth(12), 0);
    }

    void aDayBeyondTheNewMonthFallsBackToTheFirst()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 3, 12), QTime(17, 40, 0)));
        form_Main container;
        loadNotes(container, {stored(u"rent"_s, 600, 600)});
        QPointer<form_Calendar> editor = new form_Calendar(1);
        editor->Form_Load();
        QCOMPARE(shownDays(editor), range(1, 31));

        clickDay(editor, 31);
        QCOMPARE(editor->pickedDay(), 31);
        QCOMPARE(yellowDays(editor), QList<int>{31});
        QCOMPARE(text(editor, u"label_Date"_s), u"31-"_s + shortMonth(3) + u"-2026"_s);
        QCOMPARE(text(editor, u"label_Day"_s), u"On Tuesday "_s);

        // One step up in the month list is what the user's arrow key does.
        auto *month = child<QComboBox>(editor, u"combo_Month"_s);
        QTest::keyClick(month, Qt::Key_Up);
        QCOMPARE(month->currentText(), u"February"_s);

        QCOMPARE(editor->pickedDay(), 1);
        QCOMPARE(yellowDays(editor), QList<int>{1});
        QCOMPARE(shownDays(editor), range(1, 28));
        QCOMPARE(text(editor, u"label_Date"_s), u"01-"_s + shortMonth(2) + u"-2026"_s);
        QCOMPARE(text(editor, u"label_Day"_s), u"On Sunday "_s);

        auto *year = child<QComboBox>(editor, u"combo_Year"_s);
        QTest::keyClick(year, Qt::Key_Down);
        QCOMPARE(year->currentText(), u"2027"_s);
        QCOMPARE(text(editor, u"label_Date"_s), u"01-"_s + shortMonth(2) + u"-2027"_s);
        QCOMPARE(text(editor, u"label_Day"_s), u"On Monday "_s);

        // Back in a long month the last days return and the first stays picked.
        QTest::keyClick(month, Qt::Key_Down);
        QCOMPARE(shownDays(editor), range(1, 31));
        QCOMPARE(yellowDays(editor), QList<int>{1});
    }

    void theTwentyNinthOfFebruaryOpensOnTheFirst()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2000, 2, 29), QTime(23, 59, 0)));
        form_Main container;
        loadNotes(container, {stored(u"leap"_s, 600, 600)});
        QPointer<form_Calendar> editor = new form_Calendar(1);
        editor->Form_Load();

        QCOMPARE(child<QComboBox>(editor, u"combo_Month"_s)->currentText(), u"February"_s);
        QCOMPARE(child<QComboBox>(editor, u"combo_Year"_s)->currentText(), u"2000"_s);
        QCOMPARE(shownDays(editor), range(1, 28));
        QCOMPARE(editor->pickedDay(), 1);
        QCOMPARE(yellowDays(editor), QList<int>{1});
        QCOMPARE(text(editor, u"label_Date"_s), u"01-"_s + shortMonth(2) + u"-2000"_s);
        QCOMPARE(text(editor, u"label_Day"_s), u"On Tuesday "_s);
    }

    void timeBoxesHoldOnlyAClockTime_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("hour past the day") << u"text_Hour"_s << u"75"_s << u"23"_s;
        QTest::newRow("minute past the hour") << u"text_Minute"_s << u"75"_s << u"59"_s;
        QTest::newRow("hour 24") << u"text_Hour"_s << u"24"_s << u"23"_s;
        QTest::newRow("minute 60") << u"text_Minute"_s << u"60"_s << u"59"_s;
        QTest::newRow("last hour") << u"text_Hour"_s << u"23"_s << u"23"_s;
        QTest::newRow("one digit hour") << u"text_Hour"_s << u"7"_s << u"7"_s;
        QTest::newRow("one digit minute") << u"text_Minute"_s << u"7"_s << u"7"_s;
        QTest::newRow("letters in the hour") << u"text_Hour"_s << u"ab"_s << QString();
        QTest::newRow("letters in the minute") << u"text_Minute"_s << u"ab"_s << QString();
        QTest::newRow("letters around a digit") << u"text_Minute"_s << u"a4b"_s << u"4"_s;
        QTest::newRow("punctuation") << u"text_Hour"_s << u"1:"_s << u"1"_s;
    }

    void timeBoxesHoldOnlyAClockTime()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 6, 12), QTime(8, 5, 0)));
        form_Main container;
        loadNotes(container, {stored(u"call"_s, 600, 600)});
        QPointer<form_Calendar> editor = new form_Calendar(1);
        editor->Form_Load();

        auto *edit = child<QLineEdit>(editor, box);
        retype(edit, typed);
        QCOMPARE(edit->text(), expected);

        // Letters typed after a digit leave the digit as it was.
        if (expected.isEmpty()) {
            QTest::keyClicks(edit, u"5"_s);
            QTest::keyClicks(edit, u"x"_s);
            QCOMPARE(edit->text(), u"5"_s);
        }
    }

    void okStoresTheAlarmAndShowsItsIcons_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("repeat");
        QTest::newRow("once") << 0 << u"0"_s;
        QTest::newRow("every day") << 1 << u"1"_s;
        QTest::newRow("every week") << 2 << u"2"_s;
        QTest::newRow("every month") << 3 << u"3"_s;
        QTest::newRow("every year") << 4 << u"4"_s;
    }

    void okStoresTheAlarmAndShowsItsIcons()
    {
        QFETCH(int, option);
        QFETCH(QString, repeat);
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 6, 12), QTime(16, 42, 0)));
        form_Main container;
        loadNotes(container, {stored(u"untouched"_s, 600, 600), stored(u"dentist"_s, 1200, 1200)});
        const QByteArray before = fileBytes(NotesFilePath());
        QVERIFY(!noteAlarmIcon(2)->isVisibleTo(NoteStore().note(2)));
        QVERIFY(!rowAlarmIcon(container, 2)->isVisibleTo(&container));

        QPointer<form_Calendar> editor = new form_Calendar(2);
        editor->Form_Load();
        clickDay(editor, 20);
        retype(child<QLineEdit>(editor, u"text_Hour"_s), u"8"_s);
        retype(child<QLineEdit>(editor, u"text_Minute"_s), u"5"_s);
        clickOption(editor, option);
        const QString shownDate = text(editor, u"label_Date"_s);
        QCOMPARE(shownDate, u"20-"_s + shortMonth(6) + u"-2026"_s);

        QTest::mouseClick(child<QPushButton>(editor, u"c_Ok"_s), Qt::LeftButton);
        processDeletions();
        QVERIFY(editor.isNull());

        const NoteRecord &note = NoteStore().note(2)->record();
        QCOMPARE(note.alarmDate, shownDate);
        QCOMPARE(note.alarmTime, u"8:5"_s);
        QCOMPARE(note.alarmRepeat, repeat);
        const QString tip = shownDate + u"  8:5"_s;
        QLabel *noteIcon = noteAlarmIcon(2);
        QVERIFY(noteIcon->isVisibleTo(NoteStore().note(2)));
        QCOMPARE(noteIcon->toolTip(), tip);
        QLabel *rowIcon = rowAlarmIcon(container, 2);
        QVERIFY(rowIcon->isVisibleTo(&container));
        QCOMPARE(rowIcon->toolTip(), tip);

        // The other note keeps no alarm.
        QCOMPARE(NoteStore().note(1)->record().alarmRepeat, u"-1"_s);
        QVERIFY(!noteAlarmIcon(1)->isVisibleTo(NoteStore().note(1)));
        QVERIFY(!rowAlarmIcon(container, 1)->isVisibleTo(&container));

        const DecodedNotes saved = decodeNotes(fileBytes(NotesFilePath()));
        QVERIFY(!saved.failure);
        QCOMPARE(saved.notes.size(), 2);
        QCOMPARE(saved.notes[1].alarmDate, shownDate);
        QCOMPARE(saved.notes[1].alarmTime, u"8:5"_s);
        QCOMPARE(saved.notes[1].alarmRepeat, repeat);
        QCOMPARE(saved.notes[0].alarmRepeat, u"-1"_s);
        QCOMPARE(fileBytes(NotesBackupPath()), before);
        QVERIFY(env.messages.shown().isEmpty());
    }

    void cancelLeavesTheNoteAsItWas()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(2026, 6, 12), QTime(16, 42, 0)));
        form_Main container;
        loadNotes(container, {stored(u"dentist"_s, 600, 600)});
        const QByteArray before = fileBytes(NotesFilePath());
        const QString noteTip = noteAlarmIcon(1)->toolTip();
        const QString rowTip = rowAlarmIcon(container, 1)->toolTip();

        QPointer<form_Calendar> editor = new form_Calendar(1);
        editor->Form_Load();
        clickDay(editor, 3);
        QTest::keyClick(child<QComboBox>(editor, u"combo_Month"_s), Qt::Key_Down);
        retype(child<QLineEdit>(editor, u"text_Hour"_s), u"6"_s);
        retype(child<QLineEdit>(editor, u"text_Minute"_s), u"30"_s);
        clickOption(editor, 2);
        QTest::mouseClick(child<QPushButton>(editor, u"c_Cancel"_s), Qt::LeftButton);
        processDeletions();
        QVERIFY(editor.isNull());

        const NoteRecord &note = NoteStore().note(1)->record();
        QCOMPARE(note.alarmDate, u"NO_DATE_SET"_s);
        QCOMPARE(note.alarmTime, u"13:25"_s);
        QCOMPARE(note.alarmRepeat, u"-1"_s);
        QVERIFY(!noteAlarmIcon(1)->isVisibleTo(NoteStore().note(1)));
        QCOMPARE(noteAlarmIcon(1)->toolTip(), noteTip);
        QVERIFY(!rowAlarmIcon(container, 1)->isVisibleTo(&container));
        QCOMPARE(rowAlarmIcon(container, 1)->toolTip(), rowTip);
        QCOMPARE(fileBytes(NotesFilePath()), before);
        QVERIFY(!QFile::exists(NotesBackupPath()));
    }
};

QTEST_MAIN(tst_form_Calendar)
#include "tst_form_Calendar.moc"
