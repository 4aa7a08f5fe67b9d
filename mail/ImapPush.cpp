// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/ImapPush.h"

#include "mail/MailCheck.h"

#include <algorithm>

QStringList watchedFolders(const MailAccount &account)
{
    QStringList folders{QStringLiteral("INBOX")};
    for (const QString &folder : account.folders)
        if (!folders.contains(folder))
            folders.append(folder);
    return folders;
}

struct ImapPush::Link {
    QString folder;
    // A child of the watcher's, deleted with the link.
    std::unique_ptr<ImapClient> client;
    QTimer retry;
    QTimer renew;
    int delayMs = FirstRetryMs;
    // In IDLE now; has been once; dropped since it last was.
    bool up = false;
    bool everUp = false;
    bool lost = false;
    bool givenUp = false;
    // Why it is down, for the tip; empty while it has nothing to say.
    QString why;
};

ImapPush::ImapPush(MailAccounts &accounts, int index, QObject *parent)
    : QObject(parent), m_accounts(accounts), m_index(index)
{
}

ImapPush::~ImapPush() = default;

bool ImapPush::isRunning() const
{
    return m_started && (m_links.empty() || std::any_of(m_links.begin(), m_links.end(),
                                                        [](const std::unique_ptr<Link> &l) { return !l->givenUp; }));
}

void ImapPush::start()
{
    m_links.clear();
    m_started = true;
    m_up = false;
    m_why.clear();
    m_account = m_accounts.account(m_index);
    // A keyring may answer later, and only the last start's answer counts.
    const quint64 generation = ++m_generation;
    m_accounts.password(m_index, this, [this, generation](const std::optional<QString> &password, const QString &) {
        if (generation != m_generation)
            return;
        // Without a password nothing is opened; the account's check says why.
        if (!password) {
            m_started = false;
            return;
        }
        m_account.password = *password;
        for (const QString &folder : watchedFolders(m_account)) {
            m_links.push_back(std::make_unique<Link>());
            Link &l = *m_links.back();
            l.folder = folder;
            l.client = std::make_unique<ImapClient>();
            l.client->setParent(this);
            l.retry.setSingleShot(true);
            l.renew.setSingleShot(true);
            connect(&l.retry, &QTimer::timeout, this, [this, &l] { open(l); });
            connect(&l.renew, &QTimer::timeout, this, [&l] { l.client->endIdle(); });
            connect(l.client.get(), &ImapClient::opened, this, [this, &l] {
                if (l.client->hasIdle())
                    l.client->examine(l.folder);
                else
                    giveUp(l, QStringLiteral("The server offers no IDLE"));
            });
            connect(l.client.get(), &ImapClient::examined, this, [&l] { l.client->idle(); });
            connect(l.client.get(), &ImapClient::idling, this, [this, &l] {
                const bool missed = l.lost;
                l.up = l.everUp = true;
                l.lost = false;
                l.delayMs = FirstRetryMs;
                l.why.clear();
                l.renew.start(renewMs);
                tellState();
                // What came while the connection was down was told by nobody.
                if (missed)
                    Q_EMIT changed(m_index);
            });
            connect(l.client.get(), &ImapClient::idleEnded, this, [&l] { l.client->idle(); });
            connect(l.client.get(), &ImapClient::mailboxChanged, this, [this] { Q_EMIT changed(m_index); });
            connect(l.client.get(), &ImapClient::failed, this, [this, &l] { failed(l); });
            open(l);
        }
    });
}

void ImapPush::open(Link &link)
{
    link.client->timeoutMs = timeoutMs;
    link.client->trustLoopback = trustLoopback;
    // What the account learnt counts for the server it was learnt from only.
    const QString learnt = learntFor(m_account.learnt, m_account.server);
    link.client->open(m_account.server, m_account.userName, m_account.password, learnt);
}

void ImapPush::failed(Link &link)
{
    link.renew.stop();
    const ImapClient::Error error = link.client->error();
    const QString why = link.client->errorString();
    link.client->close();
    // A refusal or a matter of trust does not mend by trying again; the next check that succeeds starts afresh.
    if (error != ImapClient::Error::Connection && error != ImapClient::Error::NotImap) {
        giveUp(link, why);
        return;
    }
    link.up = false;
    link.lost = true;
    link.why = QStringLiteral("Push connection lost, retrying in %1 s: ").arg(link.delayMs / 1000) + why;
    link.retry.start(link.delayMs);
    link.delayMs = std::min(link.delayMs * 2, LastRetryMs);
    tellState();
}

void ImapPush::giveUp(Link &link, const QString &why)
{
    link.givenUp = true;
    link.up = false;
    link.retry.stop();
    link.renew.stop();
    link.client->close();
    // Silent for a connection that never came up: the account is simply polled, and its check tells what fails.
    link.why = link.everUp ? QStringLiteral("Push connection lost: ") + why : QString();
    tellState();
}

void ImapPush::reconnectNow()
{
    for (const std::unique_ptr<Link> &l : m_links) {
        if (l->givenUp)
            continue;
        l->retry.stop();
        l->renew.stop();
        l->client->close();
        l->up = false;
        l->delayMs = FirstRetryMs;
        open(*l);
    }
}

void ImapPush::tellState()
{
    bool up = !m_links.empty();
    QString why;
    for (const std::unique_ptr<Link> &l : m_links) {
        if (!l->why.isEmpty() && why.isEmpty())
            why = m_links.size() > 1 ? l->why + QStringLiteral(" (") + l->folder + u')' : l->why;
        up = up && l->up;
    }
    // Still connecting says nothing yet.
    if (!up && why.isEmpty() &&
        std::any_of(m_links.begin(), m_links.end(), [](const std::unique_ptr<Link> &l) { return !l->givenUp; }))
        return;
    if (up == m_up && why == m_why)
        return;
    m_up = up;
    m_why = why;
    Q_EMIT stateChanged(m_index, up, why);
}
