// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notes/NoteRecord.h"

#include <QDateTime>
#include <QString>
#include <optional>

// What a note's alarm means: when it is due, how it moves on after a ring, and how it is described.
namespace AlarmRules {

inline const QString NoDateSet = QStringLiteral("NO_DATE_SET");
inline const QString NoAlarm = QStringLiteral("-1");

// The alarm's date, when its text reads as one (both the editor's dd-MMM-yyyy and the short form).
std::optional<QDate> date(const NoteRecord &note);
// The alarm's hour and minute, when its text reads as a time (8:5, 08:05).
std::optional<QTime> time(const NoteRecord &note);
// The alarm's moment: its date at its hour and minute.
std::optional<QDateTime> moment(const NoteRecord &note);

// An alarm read as `at` is due in the minute of `now`: the date is today and hour and minute match; seconds play no
// part.
bool isDueAt(const QDateTime &at, const QDateTime &now);

void clear(NoteRecord &note);
// After a ring: a once-only alarm is cleared, a repeating one moves on by its interval (a calendar month keeps
// the day where it exists and takes the month's last day where not; 29 February becomes 28 February in a common
// year). Any other repeat code changes nothing.
void advance(NoteRecord &note);
bool isRepeatCode(const QString &repeat);

// "once.", "every day." ... for codes 0-4; empty otherwise.
QString repeatWord(const QString &repeat);
// The question asked when the user clicks an alarm icon.
QString message(const NoteRecord &note);
// The icons' tooltip: date, two spaces, time.
QString tooltip(const NoteRecord &note);
// The notice's frame caption at `now`: "Dont forget: " + date + " " + H:mm.
QString noticeCaption(const QDateTime &now);

} // namespace AlarmRules
