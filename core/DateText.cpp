#include "core/DateText.h"

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

std::optional<int> monthFromAbbreviation(const QString &name)
{
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale local;
    for (int month = 1; month <= 12; ++month) {
        for (const QLocale *locale : {&english, &local}) {
            QString abbreviation = locale->monthName(month, QLocale::ShortFormat);
            if (abbreviation.endsWith(u'.'))
                abbreviation.chop(1);
            if (!abbreviation.isEmpty() && name.compare(abbreviation, Qt::CaseInsensitive) == 0)
                return month;
        }
    }
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

    static const QRegularExpression named(QStringLiteral("^(\\d{1,2})-([^\\d\\s-]+)\\.?-(\\d{4})$"));
    if (const auto m = named.match(text); m.hasMatch()) {
        if (const auto month = monthFromAbbreviation(m.captured(2)))
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
