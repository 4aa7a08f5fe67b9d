// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPoint>
#include <QString>
#include <QSystemTrayIcon>
#include <optional>

class QMenu;

namespace platform {

// The clicks on a tray icon that an owner acts on.
enum class TrayClick { Left, Double, Right };

// The click a tray activation stands for; nothing for activations no owner acts on.
std::optional<TrayClick> trayClick(QSystemTrayIcon::ActivationReason reason);

// Whoever owns a tray icon is told of the clicks on it.
class TrayOwner {
public:
    virtual ~TrayOwner() = default;
    virtual void trayActivated(TrayClick click) = 0;
    // The icon moved to another kind of tray: a tip that says what a click does may need new words.
    virtual void trayHostChanged() {}
};

// The notification area: one icon per owner, each click on it handed to the owner.
class TrayHost {
public:
    virtual ~TrayHost() = default;
    virtual bool add(TrayOwner *owner, const QIcon &icon, const QString &tip) = 0;
    virtual bool modify(const void *owner, const QIcon &icon, const QString &tip) = 0;
    virtual bool remove(const void *owner) = 0;
    virtual bool contains(const void *owner) const = 0;
    virtual int count() const = 0;
    // False where no tray host runs; the suite then keeps its control panel reachable instead.
    virtual bool available() const = 0;

    // Describes an owner's icon to trays that show more than a picture (StatusNotifierItem hosts): a stable id,
    // a title for the tray's settings, and the menu such a tray draws itself. Kept while the owner lives.
    virtual void describe(const void *owner, const QString &id, const QString &title, QMenu *menu)
    {
        Q_UNUSED(owner);
        Q_UNUSED(id);
        Q_UNUSED(title);
        Q_UNUSED(menu);
    }
    // True where one activation stands for a click and none comes for a double click.
    virtual bool activatesOnce() const { return false; }
    // Where the menu of the right-click being handled opens: where the tray asked, else at the pointer.
    virtual QPoint menuPoint() const;
};

TrayHost &trayHost();
// Tests put a host of their own in place; nullptr restores the system tray.
void installTrayHost(TrayHost *host);

} // namespace platform
