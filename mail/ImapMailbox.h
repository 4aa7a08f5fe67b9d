// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/ImapClient.h"
#include "mail/MailboxClient.h"

// An account's INBOX, and the folders the user ticked besides it, on an IMAP server, opened read-only. A message is
// known by its UID, which the server keeps while the folder's UIDVALIDITY stays; headers seen before are not fetched
// again.
class ImapMailbox : public MailboxClient {
    Q_OBJECT
public:
    ImapMailbox();

    void check(const MailAccount &account, MailboxMemory &memory) override;
    void answerClearText(bool send) override;
    void stop() override;
    const AccountCheckResult &result() const override { return m_result; }

private:
    void examined();
    void uidsListed();
    // Opens the next folder to check, or logs out after the last.
    void nextFolder();
    void done();
    // A message's id in the memory: the UID for INBOX, the folder and the UID for another folder.
    QString id(quint32 uid) const;

    ImapClient m_imap;
    MailAccount m_account;
    MailboxMemory *m_memory = nullptr;
    AccountCheckResult m_result;
    // What the account knew of its server's encryption before this check.
    QString m_before;
    // INBOX, then the ticked folders; the one being checked.
    QList<QByteArray> m_folders;
    qsizetype m_folder = 0;
    // The folder's UIDVALIDITY changed: its UIDs are all taken as seen.
    bool m_quiet = false;
    // Every message listed so far: its id and the tag its notice entry takes.
    QList<std::pair<QString, QString>> m_listed;
    // Ticked folders the server would not open.
    QString m_skipped;
};
