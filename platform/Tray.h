#pragma once

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>

namespace platform {

// The mouse message numbers an owner acts on after decoding a tray activation.
enum TrayMessage : int { LeftButtonUp = 514, LeftDoubleClick = 515, RightButtonUp = 517 };

// The mouse message a tray activation stands for; 0 for activations no owner acts on.
int trayMessage(QSystemTrayIcon::ActivationReason reason);

// The notification area: one icon per owner, each activation handed to the owner as a mouse message number.
class TrayHost {
public:
    virtual ~TrayHost() = default;
    virtual bool add(const void *owner, const QIcon &icon, const QString &tip,
                     std::function<void(int message)> onMessage) = 0;
    virtual bool modify(const void *owner, const QIcon &icon, const QString &tip) = 0;
    virtual bool remove(const void *owner) = 0;
    virtual bool contains(const void *owner) const = 0;
    virtual int count() const = 0;
    // False where no tray host runs; the suite then keeps its control panel reachable instead.
    virtual bool available() const = 0;
};

TrayHost &trayHost();
// Tests put a host of their own in place; nullptr restores the system tray.
void installTrayHost(TrayHost *host);

} // namespace platform
