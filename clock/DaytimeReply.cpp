// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/DaytimeReply.h"

#include <QRegularExpression>
#include <QTimeZone>

std::optional<QTime> DaytimeTimeOfDay(const QString &reply)
{
    const qsizetype colon = reply.indexOf(u':');
    if (colon < 2)
        return std::nullopt;
    const QTime time = QTime::fromString(reply.mid(colon - 2, 8), QStringLiteral("HH:mm:ss"));
    if (!time.isValid())
        return std::nullopt;
    return time;
}

std::optional<QDate> DaytimeDate(const QString &reply)
{
    // Classic: "Www Mmm dd hh:mm:ss yyyy", the month's name in English whatever the desktop's language.
    static const QStringList months = {QStringLiteral("jan"), QStringLiteral("feb"), QStringLiteral("mar"),
                                       QStringLiteral("apr"), QStringLiteral("may"), QStringLiteral("jun"),
                                       QStringLiteral("jul"), QStringLiteral("aug"), QStringLiteral("sep"),
                                       QStringLiteral("oct"), QStringLiteral("nov"), QStringLiteral("dec")};
    const qsizetype month = months.indexOf(reply.mid(4, 3).toLower());
    bool dayOk = false;
    bool yearOk = false;
    const int day = reply.mid(8, 2).trimmed().toInt(&dayOk);
    const int year = reply.mid(20, 4).toInt(&yearOk);
    if (month >= 0 && dayOk && yearOk) {
        const QDate date(year, int(month) + 1, day);
        if (date.isValid())
            return date;
    }
    // NIST: "JJJJJ YY-MM-DD HH:MM:SS ..." (Modified Julian Day, then a two-digit year of this century).
    static const QRegularExpression nist(QStringLiteral(R"(^\s*\d{5}\s+(\d{2})-(\d{2})-(\d{2})\s+\d{2}:\d{2}:\d{2})"));
    const QRegularExpressionMatch match = nist.match(reply);
    if (match.hasMatch()) {
        const QDate date(2000 + match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
        if (date.isValid())
            return date;
    }
    return std::nullopt;
}

bool DaytimeIsUtc(const QString &reply)
{
    static const QRegularExpression nist(QStringLiteral(R"(^\s*\d{5}\s+\d{2}-\d{2}-\d{2}\s+\d{2}:\d{2}:\d{2})"));
    return nist.match(reply).hasMatch() || reply.contains(QStringLiteral("UTC(NIST)"));
}

std::optional<int> HoursOffset(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return 0;
    bool ok = false;
    const int hours = trimmed.toInt(&ok);
    if (!ok || hours < -12 || hours > 12)
        return std::nullopt;
    return hours;
}

std::optional<NewClockTime> ClockTimeFromReply(const QString &reply, int hoursOff, bool withDate, const QDate &today)
{
    const std::optional<QTime> time = DaytimeTimeOfDay(reply);
    if (!time)
        return std::nullopt;
    NewClockTime result;
    result.dateFromReply = withDate;
    if (DaytimeIsUtc(reply)) {
        const std::optional<QDate> utcDate = DaytimeDate(reply);
        if (!utcDate)
            return std::nullopt;
        const QDateTime here = QDateTime(*utcDate, *time, QTimeZone::utc()).addSecs(1).toLocalTime();
        result.timeText = here.time().toString(QStringLiteral("HH:mm:ss"));
        result.moment = withDate ? here : QDateTime(today, here.time());
        return result;
    }
    std::optional<QDate> date = today;
    if (withDate) {
        date = DaytimeDate(reply);
        if (!date)
            return std::nullopt;
    }
    const qint64 offsetSeconds = qint64(hoursOff) * 3600;
    // Counted on a calendar of its own, free of daylight-saving gaps, so that the day carries exactly.
    const QDateTime reckoned = QDateTime(*date, *time, QTimeZone::utc()).addSecs(1 + offsetSeconds);
    result.timeText = reckoned.time().toString(QStringLiteral("HH:mm:ss"));
    result.moment = QDateTime(withDate ? reckoned.date() : today, reckoned.time());
    return result;
}
