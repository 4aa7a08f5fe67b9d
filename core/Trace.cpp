// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Trace.h"

#include "core/SettingsState.h"

namespace {
TraceLine &line()
{
    return settingsState().trace;
}
} // namespace

void SetTrace(const QString &text)
{
    line().text = text;
    if (line().sink)
        line().sink(text);
}

QString TraceText()
{
    return line().text;
}

void SetTraceSink(std::function<void(const QString &)> sink)
{
    line().sink = std::move(sink);
}
