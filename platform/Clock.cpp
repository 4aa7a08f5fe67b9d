// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Clock.h"

namespace platform {

namespace {
const ClockSource *g_source = nullptr;
}

QDateTime Clock::now()
{
    return g_source ? g_source->now() : QDateTime::currentDateTime();
}

void Clock::install(const ClockSource *source)
{
    g_source = source;
}

} // namespace platform
