// SPDX-License-Identifier: GPL-3.0-or-later
#include "AlarmTestSupport.h"
#include "alarms/AlarmRules.h"

#include <QTest>

using namespace Qt::StringLiterals;
using AlarmTest::alarmNote;

class tst_AlarmRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void repeatsMoveByCalendarRules_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<QStringList>("next");
        QTest::newRow("daily across a month") << u"31-Jan-2026"_s << u"1"_s << QStringList{u"2026-02-01"_s};
        QTest::newRow("weekly across a year") << u"2026-12-28"_s << u"2"_s << QStringList{u"2027-01-04"_s};
        // Once cut to a short month, the day stays cut.
        QTest::newRow("monthly, common year")
            << u"2026-01-31"_s << u"3"_s << QStringList{u"2026-02-28"_s, u"2026-03-28"_s};
        QTest::newRow("monthly, leap year") << u"31-jan-2024"_s << u"3"_s << QStringList{u"2024-02-29"_s};
        QTest::newRow("yearly from 29 February")
            << u"29-Feb-2024"_s << u"4"_s << QStringList{u"2025-02-28"_s, u"2026-02-28"_s};
        QTest::newRow("unknown code") << u"2026-06-12"_s << u"7"_s << QStringList{u"2026-06-12"_s};
    }
    void repeatsMoveByCalendarRules()
    {
        QFETCH(QString, start);
        QFETCH(QString, repeat);
        QFETCH(QStringList, next);
        NoteRecord note = alarmNote({}, start, u"8:5"_s, repeat);
        for (const QString &expected : next) {
            AlarmRules::advance(note);
            QCOMPARE((QStringList{note.alarmDate, note.alarmTime, note.alarmRepeat}),
                     (QStringList{expected, u"8:5"_s, repeat}));
        }
    }

    void anUnknownRepeatHasNoWords() { QCOMPARE(AlarmRules::repeatWord(u"9"_s), QString()); }
};

QTEST_GUILESS_MAIN(tst_AlarmRules)
#include "tst_AlarmRules.moc"
