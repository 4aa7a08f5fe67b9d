// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/RunningTime.h"
#include "core/SettingsRecord.h"

#include <QString>
#include <functional>
#include <optional>

class QObject;

namespace platform {
class IniStore;
}

// The one process-wide record.
SettingsRecord &Settings();

// The settings file the record is read from and written to.
platform::IniStore &SettingsStore();
// Forgets the record and the open store; the next use starts afresh from the current settings file. For tests.
void ResetSettings();

// True when the store holds no "StartNotes" yet.
bool IsFirstStart();
// Reads every key into Settings(), then the computer name. A value that cannot be read is logged and skipped.
void loadSettings();
// Whether a write may hand passwords to the keyring. At the session's end it may not: the call would not be
// answered before the process ends, so a password the keyring does not hold yet stays encoded in the file, and the
// next start moves it.
enum class KeyringWait { Allowed, No };
// Writes Settings() to the store, the running time included. Passwords go to the keyring without waiting for it:
// the file keeps each one, encoded, until the keyring has confirmed it.
void saveSettings(KeyringWait wait = KeyringWait::Allowed);
// Writes one key of Settings() to the file at once, as a value learnt between starts is kept: what a mail server
// taught about its encryption. Not for passwords, which go through saveSettings() and the keyring.
void saveSetting(const QString &key);
// A mail account's password for a check, or nothing and the reason while it cannot be had: the check must then not
// log in without it.
using PasswordAnswer = std::function<void(const std::optional<QString> &password, const QString &why)>;
// Answers at once where the record holds the password. One the keyring has not given yet (locked, slow, not up at
// login) is asked for now and answered when the keyring gives it or after a few seconds, from the event loop. No
// answer comes once `context` is gone.
void passwordForCheck(int account, QObject *context, PasswordAnswer answer);
// Writes the first-start default of every key.
void writeFirstStartDefaults();
