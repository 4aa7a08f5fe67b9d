// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/TrayIcon.h"

void AddTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip)
{
    platform::trayHost().add(owner, icon, tip);
    trayIcons().set(owner, TrayIcons::Shown{icon, tip});
}

void ModifyTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip)
{
    platform::trayHost().modify(owner, icon, tip);
    trayIcons().set(owner, TrayIcons::Shown{icon, tip});
}

void DeleteTrayIcon(TrayOwner *owner)
{
    platform::trayHost().remove(owner);
    trayIcons().set(owner, std::nullopt);
}

std::optional<TrayIcons::Shown> TrayIcons::of(const void *owner) const
{
    const auto it = m_shown.constFind(owner);
    return it == m_shown.cend() ? std::nullopt : std::optional<Shown>(*it);
}

void TrayIcons::set(const void *owner, const std::optional<Shown> &shown)
{
    if (shown)
        m_shown.insert(owner, *shown);
    else
        m_shown.remove(owner);
    Q_EMIT changed(owner);
}

TrayIcons &trayIcons()
{
    static TrayIcons icons;
    return icons;
}
