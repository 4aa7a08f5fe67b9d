// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace platform {

// The per-user folder for notes, the network user directory and the error log; created on first use.
QString dataDir();
// A file inside dataDir().
QString dataFile(const QString &fileName);
// The settings file, ~/.config/Tarnibe/Tarnibe.conf.
QString settingsFile();
// The per-session runtime folder for the instance lock and socket.
QString runtimeDir();

} // namespace platform
