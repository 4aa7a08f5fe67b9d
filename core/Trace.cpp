// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Trace.h"

namespace {
QString g_text;
std::function<void(const QString &)> g_sink;
} // namespace

void SetTrace(const QString &text)
{
    g_text = text;
    if (g_sink)
        g_sink(text);
}

QString TraceText()
{
    return g_text;
}

void SetTraceSink(std::function<void(const QString &)> sink)
{
    g_sink = std::move(sink);
}
