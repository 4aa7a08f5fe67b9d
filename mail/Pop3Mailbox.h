// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailboxClient.h"
#include "mail/Pop3Client.h"

// An account's mailbox on a POP3 server: messages seen before are not fetched again.
class Pop3Mailbox : public MailboxClient {
    Q_OBJECT
public:
    Pop3Mailbox();

    void check(const MailAccount &account, MailboxMemory &memory) override;
    void answerClearText(bool send) override;
    void stop() override;
    const AccountCheckResult &result() const override { return m_result; }

private:
    void fetchNext();
    void done();
    // Adds the message being read to the notice.
    void list(const MailboxMemory::Header &header);

    Pop3Client m_pop;
    MailAccount m_account;
    MailboxMemory *m_memory = nullptr;
    AccountCheckResult m_result;
    // What the account knew of its server's encryption before this check.
    QString m_before;
    QStringList m_ids;
    // The message whose header is being read; 0 before the listing.
    int m_message = 0;
    // The senders and subjects listed, by the message's place in the listing.
    QHash<int, MailboxMemory::Header> m_listed;
};
