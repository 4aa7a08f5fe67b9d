// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Trace.h"

#include "core/SettingsState.h"

TraceLine &traceLine()
{
    return settingsState().trace;
}

void SetTrace(const QString &text)
{
    traceLine().text = text;
    Q_EMIT traceLine().changed(text);
}

QString TraceText()
{
    return traceLine().text;
}
