// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/DaytimeReply.h"

#include <QFile>
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

        QFile rows(QFINDTESTDATA("daytime_replies.txt"));
        QVERIFY(rows.open(QIODevice::ReadOnly));
        for (const QString &line : QString::fromUtf8(rows.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList field = line.split(u" | "_s);
            if (line.startsWith(u'#'))
                continue;
            QVERIFY2(field.size() == 5, qPrintable(line));
            QTest::newRow(qPrintable(field[0]))
                << QString(field[1]).replace(u"\\r"_s, u"\r"_s).replace(u"\\n"_s, u"\n"_s) << field[2].toInt()
                << (field[3] == u"date") << QDateTime::fromString(field[4], Qt::ISODate);
        }
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
        const std::pair<QString, std::optional<int>> offsets[] = {
            {QString(), 0},           {u"  "_s, 0},           {u"5"_s, 5},
            {u"+12"_s, 12},           {u"-12"_s, -12},        {u"13"_s, std::nullopt},
            {u"-13"_s, std::nullopt}, {u"x"_s, std::nullopt}, {u"1.5"_s, std::nullopt}};
        for (const auto &[text, hours] : offsets)
            QCOMPARE(HoursOffset(text), hours);
    }
};

QTEST_APPLESS_MAIN(tst_DaytimeReply)
#include "tst_DaytimeReply.moc"
