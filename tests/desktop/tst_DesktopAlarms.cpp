// SPDX-License-Identifier: GPL-3.0-or-later
// Alarms of the real program on a German desktop: one stored by an older copy in German is listed as missed at the
// start, one set through the editor rings in front of the other windows and is answered from the keyboard.
#include "Desktop.h"

#include <QDateTime>
#include <QLocale>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace {

class tst_DesktopAlarms : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void germanDesktopAlarmsRingAndMissedOnesAreListed()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        // Yesterday's alarm as the German editor of earlier copies wrote it: "05-Dez.-2026".
        const QDate yesterday =
            QDateTime::currentDateTimeUtc().toTimeZone(QTimeZone("Europe/Berlin")).date().addDays(-1);
        NoteRecord missed = storedNote(u"Verpasst"_s, false);
        missed.alarmDate = QLocale(QLocale::German, QLocale::Germany).toString(yesterday, u"dd-MMM-yyyy"_s);
        missed.alarmTime = u"10:00"_s;
        missed.alarmRepeat = u"0"_s;
        desktop.startNotes({storedNote(u"Zahnarzt"_s, true), missed},
                           {u"LANG=de_DE.UTF-8"_s, u"LC_ALL=de_DE.UTF-8"_s, u"LANGUAGE=de"_s, u"TZ=Europe/Berlin"_s});
        QVERIFY2(desktop.waitWindow(u"^Missed alarms$"_s, 15000), "the German alarm was not listed as missed");
        QCOMPARE(desktop.waitTrayIcons(1).size(), 1);
        desktop.waitWindow(u"^Container$"_s);

        // "Set alarmtime" from the note's menu, for the present minute.
        const qulonglong note = desktop.waitWindow(u"^Note$"_s);
        QVERIFY(note);
        QVERIFY2(desktop.chooseFromMenu(desktop.geometry(note).topLeft() + QPoint(9, 7), u"e"_s, 1), "no menu opened");
        const qulonglong editor = desktop.waitWindow(u"^Alarm$"_s, 5000);
        QVERIFY2(editor, "no alarm editor");
        // Far enough from the minute's end that the alarm is not in the past once it is saved.
        const auto berlin = [] { return QDateTime::currentDateTimeUtc().toTimeZone(QTimeZone("Europe/Berlin")); };
        while (berlin().time().second() > 45)
            Desktop::pause(500);
        const QTime now = berlin().time();
        if (now.hour() == 23 && now.minute() == 59)
            QSKIP("the minute before midnight belongs to tomorrow's date");
        const QPoint client = desktop.settledGeometry(editor).topLeft();
        desktop.click(client + QPoint(52, 238)); // the hour box
        desktop.key(u"ctrl+a"_s);
        desktop.type(QString::number(now.hour()));
        desktop.click(client + QPoint(84, 238)); // the minute box
        desktop.key(u"ctrl+a"_s);
        desktop.type(QString::number(now.minute()));
        desktop.click(client + QPoint(407, 249)); // OK
        QVERIFY2(Desktop::waitFor([&] { return !desktop.isViewable(editor); }, 3000), "the editor stayed open");

        // Rung within a tick, and cleared, as it was "Once".
        const auto stored = [&] { return desktop.readNotes().value_or(QList<NoteRecord>()).value(0).alarmDate; };
        const qulonglong ringing = desktop.waitWindow(u"^Alarm$"_s, 15000);
        QVERIFY2(ringing, "the alarm did not ring");
        QVERIFY2(Desktop::waitFor([&] { return stored() == u"NO_DATE_SET"_s; }, 10000), qPrintable(stored()));
        // In front, with the keyboard: Return answers it.
        QVERIFY2(Desktop::waitFor([&] { return desktop.activeWindow() == ringing; }, 3000),
                 "the alarm is not the active window");
        desktop.key(u"Return"_s);
        QVERIFY2(Desktop::waitFor([&] { return !desktop.isViewable(ringing); }, 3000), "Return left the alarm up");
    }
};

} // namespace

QTEST_GUILESS_MAIN(tst_DesktopAlarms)
#include "tst_DesktopAlarms.moc"
