// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netnotes/NetUsers.h"
#include "platform/ErrorCodes.h"

#include <optional>

// The network user directory while the process runs: entries 1..n in file order, never fewer than one (a file
// without entries gives one empty entry, which no list shows).
QList<NetUser> &NetUserTable();

QString NetUsersFilePath();
QString NetUsersBackupPath();

// Fills the table from netusers.dat. A missing file is a new user's normal state; an unreadable one is logged.
void ReadNetUsers();

// Writes the editor's lines as the new netusers.dat, the previous one kept as netusers.old, and makes them the
// table. On a failure the files and the table stay as they were.
std::optional<platform::ErrorKind> SaveNetUsers(const QStringList &lines);
