#include "alarms/AlarmRules.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
NoteRecord alarm(const QString &date, const QString &time, const QString &repeat)
{
    NoteRecord note;
    note.alarmDate = date;
    note.alarmTime = time;
    note.alarmRepeat = repeat;
    return note;
}
} // namespace

class tst_AlarmRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void repeatsMoveByCalendarRules_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<QStringList>("next");
        QTest::newRow("daily across a month")
            << u"31-Jan-2026"_s << u"1"_s << QStringList{u"2026-02-01"_s, u"2026-02-02"_s};
        QTest::newRow("weekly across a year")
            << u"2026-12-28"_s << u"2"_s << QStringList{u"2027-01-04"_s, u"2027-01-11"_s};
        QTest::newRow("monthly, common year")
            << u"2026-01-31"_s << u"3"_s << QStringList{u"2026-02-28"_s, u"2026-03-28"_s, u"2026-04-28"_s};
        QTest::newRow("monthly, leap year")
            << u"31-jan-2024"_s << u"3"_s << QStringList{u"2024-02-29"_s, u"2024-03-29"_s};
        QTest::newRow("monthly, 31 March") << u"2026-03-31"_s << u"3"_s << QStringList{u"2026-04-30"_s};
        QTest::newRow("yearly from 29 February")
            << u"29-Feb-2024"_s << u"4"_s << QStringList{u"2025-02-28"_s, u"2026-02-28"_s};
    }
    void repeatsMoveByCalendarRules()
    {
        QFETCH(QString, start);
        QFETCH(QString, repeat);
        QFETCH(QStringList, next);
        NoteRecord note = alarm(start, u"8:5"_s, repeat);
        for (const QString &expected : next) {
            AlarmRules::advance(note);
            QCOMPARE(note.alarmDate, expected);
            QCOMPARE(note.alarmTime, u"8:5"_s);
            QCOMPARE(note.alarmRepeat, repeat);
        }
    }

    void onceClearsAndUnknownCodesStay()
    {
        NoteRecord once = alarm(u"2026-06-12"_s, u"8:05"_s, u"0"_s);
        AlarmRules::advance(once);
        QCOMPARE(once.alarmDate, u"NO_DATE_SET"_s);
        QCOMPARE(once.alarmRepeat, u"-1"_s);
        NoteRecord odd = alarm(u"2026-06-12"_s, u"8:05"_s, u"7"_s);
        AlarmRules::advance(odd);
        QCOMPARE(odd.alarmDate, u"2026-06-12"_s);
    }

    void dueInItsMinuteWhateverTheSeconds()
    {
        const QDate day(2026, 6, 12);
        for (const QString &time : {u"8:5"_s, u"08:05"_s}) {
            const NoteRecord note = alarm(u"12-jun-2026"_s, time, u"0"_s);
            QVERIFY(!AlarmRules::isDue(note, QDateTime(day, QTime(8, 4, 59))));
            QVERIFY(AlarmRules::isDue(note, QDateTime(day, QTime(8, 5, 0))));
            QVERIFY(AlarmRules::isDue(note, QDateTime(day, QTime(8, 5, 59))));
            QVERIFY(!AlarmRules::isDue(note, QDateTime(day, QTime(8, 6, 0))));
            QVERIFY(!AlarmRules::isDue(note, QDateTime(day.addDays(1), QTime(8, 5, 0))));
        }
        QVERIFY(!AlarmRules::isDue(alarm(u"NO_DATE_SET"_s, u"13:25"_s, u"-1"_s), QDateTime(day, QTime(13, 25))));
        QVERIFY(!AlarmRules::isDue(alarm(u"2026-06-12"_s, u"ab:cd"_s, u"1"_s), QDateTime(day, QTime(0, 0))));
        QCOMPARE(AlarmRules::moment(alarm(u"12-Jun-2026"_s, u"8:5"_s, u"0"_s)),
                 std::optional<QDateTime>(QDateTime(day, QTime(8, 5))));
    }

    void theMessageSaysWhenAndHowOften()
    {
        QCOMPARE(AlarmRules::message(alarm(u"12-Jun-1999"_s, u"8:05"_s, u"2"_s)),
                 u"The alarm rings: 12-Jun-1999  8:05\n\rIt is repeated every week.\n\r\n\rDo you want to turn the "
                 "alarm off ?"_s);
        QCOMPARE(AlarmRules::repeatWord(u"0"_s), u"once."_s);
        QCOMPARE(AlarmRules::repeatWord(u"4"_s), u"every year."_s);
        QCOMPARE(AlarmRules::repeatWord(u"9"_s), QString());
        QCOMPARE(AlarmRules::tooltip(alarm(u"12-jun-1999"_s, u"8:05"_s, u"0"_s)), u"12-jun-1999  8:05"_s);
        QCOMPARE(AlarmRules::noticeCaption(QDateTime(QDate(1999, 6, 12), QTime(8, 5, 30))),
                 u"Dont forget: 1999-06-12 8:05"_s);
    }
};

QTEST_GUILESS_MAIN(tst_AlarmRules)
#include "tst_AlarmRules.moc"
