// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// A DAYTIME reply (RFC 867) read the way the clock has always read it, in the classic layout
// "Tue Oct 12 14:05:09 1999" or in NIST's "JJJJJ YY-MM-DD HH:MM:SS TT L H msADV UTC(NIST) *".

// The time of day: the 8 characters that start 2 before the first ":". Nothing when they are no time.
std::optional<QTime> DaytimeTimeOfDay(const QString &reply);

// The date: month, day and year at positions 5, 9 and 21 of the classic layout, else NIST's YY-MM-DD.
std::optional<QDate> DaytimeDate(const QString &reply);

// The hour offset as typed: a whole number of hours from -12 to 12, blank meaning 0.
std::optional<int> HoursOffset(const QString &text);

// Whether the reply is in NIST's layout, which states UTC: it is that instant, whatever the hour offset says.
bool DaytimeIsUtc(const QString &reply);

struct NewClockTime {
    QDateTime moment; // the instant to set
    QString timeText; // the new time of day as the "New time : " box shows it
    bool dateFromReply = false;
};

// The time to set. A classic reply is the server's local time: its time + 1 second + the offset, as local time here.
// A NIST reply is UTC: its instant + 1 second, the offset aside, and local time is the system's business. With the
// date, the reply's date goes with it, so that an offset across midnight carries the day; without it, today's date
// keeps the new time of day. Nothing when the reply holds no time, or the date is asked for and the reply holds
// none.
std::optional<NewClockTime> ClockTimeFromReply(const QString &reply, int hoursOff, bool withDate, const QDate &today);
