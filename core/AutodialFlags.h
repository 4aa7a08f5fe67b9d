// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Dial-up and mail state shared by the clock and the mail check: whether the system's autodial is switched off,
// who is working on the network now, and whether the mail check dialled the connection itself.
struct AutodialFlagsRecord {
    bool AutodialDisabled = false;
    bool ClockSyncActive = false;
    bool MailCheckActive = false;
    bool RasDialedByCheck = false;
};

AutodialFlagsRecord &AutodialFlags();

// The system's automatic dialling is switched off while the clock or the mail check uses the network, and back on
// once neither does. Linux has no such switch, so only the flags and the trace field change.
void DisableAutodial();
void RestoreAutoDial();
