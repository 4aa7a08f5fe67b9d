// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

namespace platform {

// What the system tells of itself that a program which talks to servers must act on: it has woken from sleep, or
// its network has changed. Connections made before either may be dead and servers may have been missed. This base
// tells nothing of its own; tests make one and emit its signals.
class SystemEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // True while the system has told that no network link at all is up, loopback included: a server cannot be
    // reached whatever the socket says. False where it cannot tell.
    virtual bool offline() const { return false; }

Q_SIGNALS:
    // The system has resumed from suspend or hibernation.
    void resumed();
    // A link went up or down or an address came or went; a burst of such changes gives one signal once it settles.
    void networkChanged();
};

// logind's PrepareForSleep(false) on the system bus (DBUS_SYSTEM_BUS_ADDRESS points it at another, as the tests do)
// and the kernel's routing notices. Without either it tells nothing, and says why once in the debug log.
SystemEvents &systemEvents();
void installSystemEvents(SystemEvents *events);

} // namespace platform
