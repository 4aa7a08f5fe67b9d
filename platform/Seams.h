// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBox.h"

#include <QString>

namespace platform {

class ClockSource;
class Dialer;
class Launcher;
class SecretStore;
class SoundPlayer;
class SystemClockSetter;
class TrayHost;

// What stands in for the system where tests put their own: each is empty while the system's own serves. One record,
// so that a test fixture puts them all back at once.
struct Seams {
    const ClockSource *clock = nullptr;
    TrayHost *tray = nullptr;
    Dialer *dialer = nullptr;
    Launcher *launcher = nullptr;
    SecretStore *secrets = nullptr;
    SoundPlayer *sound = nullptr;
    SystemClockSetter *clockSetter = nullptr;
    MessageResponder messages;
    // Printing goes to this PDF file instead of a printer.
    QString pdfPath;
};

Seams &seams();

} // namespace platform
