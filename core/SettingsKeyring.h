// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Settings.h"

#include <QString>
#include <optional>

struct SettingField;

// The passwords' keyring policy. Where the desktop runs a keyring the passwords live there and the settings file
// holds empty text for them; nothing ever waits for the keyring, and the file keeps a password (encoded) until the
// keyring has confirmed it.

// Forgets what this process knew of the keyring; answers to earlier calls are dropped.
void ResetKeyring();
// At start, once the record is read: moves passwords still in the file into the keyring, and asks it for the others.
void LoadPasswordsFromKeyring();
// What the settings file gets for a password. The keyring call that goes with it is made by SendKeyringCalls, once
// the file has been written.
std::optional<QString> PasswordForFile(const SettingField &field, const QString &password, KeyringWait wait);
void SendKeyringCalls();
