// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Programs.h"
#include "core/Settings.h"
#include "core/SettingsRecord.h"
#include "core/Trace.h"
#include "platform/IniStore.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

// The settings record and what lives beside it for the life of the process, in one place: core's own, not for the
// floors above, which reach each part through its functions.

// Where the desktop runs a keyring the passwords live there, and the settings file holds empty text for them.
// Nothing ever waits for the keyring: a password goes to the file (encoded) first and leaves it once the keyring has
// confirmed it. One call is out at a time, so that a keyring that wants its own password shows one prompt.
struct KeyringJob {
    enum Kind { Read, Write, Remove } kind;
    QString key;
    QString secret;
};

// A check waiting for a password the keyring has not given yet.
struct PasswordWait {
    quint64 id;
    QString key;
    QPointer<QObject> context;
    PasswordAnswer answer;
};

struct KeyringState {
    // The keyring is looked for the first time a password needs it, so that a start without mail accounts opens no
    // connection to the session bus.
    bool probed = false;
    bool inUse = false;
    // The user turned the keyring down this run (a dismissed prompt): the file serves, as without a keyring, until
    // the next start.
    bool refused = false;
    // What each entry holds as far as this process knows. A key is missing while that is not known (never read,
    // or the keyring failed to answer), and then an empty password never overwrites the entry.
    QHash<QString, QString> known;
    // Passwords of accounts in use that the keyring held but has not given yet (locked, slow, not up at login):
    // asked for again before the check that needs them.
    QSet<QString> unread;
    std::deque<KeyringJob> queue;
    std::optional<KeyringJob> current;
    // Calls of a write of the settings, made once the file holds what they change.
    std::vector<KeyringJob> staged;
    // Checks waiting for a password, looked at after each answer; a reset keeps them, so that each gets its answer.
    std::vector<PasswordWait> waits;
    quint64 lastWait = 0;
    // Answers meant for an earlier run (before a reset) are dropped.
    quint64 run = 0;
};

struct SettingsState {
    SettingsRecord record;
    // The file the record is read from and written to, once it is opened.
    std::unique_ptr<platform::IniStore> store;
    KeyringState keyring;
    // Not read from the file: a new reading of it leaves them as they are.
    ProgramRunFlagsRecord running;
    TraceLine trace;
};

SettingsState &settingsState();
