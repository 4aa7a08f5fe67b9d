// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/TrayIcon.h"

void AddTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip)
{
    platform::trayHost().add(owner, icon, tip);
}

void ModifyTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip)
{
    platform::trayHost().modify(owner, icon, tip);
}

void DeleteTrayIcon(TrayOwner *owner)
{
    platform::trayHost().remove(owner);
}
