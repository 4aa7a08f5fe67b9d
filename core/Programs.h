// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

enum class Program { Notes, Clock, Email, Calculator };

// Which of the four programs run now. Cleared at start, set when a program starts, cleared when it exits.
struct ProgramRunFlagsRecord {
    bool notes = false;
    bool clock = false;
    bool email = false;
    bool calculator = false;

    bool &of(Program program);
};

ProgramRunFlagsRecord &ProgramRunFlags();
// How many of the four run, 0 to 4.
int CountRunningPrograms();

// The process-wide records of the programs above the core (the note table, the user table, the alarm scheduler's
// state) each register at their first use how they are emptied; one never used holds nothing. For tests.
void RegisterProcessRecord(void (*reset)());
void ResetProcessRecords();
