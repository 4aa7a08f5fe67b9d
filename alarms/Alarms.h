// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <optional>

class form_MissedAlarms;
class form_Notify;

// Puts note `index`'s alarm on its two icons, in its window and in its container row: shown while it has an
// alarm, with the date, two spaces and the time as the tooltip.
void ShowAlarmIcons(int index);

// One tick of the container's alarm timer: rings every note due in this minute, in table order. When more than a
// minute passed since the previous tick (the computer slept, or was too busy), the alarms that fell in the gap are
// listed as missed instead of being lost.
void timer_CheckAlarm_Timer();
// A click on an alarm icon: tells when the alarm rings and offers to turn it off.
void image_Alarm_Click(int index, bool fromNoteWindow);
// Opens the alarm editor on note `index`.
void OpenAlarmEditor(int index);

// Lists every alarm whose moment lies before now (after `since`, when given), moving each on to its first
// occurrence not in the past, or clearing it; then saves the notes.
void CheckForMissedAlarms(std::optional<QDateTime> since = std::nullopt);

form_Notify *Notice();
form_MissedAlarms *MissedAlarmsWindow();
// Closes and forgets the alarm windows and the tick history (process end, tests).
void UnloadAlarmWindows();
