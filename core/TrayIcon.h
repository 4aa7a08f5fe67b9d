// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Tray.h"

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QString>
#include <optional>

// A window that owns a tray icon is told of the clicks on it.
using TrayOwner = platform::TrayOwner;

void AddTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip);
// The tip is given again with every new icon: the tray shows both together.
void ModifyTrayIcon(TrayOwner *owner, const QIcon &icon, const QString &tip);
void DeleteTrayIcon(TrayOwner *owner);

// What each owner's tray icon shows, also where no tray runs: the Control center's pictures show it there.
class TrayIcons : public QObject {
    Q_OBJECT
public:
    struct Shown {
        QIcon icon;
        QString tip;
    };
    // Nothing for an owner without an icon.
    std::optional<Shown> of(const void *owner) const;
    void set(const void *owner, const std::optional<Shown> &shown);
Q_SIGNALS:
    void changed(const void *owner);

private:
    QHash<const void *, Shown> m_shown;
};
TrayIcons &trayIcons();
