// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Secrets.h"

#include "platform/Seams.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <qt6keychain/keychain.h>

namespace platform {

namespace {

class KeychainStore final : public SecretStore {
public:
    bool available() override
    {
        // Asks only the bus daemon, which answers even while the keyring itself hangs.
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

    void read(const QString &key, SecretDone done) override
    {
        auto *job = new QKeychain::ReadPasswordJob(QString::fromLatin1(SecretService));
        job->setKey(key);
        start(job, [job, done] {
            SecretReply reply = replyOf(job);
            if (reply.ok)
                reply.text = job->textData();
            done(reply);
        });
    }

    void write(const QString &key, const QString &secret, SecretDone done) override
    {
        auto *job = new QKeychain::WritePasswordJob(QString::fromLatin1(SecretService));
        job->setKey(key);
        job->setTextData(secret);
        start(job, [job, done] { done(replyOf(job)); });
    }

    void remove(const QString &key, SecretDone done) override
    {
        auto *job = new QKeychain::DeletePasswordJob(QString::fromLatin1(SecretService));
        job->setKey(key);
        start(job, [job, done] { done(replyOf(job)); });
    }

private:
    static void start(QKeychain::Job *job, std::function<void()> finished)
    {
        job->setAutoDelete(true);
        QObject::connect(job, &QKeychain::Job::finished, job, std::move(finished));
        job->start();
    }

    static SecretReply replyOf(const QKeychain::Job *job)
    {
        SecretReply reply;
        // A missing entry is an empty one, for reading and for removing alike.
        reply.ok = job->error() == QKeychain::NoError || job->error() == QKeychain::EntryNotFound;
        if (!reply.ok) {
            reply.error = job->errorString();
            const QString why = reply.error.toLower();
            reply.refused = job->error() == QKeychain::AccessDeniedByUser || job->error() == QKeychain::AccessDenied ||
                            why.contains(u"dismiss") || why.contains(u"cancel");
        }
        return reply;
    }
};

} // namespace

SecretStore &secretStore()
{
    return serving<KeychainStore>(&Facilities::secrets);
}

void installSecretStore(SecretStore *store)
{
    seams().secrets = store;
}

} // namespace platform
