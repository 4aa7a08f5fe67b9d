// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Programs.h"

#include "core/SettingsState.h"

#include <vector>

bool &ProgramRunFlagsRecord::of(Program program)
{
    switch (program) {
    case Program::Notes:
        return notes;
    case Program::Clock:
        return clock;
    case Program::Email:
        return email;
    case Program::Calculator:
        break;
    }
    return calculator;
}

ProgramRunFlagsRecord &ProgramRunFlags()
{
    return settingsState().running;
}

int CountRunningPrograms()
{
    const ProgramRunFlagsRecord &f = ProgramRunFlags();
    return int(f.calculator) + int(f.notes) + int(f.clock) + int(f.email);
}

namespace {

std::vector<void (*)()> &processRecords()
{
    static std::vector<void (*)()> resets;
    return resets;
}

} // namespace

void RegisterProcessRecord(void (*reset)())
{
    processRecords().push_back(reset);
}

void ResetProcessRecords()
{
    for (const auto reset : processRecords())
        reset();
}
