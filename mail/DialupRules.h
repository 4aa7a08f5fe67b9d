// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Whether `hour` (0-23) lies in the block of `count` hours that starts at `first`; a block may run past midnight.
bool ForbiddenHour(int hour, int first, int count);

// The status window's text for a dial-up connection state.
QString RasStateText(int state);
