// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/ImapMailbox.h"

#include "mail/MailText.h"

#include <algorithm>

ImapMailbox::ImapMailbox()
{
    connect(&m_imap, &ImapClient::clearTextQuestion, this, &MailboxClient::clearTextQuestion);
    connect(&m_imap, &ImapClient::opened, this, &ImapMailbox::nextFolder);
    connect(&m_imap, &ImapClient::examined, this, &ImapMailbox::examined);
    connect(&m_imap, &ImapClient::uidsListed, this, &ImapMailbox::uidsListed);
    connect(&m_imap, &ImapClient::headersFetched, this, [this] {
        const QHash<quint32, QByteArray> headers = m_imap.headers();
        for (auto it = headers.cbegin(); it != headers.cend(); ++it)
            m_memory->headers.insert(id(it.key()),
                                     {HeaderField(it.value(), "From"), HeaderField(it.value(), "Subject")});
        ++m_folder;
        nextFolder();
    });
    connect(&m_imap, &ImapClient::failed, this, [this] {
        // A ticked folder deleted or renamed on the server costs its own messages, not the account's check.
        if (m_folder > 0 && m_imap.error() == ImapClient::Error::Refused && m_folder < m_folders.size()) {
            m_skipped += QStringLiteral("Folder \"%1\" could not be opened and was skipped: %2\r\n\r\n")
                             .arg(ImapFolderName(m_folders[m_folder]), m_imap.errorString());
            ++m_folder;
            nextFolder();
            return;
        }
        m_result.ok = false;
        m_result.error = m_imap.errorString();
        m_result.socketError = m_imap.socketError();
        m_listed.clear();
        done();
    });
    connect(&m_imap, &ImapClient::loggedOut, this, &ImapMailbox::done);
}

void ImapMailbox::check(const MailAccount &account, MailboxMemory &memory)
{
    m_account = account;
    m_memory = &memory;
    m_result = {};
    m_folders = {QByteArrayLiteral("INBOX")};
    for (const QString &folder : account.folders)
        if (const QByteArray name = folder.toLatin1();
            name.compare("INBOX", Qt::CaseInsensitive) != 0 && !name.isEmpty() && !m_folders.contains(name))
            m_folders.append(name);
    m_folder = 0;
    m_listed.clear();
    m_skipped.clear();
    m_imap.timeoutMs = timeoutMs;
    m_imap.trustLoopback = trustLoopback;
    // Remembered with the server it was learnt from: another server starts afresh.
    m_before = learntFor(account.learnt, account.server);
    m_imap.open(account.server, account.userName, account.password, m_before);
}

QString ImapMailbox::id(quint32 uid) const
{
    if (m_folder == 0)
        return QString::number(uid);
    return QString::fromLatin1(m_folders[m_folder]) + u' ' + QString::number(uid);
}

void ImapMailbox::nextFolder()
{
    if (m_folder < m_folders.size())
        m_imap.examine(QString::fromLatin1(m_folders[m_folder]));
    else
        m_imap.logout();
}

void ImapMailbox::examined()
{
    const std::optional<quint32> validity = m_imap.uidValidity();
    m_quiet = false;
    if (m_folder == 0) {
        // UIDs of another UIDVALIDITY name other messages: what was seen is known by the count alone, and every
        // header is read again.
        if (!validity || validity != m_memory->uidValidity) {
            m_memory->ids.reset();
            m_memory->headers.clear();
        }
        m_memory->uidValidity = validity;
    } else {
        // Another folder's new UIDVALIDITY: its old ids and headers go, and what it holds now is taken as seen, as
        // a folder made anew holds what was there before.
        const QString folder = QString::fromLatin1(m_folders[m_folder]);
        const auto known = m_memory->folderValidity.constFind(folder);
        if (!validity || (known != m_memory->folderValidity.cend() && *known != *validity)) {
            m_quiet = true;
            const QString prefix = folder + u' ';
            if (m_memory->ids)
                m_memory->ids->removeIf([&](const QString &id) { return id.startsWith(prefix); });
            m_memory->headers.removeIf(
                [&](QHash<QString, MailboxMemory::Header>::iterator seen) { return seen.key().startsWith(prefix); });
        }
        if (validity)
            m_memory->folderValidity.insert(folder, *validity);
        else
            m_memory->folderValidity.remove(folder);
    }
    m_imap.listUids();
}

void ImapMailbox::uidsListed()
{
    QList<quint32> uids = m_imap.uids();
    std::sort(uids.begin(), uids.end());
    // The folder in the notice for messages outside INBOX, whose lines stay as they always were.
    const QString tag = m_folder == 0
                            ? m_account.tag
                            : QStringLiteral(" [") + ImapFolderName(m_folders[m_folder]) + u']' + m_account.tag;
    QList<quint32> unseen;
    for (quint32 uid : std::as_const(uids)) {
        const QString key = id(uid);
        m_listed.append({key, tag});
        if (m_quiet && m_memory->ids) {
            m_memory->ids->insert(key);
            m_memory->adopted.insert(key);
        }
        if (!m_memory->headers.contains(key))
            unseen.append(uid);
    }
    m_imap.fetchHeaders(unseen);
}

void ImapMailbox::done()
{
    m_imap.close();
    if (m_imap.encryption() != m_before)
        m_result.learnt = m_imap.encryption() + u' ' + m_account.server;
    if (m_result.ok) {
        QStringList ids;
        for (const auto &[key, tag] : std::as_const(m_listed)) {
            ids.append(key);
            // A message whose header did not come is left out; the others are still listed.
            if (const auto seen = m_memory->headers.constFind(key); seen != m_memory->headers.cend())
                m_result.notice += NoticeEntry(seen->from, seen->subject, tag);
        }
        m_result.notice += m_skipped;
        m_result.count = int(m_listed.size());
        m_result.push = m_imap.hasIdle();
        m_result.newMail = HasNewMail(*m_memory, m_result.count, ids);
        for (int message : NewMessages(*m_memory, m_result.count, ids))
            if (const auto seen = m_memory->headers.constFind(ids[message]); seen != m_memory->headers.cend())
                m_result.fresh.append({seen->from, seen->subject, m_account.tag});
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
