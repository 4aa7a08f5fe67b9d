// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AutodialFlags.h"

#include "core/Trace.h"

AutodialFlagsRecord &AutodialFlags()
{
    static AutodialFlagsRecord flags;
    return flags;
}

void DisableAutodial()
{
    AutodialFlagsRecord &flags = AutodialFlags();
    if (flags.AutodialDisabled)
        return;
    SetTrace(QStringLiteral("Disabled"));
    flags.AutodialDisabled = true;
}

void RestoreAutoDial()
{
    AutodialFlagsRecord &flags = AutodialFlags();
    if (!flags.AutodialDisabled)
        return;
    const int busy = int(flags.ClockSyncActive) + int(flags.MailCheckActive);
    if (busy > 1)
        return;
    // "Reostored" is how the trace has always spelled it.
    SetTrace(QStringLiteral("Reostored ") + QString::number(busy));
    flags.AutodialDisabled = false;
}
