// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageRequest.h"

#include <QString>

namespace platform {

class ClockSource;
class DesktopNotifications;
class Dialer;
class Launcher;
class SecretStore;
class SoundPlayer;
class SystemClockSetter;
class SystemEvents;
class TrayHost;

// One of each facility that has an implementation of the system's own.
struct Facilities {
    TrayHost *tray = nullptr;
    Dialer *dialer = nullptr;
    Launcher *launcher = nullptr;
    SecretStore *secrets = nullptr;
    SoundPlayer *sound = nullptr;
    SystemClockSetter *clockSetter = nullptr;
    SystemEvents *events = nullptr;
    DesktopNotifications *notifications = nullptr;
};

// What stands in for the system where tests put their own: each is empty while the system's own serves. One record,
// so that a test fixture puts them all back at once.
struct Seams : Facilities {
    const ClockSource *clock = nullptr;
    MessageResponder messages;
    // Printing goes to this PDF file instead of a printer.
    QString pdfPath;
};

Seams &seams();

// The system's own, each made the first time nothing stands in for it, and never destroyed: windows may still hold
// connections to them while the process ends, and tray icons and sound effects must not outlive the application
// object. They sit beside the stand-ins in one record, which a test fixture does not reset.
using SystemParts = Facilities;

SystemParts &systemParts();

// What serves a facility: the stand-in where one is installed, else the system's own `Real`.
template <class Real, class Facility> Facility &serving(Facility *Facilities::*facility)
{
    if (Facility *standIn = seams().*facility)
        return *standIn;
    Facility *&system = systemParts().*facility;
    if (!system)
        system = new Real;
    return *system;
}

} // namespace platform
