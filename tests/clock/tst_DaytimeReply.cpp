// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/DaytimeReply.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
// The day the computer believes it is, for replies read without their date.
const QDate Today(2026, 12, 6);
} // namespace

class tst_DaytimeReply : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void clockTime_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("hoursOff");
        QTest::addColumn<bool>("withDate");
        QTest::addColumn<QDateTime>("expected"); // invalid: the reply gives no time to set

        const QString october = u"Tue Oct 12 14:05:09 1999\r\n"_s;
        const QString morning = u"Tue Oct 12 08:00:00 1999\r\n"_s;
        const QString nist = u"\n61015 25-12-06 12:34:56 00 0 0 123.4 UTC(NIST) * \n"_s;
        QTest::newRow("classic, +1, date") << october << 1 << true << QDateTime({1999, 10, 12}, {15, 5, 10});
        QTest::newRow("classic, +1, today") << october << 1 << false << QDateTime(Today, {15, 5, 10});
        QTest::newRow("-12 goes back a day") << morning << -12 << true << QDateTime({1999, 10, 11}, {20, 0, 1});
        QTest::newRow("-12 without the date stays today") << morning << -12 << false << QDateTime(Today, {20, 0, 1});
        QTest::newRow("+1 past midnight, date")
            << u"Sat Dec 31 23:30:00 2005"_s << 1 << true << QDateTime({2006, 1, 1}, {0, 30, 1});
        QTest::newRow("+1 past midnight, today")
            << u"Sat Dec 31 23:30:00 2005"_s << 1 << false << QDateTime(Today, {0, 30, 1});
        QTest::newRow("leap day's last second")
            << u"Thu Feb 29 23:59:59 2024"_s << 0 << true << QDateTime({2024, 3, 1}, {0, 0, 0});
        // What inetd's built-in service sends: the day padded with a blank, lower-case month read alike.
        QTest::newRow("padded day") << u"Sun dec  6 13:25:58 2026\r\n"_s << 0 << true
                                    << QDateTime({2026, 12, 6}, {13, 25, 59});
        QTest::newRow("NIST, date") << nist << 0 << true << QDateTime({2025, 12, 6}, {12, 34, 57});
        QTest::newRow("NIST, today") << nist << 0 << false << QDateTime(Today, {12, 34, 57});
        QTest::newRow("no colon") << u"no colon here"_s << 0 << false << QDateTime();
        QTest::newRow("colon too early") << u"4:05:09 1999"_s << 0 << false << QDateTime();
        QTest::newRow("no time at the colon") << u"Tue Oct 12 ab:cd:ef 1999"_s << 0 << false << QDateTime();
        QTest::newRow("hour 24") << u"Tue Oct 12 24:00:00 1999"_s << 0 << false << QDateTime();
        QTest::newRow("date asked, none given") << u"14:05:09\r\n"_s << 0 << true << QDateTime();
        QTest::newRow("31 February") << u"Sat Feb 31 10:00:00 2024"_s << 0 << true << QDateTime();
    }

    void clockTime()
    {
        QFETCH(QString, reply);
        QFETCH(int, hoursOff);
        QFETCH(bool, withDate);
        QFETCH(QDateTime, expected);

        const std::optional<NewClockTime> result = ClockTimeFromReply(reply, hoursOff, withDate, Today);
        QCOMPARE(result.has_value(), expected.isValid());
        if (!result)
            return;
        QCOMPARE(result->moment, expected);
        QCOMPARE(result->moment.timeSpec(), Qt::LocalTime);
        QCOMPARE(result->timeText, expected.time().toString(u"HH:mm:ss"_s));
        QCOMPARE(result->dateFromReply, withDate);
    }

    void hoursOffset()
    {
        QCOMPARE(HoursOffset(QString()), std::optional<int>(0));
        QCOMPARE(HoursOffset(u"  "_s), std::optional<int>(0));
        QCOMPARE(HoursOffset(u"5"_s), std::optional<int>(5));
        QCOMPARE(HoursOffset(u"+12"_s), std::optional<int>(12));
        QCOMPARE(HoursOffset(u"-12"_s), std::optional<int>(-12));
        QCOMPARE(HoursOffset(u"13"_s), std::nullopt);
        QCOMPARE(HoursOffset(u"-13"_s), std::nullopt);
        QCOMPARE(HoursOffset(u"x"_s), std::nullopt);
        QCOMPARE(HoursOffset(u"1.5"_s), std::nullopt);
    }
};

QTEST_APPLESS_MAIN(tst_DaytimeReply)
#include "tst_DaytimeReply.moc"
