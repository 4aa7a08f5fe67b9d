// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>
#include <memory>

class QMenu;

namespace platform {

// True when a StatusNotifierWatcher (KDE Plasma's panel, GNOME's AppIndicator extension, waybar, …) is on the
// session bus: such trays take items over D-Bus and no longer embed icon windows.
bool statusNotifierWatcherRunning();

class StatusNotifierObject;
class DBusMenuObject;

// One icon on a StatusNotifierItem tray. It has its own bus connection and name, so that the host tells it from
// the suite's other icons, and exports its menu over dbusmenu so that the host draws it where it draws menus.
class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    enum class Request { Activate, ContextMenu };
    // `serial` tells the process's items apart on the bus: no two alive at once, or in a row, may share it.
    StatusNotifierItem(int serial, const QString &id, const QString &title, QMenu *menu,
                       std::function<void(Request request, QPoint at)> onRequest);
    ~StatusNotifierItem() override;

    void setIcon(const QIcon &icon);
    void setToolTip(const QString &tip);
    // Tells the watcher about the item, again after a watcher was replaced. False when the bus refused the item.
    bool announce();
    QString serviceName() const { return m_service; }

private:
    QString m_connectionName;
    QString m_service;
    std::unique_ptr<StatusNotifierObject> m_item;
    std::unique_ptr<DBusMenuObject> m_menu;
    bool m_exported = false;
};

} // namespace platform
