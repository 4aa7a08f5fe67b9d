// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <utility>

namespace platform {

// The desktop's own notification area: the server on the session bus that owns org.freedesktop.Notifications
// (dunst, GNOME Shell, Plasma, xfce4-notifyd). Whether one is there, as it comes and goes; notifications with
// actions; and what the user did with them.
class DesktopNotifications : public QObject {
    Q_OBJECT
public:
    // The key of a click on the notification's body; servers show no button for it.
    static inline const QString DefaultAction = QStringLiteral("default");

    struct Notification {
        QString summary;
        // Plain text: whatever a server would read as markup is shown as it is.
        QString body;
        // A name from the desktop's icon theme, shown where the server cannot show `picture`.
        QString iconName;
        // A picture of our own, 8-bit RGBA rows without padding; none when empty.
        int pictureWidth = 0;
        int pictureHeight = 0;
        QByteArray pictureRgba;
        // Key and label of each action, in the order the server should show them.
        QList<std::pair<QString, QString>> actions;
    };

    // True while a server is there (or the bus would start one); availableChanged() when that changes.
    virtual bool available() const = 0;
    // Shows a notification. `shown` gets the server's id for it, 0 when none took it; later, and never once
    // `context` is gone.
    using Shown = std::function<void(uint id)>;
    virtual void notify(const Notification &notification, QObject *context, Shown shown) = 0;
    // Takes a notification away; it says closed() as it goes.
    virtual void close(uint id) = 0;

Q_SIGNALS:
    void availableChanged(bool available);
    // The user chose an action of notification `id`: one of its keys, or DefaultAction.
    void actionInvoked(uint id, const QString &key);
    // The notification went: 1 it expired, 2 the user dismissed it, 3 close() took it, 4 anything else.
    void closed(uint id, uint reason);
};

// The session bus's notification server.
DesktopNotifications &desktopNotifications();
// Tests put their own in place; nullptr puts the system's back.
void installDesktopNotifications(DesktopNotifications *notifications);

} // namespace platform
