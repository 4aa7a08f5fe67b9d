// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Clock.h"

#include "platform/Seams.h"

namespace platform {

QDateTime Clock::now()
{
    return seams().clock ? seams().clock->now() : QDateTime::currentDateTime();
}

void Clock::install(const ClockSource *source)
{
    seams().clock = source;
}

} // namespace platform
