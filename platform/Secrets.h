// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

namespace platform {

// What the keyring answered to one call.
struct SecretReply {
    bool ok = false;
    // A read's entry text, empty when there is none.
    QString text;
    // Why it failed, in the keyring's words.
    QString error;
    // The user said no (a dismissed prompt, access denied): not to be asked again soon.
    bool refused = false;
};
using SecretDone = std::function<void(const SecretReply &)>;

// The desktop's keyring (the Secret Service of GNOME Keyring or KWallet), where the suite keeps its passwords,
// one entry per key under the service "Tarnibe". Calls never wait: `done` is called once, when the keyring has
// answered (perhaps before the call returns, perhaps minutes later while a prompt waits, perhaps never).
class SecretStore {
public:
    virtual ~SecretStore() = default;
    // False where no keyring runs on the session bus; passwords then stay in the settings file.
    virtual bool available() = 0;
    virtual void read(const QString &key, SecretDone done) = 0;
    virtual void write(const QString &key, const QString &secret, SecretDone done) = 0;
    // Removing an entry that is not there succeeds.
    virtual void remove(const QString &key, SecretDone done) = 0;
};

inline constexpr const char SecretService[] = "Tarnibe";

SecretStore &secretStore();
// Tests put a store of their own in place; nullptr restores the desktop's keyring.
void installSecretStore(SecretStore *store);

} // namespace platform
