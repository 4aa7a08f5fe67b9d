// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Trace.h"

namespace {
// The last trace line, and where it shows (the control panel's status line, once it is built).
struct TraceLine {
    QString text;
    std::function<void(const QString &)> sink;
};

TraceLine &line()
{
    static TraceLine trace;
    return trace;
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
