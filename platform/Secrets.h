#pragma once

#include <QString>
#include <optional>

namespace platform {

// The desktop's keyring (the Secret Service of GNOME Keyring or KWallet), where the suite keeps its passwords,
// one entry per key under the service "Tarnibe". Calls wait for the keyring's answer.
class SecretStore {
public:
    virtual ~SecretStore() = default;
    // False where no keyring runs on the session bus; passwords then stay in the settings file.
    virtual bool available() = 0;
    // The entry's text, empty when there is none; nothing (and the reason in `error`) when the keyring failed.
    virtual std::optional<QString> read(const QString &key, QString *error) = 0;
    virtual bool write(const QString &key, const QString &secret, QString *error) = 0;
    // Removing an entry that is not there succeeds.
    virtual bool remove(const QString &key, QString *error) = 0;
};

inline constexpr const char SecretService[] = "Tarnibe";

SecretStore &secretStore();
// Tests put a store of their own in place; nullptr restores the desktop's keyring.
void installSecretStore(SecretStore *store);

} // namespace platform
