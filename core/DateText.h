// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

// Dates and times as the suite shows and stores them: yyyy-MM-dd and 24-hour HH:mm:ss, whatever the locale.
QString formatDate(const QDate &date);
QString formatTime(const QTime &time);
QString formatDateTime(const QDateTime &dateTime);

// Reads yyyy-MM-dd, dd-MMM-yyyy (English or the locale's month abbreviation, any letter case) and the locale's
// short date form with a four-digit year, in that order.
std::optional<QDate> parseDate(const QString &text);
// Reads H:m, HH:mm and H:m:s.
std::optional<QTime> parseTime(const QString &text);
// A date, optionally followed by a blank and a time; a date alone means its midnight.
std::optional<QDateTime> parseDateTime(const QString &text);

// Whole minutes between two moments as a calendar difference: the minute boundaries crossed from a to b.
qint64 minutesBetween(const QDateTime &a, const QDateTime &b);
