// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/TrayIcon.h"

void AddTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip)
{
    platform::trayHost().add(owner, icon, tip, [owner](int message) {
        if (message == platform::TrayHostChanged)
            owner->trayHostChanged();
        else
            owner->trayActivated(platform::TrayMessage(message));
    });
}

void ModifyTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip)
{
    platform::trayHost().modify(owner, icon, tip);
}

void DeleteTrayIcon(TrayOwner *owner)
{
    platform::trayHost().remove(owner);
}
