// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Secrets.h"

#include "platform/Seams.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>
#include <qt6keychain/keychain.h>

using namespace Qt::StringLiterals;

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
            // A locked keyring whose unlock prompt was dismissed hides its entries: "not found" is then a refusal,
            // not an empty password.
            if (reply.ok && job->error() == QKeychain::EntryNotFound)
                askDefaultCollection([reply, done](Collection collection) mutable {
                    if (collection == Collection::Locked)
                        reply = refusal(u"the keyring stayed locked"_s);
                    done(reply);
                });
            else
                done(reply);
        });
    }

    void write(const QString &key, const QString &secret, SecretDone done) override
    {
        auto *job = new QKeychain::WritePasswordJob(QString::fromLatin1(SecretService));
        job->setKey(key);
        job->setTextData(secret);
        start(job, [job, done] {
            const SecretReply reply = replyOf(job);
            if (reply.ok || reply.refused) {
                done(reply);
                return;
            }
            // A dismissed prompt to create the keyring fails the write with no word of the user's no: the keyring
            // that should hold the entry is still missing (or locked) afterwards.
            askDefaultCollection([reply, done](Collection collection) {
                done(collection == Collection::Usable ? reply : refusal(reply.error));
            });
        });
    }

    void remove(const QString &key, SecretDone done) override
    {
        auto *job = new QKeychain::DeletePasswordJob(QString::fromLatin1(SecretService));
        job->setKey(key);
        start(job, [job, done] { done(replyOf(job)); });
    }

private:
    enum class Collection { Usable, Missing, Locked, Unknown };

    static SecretReply refusal(const QString &why)
    {
        SecretReply reply;
        reply.error = why;
        reply.refused = true;
        return reply;
    }

    // Where the Secret Service keeps new entries, as it is now; Unknown where no Secret Service answers (KWallet's
    // own interface, say). Never waits: `then` comes with the answer.
    static void askDefaultCollection(std::function<void(Collection)> then)
    {
        QDBusMessage call =
            QDBusMessage::createMethodCall(u"org.freedesktop.secrets"_s, u"/org/freedesktop/secrets/aliases/default"_s,
                                           u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
        call << u"org.freedesktop.Secret.Collection"_s << u"Locked"_s;
        auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [then = std::move(then)](QDBusPendingCallWatcher *answered) {
                             answered->deleteLater();
                             const QDBusPendingReply<QDBusVariant> reply = *answered;
                             if (reply.isValid())
                                 then(reply.value().variant().toBool() ? Collection::Locked : Collection::Usable);
                             else if (const QString name = reply.error().name();
                                      name == u"org.freedesktop.DBus.Error.UnknownMethod" ||
                                      name == u"org.freedesktop.DBus.Error.UnknownObject")
                                 then(Collection::Missing);
                             else
                                 then(Collection::Unknown);
                         });
    }

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
