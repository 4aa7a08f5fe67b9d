// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/DateText.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>

QString formatDate(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString formatTime(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QString formatDateTime(const QDateTime &dateTime)
{
    return formatDate(dateTime.date()) + u' ' + formatTime(dateTime.time());
}

namespace {

// A month's name as it is compared: without the blanks around it or the "." of an abbreviation, in folded case.
QString monthKey(const QString &name)
{
    QString key = name.trimmed();
    while (key.endsWith(u'.'))
        key.chop(1);
    return key.trimmed().toCaseFolded();
}

// What a language calls a month, short and long, in a date and standing alone.
QStringList monthNames(const QLocale &locale, int month)
{
    return {locale.monthName(month, QLocale::ShortFormat), locale.standaloneMonthName(month, QLocale::ShortFormat),
            locale.monthName(month, QLocale::LongFormat), locale.standaloneMonthName(month, QLocale::LongFormat)};
}

void addMonthNames(QHash<QString, int> &names, const QLocale &locale)
{
    for (int month = 1; month <= 12; ++month) {
        for (const QString &name : monthNames(locale, month)) {
            // Where two languages write the same name for different months, the one added first decides.
            if (const QString key = monthKey(name); !key.isEmpty() && !names.contains(key))
                names.insert(key, month);
        }
    }
}

// The month `key` names in this language, short or long.
std::optional<int> monthIn(const QLocale &locale, const QString &key)
{
    for (int month = 1; month <= 12; ++month) {
        for (const QString &name : monthNames(locale, month)) {
            if (monthKey(name) == key)
                return month;
        }
    }
    return std::nullopt;
}

// Every language's month names, short and long, as older copies wrote them into alarms and onto the wire: the
// common desktop languages first, so that a name shared with a rarer language means what they say.
const QHash<QString, int> &everyLanguagesMonths()
{
    static const QHash<QString, int> names = [] {
        QHash<QString, int> all;
        for (QLocale::Language language :
             {QLocale::English,    QLocale::German,  QLocale::French, QLocale::Spanish,         QLocale::Italian,
              QLocale::Portuguese, QLocale::Dutch,   QLocale::Polish, QLocale::Russian,         QLocale::Ukrainian,
              QLocale::Czech,      QLocale::Swedish, QLocale::Danish, QLocale::NorwegianBokmal, QLocale::Finnish,
              QLocale::Hungarian,  QLocale::Turkish, QLocale::Greek,  QLocale::Japanese,        QLocale::Chinese,
              QLocale::Korean})
            addMonthNames(all, QLocale(language));
        for (const QLocale &locale :
             QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory))
            addMonthNames(all, locale);
        return all;
    }();
    return names;
}

std::optional<int> monthFromName(const QString &name)
{
    const QString key = monthKey(name);
    if (key.isEmpty())
        return std::nullopt;
    // English as this suite writes it, then the desktop's own language, then any other.
    static const QHash<QString, int> english = [] {
        QHash<QString, int> names;
        addMonthNames(names, QLocale(QLocale::English, QLocale::UnitedStates));
        return names;
    }();
    if (const auto found = english.constFind(key); found != english.cend())
        return *found;
    if (const std::optional<int> month = monthIn(QLocale(), key))
        return month;
    if (const auto found = everyLanguagesMonths().constFind(key); found != everyLanguagesMonths().cend())
        return *found;
    return std::nullopt;
}

std::optional<QDate> valid(const QDate &date)
{
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

} // namespace

std::optional<QDate> parseDate(const QString &input)
{
    const QString text = input.trimmed();
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    if (const auto m = iso.match(text); m.hasMatch())
        return valid(QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()));

    // The month by name in any language: "Dec", "Dez.", "déc.", "дек.", "12月" (digits and all).
    static const QRegularExpression named(QStringLiteral("^(\\d{1,2})-(.+)-(\\d{4})$"));
    if (const auto m = named.match(text); m.hasMatch()) {
        if (const auto month = monthFromName(m.captured(2)))
            return valid(QDate(m.captured(3).toInt(), *month, m.captured(1).toInt()));
        return std::nullopt;
    }

    // The locale's own short form; a two-digit year is not accepted, as its century would be a guess.
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return valid(QLocale().toDate(text, format));
}

std::optional<QTime> parseTime(const QString &input)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?$"));
    const auto m = pattern.match(input.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QTime time(m.captured(1).toInt(), m.captured(2).toInt(), m.capturedLength(3) ? m.captured(3).toInt() : 0);
    return time.isValid() ? std::optional<QTime>(time) : std::nullopt;
}

std::optional<QDateTime> parseDateTime(const QString &input)
{
    const QString text = input.trimmed();
    const qsizetype blank = text.indexOf(u' ');
    const auto date = parseDate(blank < 0 ? text : text.left(blank));
    if (!date)
        return std::nullopt;
    if (blank < 0)
        return QDateTime(*date, QTime(0, 0));
    const auto time = parseTime(text.mid(blank + 1));
    if (!time)
        return std::nullopt;
    return QDateTime(*date, *time);
}

qint64 minutesBetween(const QDateTime &a, const QDateTime &b)
{
    const auto minuteOf = [](const QDateTime &t) {
        return QDateTime(t.date(), QTime(t.time().hour(), t.time().minute()));
    };
    return minuteOf(a).secsTo(minuteOf(b)) / 60;
}
