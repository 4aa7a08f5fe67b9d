// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/RunningTime.h"

#include "core/DateText.h"
#include "core/Settings.h"
#include "platform/Clock.h"

#include <algorithm>
#include <climits>

void StartRunningTime()
{
    Settings().StartMoment = platform::Clock::now();
}

void CountRunningTime(SettingsRecord &s)
{
    if (!s.StartMoment.isValid())
        return;
    const qint64 minutes = minutesBetween(s.StartMoment, platform::Clock::now());
    s.RunningTime = int(std::clamp<qint64>(minutes, -32768, 32767));
    s.totRunningTime = int(std::clamp<qint64>(s.totRunningTimeAtStart + minutes, INT_MIN, INT_MAX));
}
