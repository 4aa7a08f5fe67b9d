// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailCheck.h"

#include "mail/ImapMailbox.h"
#include "mail/ImapPush.h"
#include "mail/MailText.h"
#include "mail/Pop3Mailbox.h"
#include "platform/Clock.h"

#include <QTimer>
#include <algorithm>

MailCheck::MailCheck(MailAccounts &accounts, QObject *parent) : QObject(parent), m_accounts(accounts)
{
    // Connections held in IDLE across a sleep or a network change are likely dead without knowing it.
    connect(this, &MailCheck::woke, this, &MailCheck::reconnectPush);
}

MailCheck::~MailCheck() = default;

MailboxClient &MailCheck::client(int index, const QString &server)
{
    std::unique_ptr<MailboxClient> &client = m_clients[size_t(index)];
    // POP3 for its own addresses and for those that are none, which it tells the user about.
    const std::optional<MailAddress> address = ParseMailAddress(server);
    const bool imap = address && address->protocol == MailProtocol::Imap;
    if (!client || imap != bool(qobject_cast<ImapMailbox *>(client.get()))) {
        if (imap)
            client = std::make_unique<ImapMailbox>();
        else
            client = std::make_unique<Pop3Mailbox>();
        connect(client.get(), &MailboxClient::checked, this, &MailCheck::checked);
        connect(client.get(), &MailboxClient::clearTextQuestion, this, &MailCheck::clearTextQuestion);
    }
    client->timeoutMs = timeoutMs;
    client->trustLoopback = trustLoopback;
    return *client;
}

void MailCheck::startPush()
{
    m_push = true;
    for (int index = 0; index < std::clamp(m_accounts.count(), 0, MaxMailAccounts); ++index) {
        const std::optional<MailAddress> address = ParseMailAddress(m_accounts.account(index).server);
        if (address && address->protocol == MailProtocol::Imap)
            watch(index);
    }
}

void MailCheck::stopPush()
{
    m_push = false;
    for (std::unique_ptr<ImapPush> &watcher : m_watchers)
        watcher.reset();
}

void MailCheck::unwatch(int index)
{
    std::unique_ptr<ImapPush> &watcher = m_watchers[size_t(index)];
    if (!watcher)
        return;
    const bool wasUp = watcher->isUp();
    watcher.reset();
    // Nothing said about it stays behind.
    if (!wasUp)
        Q_EMIT pushStateChanged(index, true, {});
}

void MailCheck::reconnectPush()
{
    for (const std::unique_ptr<ImapPush> &watcher : m_watchers)
        if (watcher)
            watcher->reconnectNow();
}

void MailCheck::watch(int index)
{
    std::unique_ptr<ImapPush> &watcher = m_watchers[size_t(index)];
    const MailAccount account = m_accounts.account(index);
    if (watcher && watcher->isRunning() && watcher->account().server == account.server &&
        watcher->account().userName == account.userName)
        return;
    watcher = std::make_unique<ImapPush>(m_accounts, index);
    watcher->timeoutMs = timeoutMs;
    watcher->trustLoopback = trustLoopback;
    connect(watcher.get(), &ImapPush::changed, this, &MailCheck::pushChanged);
    connect(watcher.get(), &ImapPush::stateChanged, this, &MailCheck::pushStateChanged);
    watcher->start();
}

bool MailCheck::start()
{
    if (m_checking)
        return false;
    m_checking = true;
    m_allOk = true;
    m_newMail = false;
    m_total = 0;
    m_notice.clear();
    m_fresh.clear();
    m_index = -1;
    m_count = std::clamp(m_accounts.count(), 1, MaxMailAccounts);
    QTimer::singleShot(0, this, [this, pass = ++m_pass] {
        if (pass == m_pass)
            next();
    });
    return true;
}

void MailCheck::stop()
{
    if (!m_checking)
        return;
    m_checking = false;
    ++m_pass;
    if (m_index >= 0 && m_index < m_count && m_clients[size_t(m_index)])
        m_clients[size_t(m_index)]->stop();
}

void MailCheck::forget()
{
    for (MailboxMemory &mailbox : mailboxes)
        mailbox.reset();
}

int MailCheck::newSinceRead() const
{
    int total = 0;
    for (const MailNews &news : m_news)
        total += news.sinceRead;
    return total;
}

void MailCheck::markRead()
{
    for (size_t index = 0; index < m_read.size(); ++index) {
        m_read[index].lastCount = mailboxes[index].lastCount;
        m_read[index].ids = mailboxes[index].ids;
        m_read[index].uidValidity = mailboxes[index].uidValidity;
        m_news[index].sinceRead = 0;
    }
}

void MailCheck::answerClearText(bool send)
{
    if (m_checking && m_index >= 0 && m_index < m_count && m_clients[size_t(m_index)])
        m_clients[size_t(m_index)]->answerClearText(send);
}

bool MailCheck::minutePassed(int minutes, bool quietHours)
{
    if (minutes == 0 || minutes > ++m_minuteCounter)
        return false;
    m_minuteCounter = 0;
    return !quietHours && !m_checking;
}

void MailCheck::next()
{
    const quint64 pass = m_pass;
    while (++m_index < m_count) {
        MailAccount account = m_accounts.account(m_index);
        // Not "Not a mail server address" at every check of a fresh install: there is nothing to check yet.
        if (IsUnsetAccount(account.server))
            continue;
        m_server = account.server;
        account.tag = AccountTag(m_count, account.server);
        Q_EMIT accountStarted(m_index, account.server);
        // The keyring may answer later: the pass may have been stopped meanwhile.
        m_accounts.password(m_index, this,
                            [this, pass, account](const std::optional<QString> &password, const QString &why) {
                                if (pass == m_pass)
                                    passwordAnswered(account, password, why);
                            });
        return;
    }
    m_checking = false;
    Q_EMIT finished();
}

void MailCheck::passwordAnswered(MailAccount account, const std::optional<QString> &password, const QString &why)
{
    // Never a login without the password when the keyring holds one it would not give.
    if (!password) {
        const quint64 pass = m_pass;
        m_allOk = false;
        Q_EMIT accountFailed(m_index, {account.server, why, QAbstractSocket::UnknownSocketError, true});
        if (pass == m_pass)
            next();
        return;
    }
    account.password = *password;
    m_before = mailboxes[size_t(m_index)];
    client(m_index, account.server).check(account, mailboxes[size_t(m_index)]);
}

void MailCheck::checked()
{
    if (!m_checking || m_index < 0 || m_index >= m_count || sender() != m_clients[size_t(m_index)].get())
        return;
    const quint64 pass = m_pass;
    const AccountCheckResult result = m_clients[size_t(m_index)]->result();
    if (result.learnt)
        Q_EMIT encryptionLearnt(m_index, *result.learnt);
    if (result.ok && m_push) {
        if (result.push)
            watch(m_index);
        else
            unwatch(m_index);
    }
    if (result.ok) {
        m_notice += result.notice;
        const MailboxMemory &now = mailboxes[size_t(m_index)];
        m_news[size_t(m_index)] = {NewMessages(m_before, now), NewMessages(m_read[size_t(m_index)], now),
                                   platform::Clock::now(), m_server};
        m_fresh += result.fresh;
        Q_EMIT accountChecked(m_index, m_server, result.count);
    } else {
        m_allOk = false;
        Q_EMIT accountFailed(m_index, {m_server, result.error, result.socketError, false});
    }
    m_newMail = m_newMail || result.newMail;
    m_total += result.count;
    if (pass == m_pass)
        next();
}
