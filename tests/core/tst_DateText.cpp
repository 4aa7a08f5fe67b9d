// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/DateText.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_DateText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void datesInEveryAcceptedForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("expected");
        QTest::newRow("iso") << u"1999-09-07"_s << QDate(1999, 9, 7);
        QTest::newRow("iso short parts") << u"1999-9-7"_s << QDate(1999, 9, 7);
        QTest::newRow("named lower") << u"12-jun-1999"_s << QDate(1999, 6, 12);
        QTest::newRow("named title") << u"12-Jun-1999"_s << QDate(1999, 6, 12);
        QTest::newRow("named upper") << u"1-DEC-2026"_s << QDate(2026, 12, 1);
        QTest::newRow("leap day") << u"2000-02-29"_s << QDate(2000, 2, 29);
        QTest::newRow("no leap day") << u"1900-02-29"_s << QDate();
        QTest::newRow("month 13") << u"1999-13-01"_s << QDate();
        QTest::newRow("unknown month") << u"12-Foo-1999"_s << QDate();
        QTest::newRow("garbage") << u"abc"_s << QDate();
        QTest::newRow("empty") << QString() << QDate();
    }
    void datesInEveryAcceptedForm()
    {
        QFETCH(QString, text);
        QFETCH(QDate, expected);
        QCOMPARE(parseDate(text).value_or(QDate()), expected);
    }

    // Alarm dates as the alarm editor of every earlier copy wrote them, in the desktop's language, and as it writes
    // them now (English), read back on desktops in every other of these languages.
    void monthNamesOfEveryLanguageAreRead()
    {
        const QList<QLocale> languages = {
            QLocale(QLocale::German, QLocale::Germany),      QLocale(QLocale::French, QLocale::France),
            QLocale(QLocale::Dutch, QLocale::Netherlands),   QLocale(QLocale::Spanish, QLocale::Spain),
            QLocale(QLocale::Russian, QLocale::Russia),      QLocale(QLocale::Japanese, QLocale::Japan),
            QLocale(QLocale::Chinese, QLocale::China),       QLocale(QLocale::Polish, QLocale::Poland),
            QLocale(QLocale::English, QLocale::UnitedStates)};
        const QLocale before;
        QStringList failures;
        for (const QLocale &desktop : languages) {
            QLocale::setDefault(desktop);
            for (int i = 0; i < int(languages.size()) * 12; ++i) {
                const QLocale &writer = languages[i / 12];
                const int month = i % 12 + 1;
                const QString shortName = writer.monthName(month, QLocale::ShortFormat);
                for (const QString &name : {shortName, shortName.toUpper(), writer.monthName(month)})
                    if (parseDate(u"06-"_s + name + u"-2026"_s) != std::optional<QDate>(QDate(2026, month, 6)))
                        failures << name + u" on a "_s + desktop.name() + u" desktop"_s;
            }
        }
        QLocale::setDefault(before);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u", "_s)));
        // With or without the "." of an abbreviation, and with what is not a month in any language.
        QCOMPARE(parseDate(u"06-Dez-2026"_s), std::optional<QDate>(QDate(2026, 12, 6)));
        QCOMPARE(parseDate(u"06-déc-2026"_s), std::optional<QDate>(QDate(2026, 12, 6)));
        QCOMPARE(parseDate(u"06-Xyz.-2026"_s), std::nullopt);
        QCOMPARE(parseDate(u"06--2026"_s), std::nullopt);
    }

    void times_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QTime>("expected");
        QTest::newRow("H:m") << u"8:5"_s << QTime(8, 5);
        QTest::newRow("HH:mm") << u"08:05"_s << QTime(8, 5);
        QTest::newRow("H:m:s") << u"17:33:26"_s << QTime(17, 33, 26);
        QTest::newRow("hour 24") << u"24:00"_s << QTime();
        QTest::newRow("minute 60") << u"10:60"_s << QTime();
        QTest::newRow("letters") << u"8:a5"_s << QTime();
    }
    void times()
    {
        QFETCH(QString, text);
        QFETCH(QTime, expected);
        QCOMPARE(parseTime(text).value_or(QTime()), expected);
    }

    void dateTimesRoundTrip()
    {
        const QDateTime moment(QDate(1999, 9, 7), QTime(17, 33, 26));
        QCOMPARE(formatDateTime(moment), u"1999-09-07 17:33:26"_s);
        QCOMPARE(parseDateTime(formatDateTime(moment)), std::optional<QDateTime>(moment));
        QCOMPARE(parseDateTime(u"1990-01-01"_s), std::optional<QDateTime>(QDateTime(QDate(1990, 1, 1), QTime(0, 0))));
        QVERIFY(!parseDateTime(u"1990-01-01 noon"_s));
    }

    void minutesAreCalendarMinutes()
    {
        const QDateTime start(QDate(2026, 12, 31), QTime(23, 59, 59));
        QCOMPARE(minutesBetween(start, start.addSecs(1)), 1);
        QCOMPARE(minutesBetween(start.addSecs(-58), start), 0);
        QCOMPARE(minutesBetween(start, start.addSecs(90 * 60)), 90);
    }
};

QTEST_GUILESS_MAIN(tst_DateText)
#include "tst_DateText.moc"
