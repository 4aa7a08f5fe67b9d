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
