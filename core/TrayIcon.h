// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Tray.h"

#include <QIcon>
#include <QString>

// A window that owns a tray icon is told of the clicks on it.
using TrayOwner = platform::TrayOwner;

void AddTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip);
// The tip is given again with every new icon: the tray shows both together.
void ModifyTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip);
void DeleteTrayIcon(TrayOwner *owner);
