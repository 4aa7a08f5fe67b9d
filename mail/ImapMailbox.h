// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/ImapClient.h"
#include "mail/MailboxClient.h"

// An account's INBOX on an IMAP server, opened read-only. A message is known by its UID, which the server keeps
// while the folder's UIDVALIDITY stays; headers seen before are not fetched again.
class ImapMailbox : public MailboxClient {
    Q_OBJECT
public:
    ImapMailbox();

    void check(const MailAccount &account, MailboxMemory &memory) override;
    void answerClearText(bool send) override;
    void stop() override;
    const AccountCheckResult &result() const override { return m_result; }

private:
    void done();

    ImapClient m_imap;
    MailAccount m_account;
    MailboxMemory *m_memory = nullptr;
    AccountCheckResult m_result;
    // What the account knew of its server's encryption before this check.
    QString m_before;
    QList<quint32> m_uids;
};
