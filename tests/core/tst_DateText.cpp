// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/DateText.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_DateText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // "text=what is read from it" (none: empty). A month's name may have the "." of an abbreviation or not, in any
    // case; 1900 had no 29 February.
    void datesAndTimesInEveryAcceptedForm()
    {
        for (const QString &pair :
             {u"1999-09-07=1999-09-07"_s, u"1999-9-7=1999-09-07"_s, u"12-jun-1999=1999-06-12"_s,
              u"12-Jun-1999=1999-06-12"_s, u"1-DEC-2026=2026-12-01"_s, u"2000-02-29=2000-02-29"_s,
              u"06-Dez-2026=2026-12-06"_s, u"06-déc-2026=2026-12-06"_s, u"1900-02-29="_s, u"1999-13-01="_s,
              u"12-Foo-1999="_s, u"06-Xyz.-2026="_s, u"06--2026="_s, u"abc="_s, u"="_s}) {
            const QString text = pair.section(u'=', 0, 0);
            QCOMPARE(text + u'=' + parseDate(text).value_or(QDate()).toString(Qt::ISODate), pair);
        }
        for (const QString &pair :
             {u"8:5=08:05:00"_s, u"08:05=08:05:00"_s, u"17:33:26=17:33:26"_s, u"24:00="_s, u"10:60="_s, u"8:a5="_s}) {
            const QString text = pair.section(u'=', 0, 0);
            QCOMPARE(text + u'=' + parseTime(text).value_or(QTime()).toString(Qt::ISODate), pair);
        }
        const QDateTime moment(QDate(1999, 9, 7), QTime(17, 33, 26));
        QCOMPARE(formatDateTime(moment), u"1999-09-07 17:33:26"_s);
        QCOMPARE(parseDateTime(formatDateTime(moment)), std::optional<QDateTime>(moment));
        QCOMPARE(parseDateTime(u"1990-01-01"_s), std::optional<QDateTime>(QDateTime(QDate(1990, 1, 1), QTime(0, 0))));
        QVERIFY(!parseDateTime(u"1990-01-01 noon"_s));
    }

    // Alarm dates as the alarm editor of every earlier copy wrote them, in the desktop's language, and as it writes
    // them now (English), read back on desktops in every other of these languages.
    void monthNamesOfEveryLanguageAreRead()
    {
        // Each language where it is mostly spoken: de_DE, fr_FR, ..., en_US.
        const QList<QLocale> languages = {QLocale::German,  QLocale::French,  QLocale::Dutch,
                                          QLocale::Spanish, QLocale::Russian, QLocale::Japanese,
                                          QLocale::Chinese, QLocale::Polish,  QLocale::English};
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
    }
};

QTEST_GUILESS_MAIN(tst_DateText)
#include "tst_DateText.moc"
