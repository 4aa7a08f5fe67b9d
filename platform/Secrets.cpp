#include "platform/Secrets.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <qt6keychain/keychain.h>

namespace platform {

namespace {

class KeychainStore final : public SecretStore {
public:
    bool available() override
    {
        QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
        if (!bus)
            return false;
        for (const char *name : {"org.freedesktop.secrets", "org.kde.kwalletd6", "org.kde.kwalletd5"})
            if (bus->isServiceRegistered(QString::fromLatin1(name)))
                return true;
        // A keyring the bus starts on first use counts too.
        const QDBusReply<QStringList> activatable = bus->call(QStringLiteral("ListActivatableNames"));
        return activatable.isValid() && activatable.value().contains(QStringLiteral("org.freedesktop.secrets"));
    }

    std::optional<QString> read(const QString &key, QString *error) override
    {
        auto *job = new QKeychain::ReadPasswordJob(QString::fromLatin1(SecretService));
        job->setKey(key);
        QString text;
        QObject::connect(job, &QKeychain::Job::finished, job, [&text, job] { text = job->textData(); });
        const Outcome outcome = run(job);
        if (outcome.error == QKeychain::NoError)
            return text;
        if (outcome.error == QKeychain::EntryNotFound)
            return QString();
        if (error)
            *error = outcome.text;
        return std::nullopt;
    }

    bool write(const QString &key, const QString &secret, QString *error) override
    {
        auto *job = new QKeychain::WritePasswordJob(QString::fromLatin1(SecretService));
        job->setKey(key);
        job->setTextData(secret);
        return succeeded(run(job), error);
    }

    bool remove(const QString &key, QString *error) override
    {
        auto *job = new QKeychain::DeletePasswordJob(QString::fromLatin1(SecretService));
        job->setKey(key);
        const Outcome outcome = run(job);
        return outcome.error == QKeychain::EntryNotFound || succeeded(outcome, error);
    }

private:
    struct Outcome {
        QKeychain::Error error = QKeychain::OtherError;
        QString text;
    };

    static bool succeeded(const Outcome &outcome, QString *error)
    {
        if (outcome.error == QKeychain::NoError)
            return true;
        if (error)
            *error = outcome.text;
        return false;
    }

    // Waits for the job, but not for ever: a keyring that hangs must not freeze the suite. The job deletes itself
    // when it ends, even after the wait gave up on it.
    static Outcome run(QKeychain::Job *job)
    {
        auto outcome = std::make_shared<Outcome>();
        outcome->text = QStringLiteral("The keyring did not answer");
        outcome->error = QKeychain::OtherError;
        QEventLoop loop;
        bool done = false;
        QObject::connect(job, &QKeychain::Job::finished, &loop, [&loop, &done, outcome, job] {
            outcome->error = job->error();
            outcome->text = job->errorString();
            done = true;
            loop.quit();
        });
        job->setAutoDelete(true);
        job->start();
        if (!done) {
            QTimer::singleShot(timeoutMs(), &loop, &QEventLoop::quit);
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
        return *outcome;
    }

    static int timeoutMs()
    {
        bool ok = false;
        const int ms = qEnvironmentVariableIntValue("TARNIBE_KEYRING_TIMEOUT_MS", &ok);
        return ok && ms > 0 ? ms : 30000;
    }
};

SecretStore *g_store = nullptr;

} // namespace

SecretStore &secretStore()
{
    if (g_store)
        return *g_store;
    static KeychainStore keychain;
    return keychain;
}

void installSecretStore(SecretStore *store)
{
    g_store = store;
}

} // namespace platform
