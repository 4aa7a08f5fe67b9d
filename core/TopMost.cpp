// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/TopMost.h"

#include "platform/WindowFlags.h"

namespace {
TopMostTable *g_table = nullptr;
}

void SetTopMostTable(TopMostTable *table)
{
    g_table = table;
}

void CheckAndSetTopMost()
{
    if (!g_table)
        return;
    for (int index = 1; index <= g_table->count(); ++index) {
        QWidget *window = g_table->window(index);
        if (window && g_table->onTopChecked(index))
            platform::setAlwaysOnTop(window, true);
    }
}
