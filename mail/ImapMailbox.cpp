// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/ImapMailbox.h"

#include "mail/MailText.h"

#include <algorithm>

ImapMailbox::ImapMailbox()
{
    connect(&m_imap, &ImapClient::clearTextQuestion, this, &MailboxClient::clearTextQuestion);
    connect(&m_imap, &ImapClient::opened, this, [this] { m_imap.examine(QStringLiteral("INBOX")); });
    connect(&m_imap, &ImapClient::examined, this, [this] {
        // UIDs of another UIDVALIDITY name other messages: what was seen is known by the count alone, and every
        // header is read again.
        const std::optional<quint32> validity = m_imap.uidValidity();
        if (!validity || validity != m_memory->uidValidity) {
            m_memory->ids.reset();
            m_memory->headers.clear();
        }
        m_memory->uidValidity = validity;
        m_imap.listUids();
    });
    connect(&m_imap, &ImapClient::uidsListed, this, [this] {
        m_uids = m_imap.uids();
        std::sort(m_uids.begin(), m_uids.end());
        QList<quint32> unseen;
        for (quint32 uid : std::as_const(m_uids))
            if (!m_memory->headers.contains(QString::number(uid)))
                unseen.append(uid);
        m_imap.fetchHeaders(unseen);
    });
    connect(&m_imap, &ImapClient::headersFetched, this, [this] {
        const QHash<quint32, QByteArray> headers = m_imap.headers();
        for (auto it = headers.cbegin(); it != headers.cend(); ++it)
            m_memory->headers.insert(QString::number(it.key()),
                                     {HeaderField(it.value(), "From"), HeaderField(it.value(), "Subject")});
        m_imap.logout();
    });
    connect(&m_imap, &ImapClient::failed, this, [this] {
        m_result.ok = false;
        m_result.error = m_imap.errorString();
        m_result.socketError = m_imap.socketError();
        m_uids.clear();
        done();
    });
    connect(&m_imap, &ImapClient::loggedOut, this, &ImapMailbox::done);
}

void ImapMailbox::check(const MailAccount &account, MailboxMemory &memory)
{
    m_account = account;
    m_memory = &memory;
    m_result = {};
    m_uids.clear();
    m_imap.timeoutMs = timeoutMs;
    m_imap.trustLoopback = trustLoopback;
    // Remembered with the server it was learnt from: another server starts afresh.
    m_before = account.learnt.section(u' ', 1) == account.server ? account.learnt.section(u' ', 0, 0) : QString();
    m_imap.open(account.server, account.userName, account.password, m_before);
}

void ImapMailbox::done()
{
    m_imap.close();
    if (m_imap.encryption() != m_before)
        m_result.learnt = m_imap.encryption() + u' ' + m_account.server;
    if (m_result.ok) {
        QStringList ids;
        for (quint32 uid : std::as_const(m_uids)) {
            ids.append(QString::number(uid));
            // A message whose header did not come is left out; the others are still listed.
            if (const auto seen = m_memory->headers.constFind(ids.last()); seen != m_memory->headers.cend())
                m_result.notice += NoticeEntry(seen->from, seen->subject, m_account.tag);
        }
        m_result.count = int(m_uids.size());
        m_result.push = m_imap.hasIdle();
        m_result.newMail = HasNewMail(*m_memory, m_result.count, ids);
        Remember(*m_memory, m_result.count, ids);
    }
    m_memory = nullptr;
    Q_EMIT checked();
}

void ImapMailbox::answerClearText(bool send)
{
    m_imap.answerClearText(send);
}

void ImapMailbox::stop()
{
    m_imap.close();
    m_memory = nullptr;
}
