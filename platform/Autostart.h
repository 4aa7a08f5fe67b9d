// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace platform {

// Starting the suite when the user logs in: an XDG autostart entry, ~/.config/autostart/tarnibe.desktop, which
// every freedesktop session (GNOME, KDE, Xfce, LXQt, ...) reads at login.
QString autostartEntryPath();
// True while the entry exists and is not switched off (Hidden=true, or the GNOME key set to false).
bool autostartEnabled();
// Writes the entry, pointing at `program`, or removes it. On failure returns false and says why in `error`.
bool setAutostart(bool on, const QString &program, QString *error = nullptr);

} // namespace platform
