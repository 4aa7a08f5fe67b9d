// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/AlarmRules.h"

#include "core/DateText.h"

namespace AlarmRules {

std::optional<QDate> date(const NoteRecord &note)
{
    return parseDate(note.alarmDate);
}

std::optional<QTime> time(const NoteRecord &note)
{
    return parseTime(note.alarmTime);
}

namespace {

// The local moment the clock shows as wall on day, if it shows it at all: not in the hour summer time skips, where
// Qt before 6.7 makes the moment invalid and later versions move it on by the length of the gap.
std::optional<QDateTime> onTheClock(const QDate &day, const QTime &wall)
{
    const QDateTime at(day, wall);
    if (at.isValid() && at.date() == day && at.time() == wall)
        return at;
    return std::nullopt;
}

} // namespace

std::optional<QDateTime> moment(const NoteRecord &note)
{
    const auto d = date(note);
    const auto t = time(note);
    if (!d || !t)
        return std::nullopt;
    const QTime minute(t->hour(), t->minute());
    if (const auto at = onTheClock(*d, minute))
        return at;
    // A minute the clock skips when summer time begins: the alarm rings at the first minute that exists after it.
    for (int later = 1; later <= 24 * 60; ++later) {
        const QTime wall = minute.addSecs(later * 60);
        if (wall < minute)
            break;
        if (const auto candidate = onTheClock(*d, wall))
            return candidate;
    }
    return std::nullopt;
}

bool isDueAt(const QDateTime &at, const QDateTime &now)
{
    return at.date() == now.date() && at.time().hour() == now.time().hour() &&
           at.time().minute() == now.time().minute();
}

void clear(NoteRecord &note)
{
    note.alarmDate = NoDateSet;
    note.alarmRepeat = NoAlarm;
}

bool isRepeatCode(const QString &repeat)
{
    return repeat == u"0" || repeat == u"1" || repeat == u"2" || repeat == u"3" || repeat == u"4";
}

void advance(NoteRecord &note)
{
    if (note.alarmRepeat == u"0") {
        clear(note);
        return;
    }
    const auto d = date(note);
    if (!d || !isRepeatCode(note.alarmRepeat))
        return;
    QDate next;
    switch (note.alarmRepeat.toInt()) {
    case 1:
        next = d->addDays(1);
        break;
    case 2:
        next = d->addDays(7);
        break;
    case 3:
        next = d->addMonths(1); // Qt takes the month's last day where the day does not exist
        break;
    default:
        next = d->addYears(1);
        break;
    }
    note.alarmDate = formatDate(next);
}

QString repeatWord(const QString &repeat)
{
    static const QString words[] = {QStringLiteral("once."), QStringLiteral("every day."),
                                    QStringLiteral("every week."), QStringLiteral("every month."),
                                    QStringLiteral("every year.")};
    return isRepeatCode(repeat) ? words[repeat.toInt()] : QString();
}

QString message(const NoteRecord &note)
{
    const QString lfcr = QStringLiteral("\n\r");
    return u"The alarm rings: " + note.alarmDate + u"  " + note.alarmTime + lfcr + u"It is repeated " +
           repeatWord(note.alarmRepeat) + lfcr + lfcr + u"Do you want to turn the alarm off ?";
}

QString tooltip(const NoteRecord &note)
{
    return note.alarmDate + u"  " + note.alarmTime;
}

QString noticeCaption(const QDateTime &now)
{
    return u"Dont forget: " + formatDate(now.date()) + u' ' + QString::number(now.time().hour()) + u':' +
           QStringLiteral("%1").arg(now.time().minute(), 2, 10, QLatin1Char('0'));
}

} // namespace AlarmRules
