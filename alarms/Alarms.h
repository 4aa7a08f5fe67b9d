// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alarms/AlarmScheduler.h"

class form_MissedAlarms;
class form_Notify;

// The alarm windows as views: the notice shows each ring of the scheduler, the missed-alarms window lists what it
// missed, and a note's alarm icon and menu open the box and the editor. Once per process; the windows are made when
// first needed.
void ConnectAlarmWindows();

// A click on an alarm icon: tells when the alarm rings and offers to turn it off.
void image_Alarm_Click(int index);
// Opens the alarm editor on note `index`.
void OpenAlarmEditor(int index);

form_Notify *Notice();
form_MissedAlarms *MissedAlarmsWindow();
// Closes and forgets the alarm windows (process end, tests).
void UnloadAlarmWindows();
