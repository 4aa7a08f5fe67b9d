// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

// The control panel's trace field: the last thing the network side did ("GetInternetTime", "Disabled", ...).
void SetTrace(const QString &text);
QString TraceText();
// The control panel shows every new trace; nullptr when it goes.
void SetTraceSink(std::function<void(const QString &)> sink);
