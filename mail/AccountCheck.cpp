// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/AccountCheck.h"

#include "mail/Pop3Client.h"

AccountCheckResult CheckAccount(Pop3Client &pop, MailboxMemory &mailbox, const AccountCheck &account)
{
    AccountCheckResult result;
    pop.PopPassword = account.password;
    // Remembered with the server it was learnt from: another server starts afresh.
    pop.PopEncryption =
        account.learnt.section(u' ', 1) == account.server ? account.learnt.section(u' ', 0, 0) : QString();
    const QString before = pop.PopEncryption;
    pop.PopUserName = account.userName;
    pop.PopServer = account.server;
    pop.PopOpen();
    if (pop.PopEncryption != before)
        result.learnt = pop.PopEncryption + u' ' + account.server;
    QStringList ids;
    if (pop.PopStatus == 0) {
        result.count = pop.PopMessageCount;
        ids = pop.PopUniqueIds;
        for (int n = 1; n <= result.count; ++n) {
            // Messages seen before are not fetched again.
            const QString id = ids.value(n - 1);
            auto cached = id.isEmpty() ? mailbox.headers.cend() : mailbox.headers.constFind(id);
            MailboxMemory::Header header;
            if (cached != mailbox.headers.cend()) {
                header = *cached;
            } else {
                pop.PopFetchHeader(n);
                if (pop.PopStatus != 0)
                    continue;
                pop.PopParseHeader();
                header = {pop.PopFrom, pop.PopSubject};
                if (!id.isEmpty())
                    mailbox.headers.insert(id, header);
            }
            result.notice += NoticeEntry(header.from, header.subject, account.tag);
        }
        pop.PopEndListing();
    } else {
        result.errorNumber = pop.PopStatus;
        result.error = pop.PopLastError;
    }
    pop.PopClose();
    result.newMail = HasNewMail(mailbox, result.count, ids);
    Remember(mailbox, result.count, ids);
    return result;
}
