// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/Pop3Mailbox.h"

#include "mail/MailText.h"

Pop3Mailbox::Pop3Mailbox()
{
    connect(&m_pop, &Pop3Client::clearTextQuestion, this, &MailboxClient::clearTextQuestion);
    connect(&m_pop, &Pop3Client::opened, this, [this] {
        m_result.count = m_pop.messageCount();
        m_ids = m_pop.uniqueIds();
        fetchNext();
    });
    connect(&m_pop, &Pop3Client::headerFetched, this, [this] {
        const QByteArray header = m_pop.header();
        const MailboxMemory::Header seen{HeaderField(header, "From"), HeaderField(header, "Subject")};
        if (const QString id = m_ids.value(m_message - 1); !id.isEmpty())
            m_memory->headers.insert(id, seen);
        list(seen);
        fetchNext();
    });
    connect(&m_pop, &Pop3Client::failed, this, [this] {
        // A message whose header cannot be fetched is left out; the others are still listed.
        if (m_message > 0) {
            fetchNext();
            return;
        }
        m_result.ok = false;
        m_result.error = m_pop.errorString();
        m_result.socketError = m_pop.socketError();
        done();
    });
    connect(&m_pop, &Pop3Client::listingEnded, this, &Pop3Mailbox::done);
}

void Pop3Mailbox::check(const MailAccount &account, MailboxMemory &memory)
{
    m_account = account;
    m_memory = &memory;
    m_result = {};
    m_ids.clear();
    m_listed.clear();
    m_message = 0;
    m_pop.timeoutMs = timeoutMs;
    m_pop.trustLoopback = trustLoopback;
    // Remembered with the server it was learnt from: another server starts afresh.
    m_before = learntFor(account.learnt, account.server);
    m_pop.open(account.server, account.userName, account.password, m_before);
}

void Pop3Mailbox::fetchNext()
{
    while (++m_message <= m_result.count) {
        // Messages seen before are not fetched again.
        const QString id = m_ids.value(m_message - 1);
        const auto cached = id.isEmpty() ? m_memory->headers.cend() : m_memory->headers.constFind(id);
        if (cached == m_memory->headers.cend()) {
            m_pop.fetchHeader(m_message);
            return;
        }
        list(*cached);
    }
    m_pop.endListing();
}

void Pop3Mailbox::done()
{
    m_pop.close();
    if (m_pop.encryption() != m_before)
        m_result.learnt = m_pop.encryption() + u' ' + m_account.server;
    m_result.newMail = HasNewMail(*m_memory, m_result.count, m_ids);
    for (int message : NewMessages(*m_memory, m_result.count, m_ids))
        if (const auto seen = m_listed.constFind(message); seen != m_listed.cend())
            m_result.fresh.append({seen->from, seen->subject, m_account.tag});
    Remember(*m_memory, m_result.count, m_ids);
    m_memory = nullptr;
    Q_EMIT checked();
}

void Pop3Mailbox::list(const MailboxMemory::Header &header)
{
    m_result.notice += NoticeEntry(header.from, header.subject, m_account.tag);
    m_listed.insert(m_message - 1, header);
}

void Pop3Mailbox::answerClearText(bool send)
{
    m_pop.answerClearText(send);
}

void Pop3Mailbox::stop()
{
    m_pop.close();
    m_memory = nullptr;
}
