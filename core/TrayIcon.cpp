// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/TrayIcon.h"

#include "platform/Tray.h"

NotifyIconData &TrayIcon()
{
    // Never destroyed: its icon must not outlive the icon plugins, which go with the application object.
    static auto *record = new NotifyIconData;
    return *record;
}

bool Shell_NotifyIcon(NotifyIconMessage message, const NotifyIconData &data)
{
    if (!data.window)
        return false;
    platform::TrayHost &host = platform::trayHost();
    switch (message) {
    case NIM_ADD: {
        TrayOwner *owner = data.window;
        return host.add(owner, data.hIcon, data.szTip, [owner](int m) {
            if (m == platform::TrayHostChanged)
                owner->trayHostChanged();
            else
                owner->Form_MouseMove(m);
        });
    }
    case NIM_MODIFY:
        return host.modify(data.window, data.hIcon, data.szTip);
    case NIM_DELETE:
        return host.remove(data.window);
    }
    return false;
}

void AddTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip)
{
    NotifyIconData &record = TrayIcon();
    record = NotifyIconData{};
    record.window = owner;
    record.hIcon = icon;
    record.szTip = tip;
    Shell_NotifyIcon(NIM_ADD, record);
}

void ModifyTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip)
{
    NotifyIconData &record = TrayIcon();
    record.window = owner;
    record.hIcon = icon;
    record.szTip = tip;
    Shell_NotifyIcon(NIM_MODIFY, record);
}

void DeleteTrayIcon(TrayOwner *owner)
{
    NotifyIconData &record = TrayIcon();
    record.window = owner;
    Shell_NotifyIcon(NIM_DELETE, record);
}
