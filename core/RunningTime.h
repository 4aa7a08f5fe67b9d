// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct SettingsRecord;

// Running time is counted from this moment (the suite's start).
void StartRunningTime();
// This run's minutes so far into the record, and the total with them.
void CountRunningTime(SettingsRecord &record);
