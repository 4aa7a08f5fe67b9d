// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// What the mail check remembers of one mailbox between checks: the message count, the unique ids where the
// server gives them, and the senders and subjects already fetched. An IMAP folder's ids are its UIDs, which name the
// same messages only while its UIDVALIDITY stays the same. The ids of an IMAP account's other folders (besides INBOX)
// are the folder's name, a space and the UID, each folder with its own UIDVALIDITY.
struct MailboxMemory {
    int lastCount = 0;
    std::optional<QSet<QString>> ids;
    std::optional<quint32> uidValidity;
    QHash<QString, quint32> folderValidity;
    // Ids taken as seen without having been new: the messages of a folder made anew under another UIDVALIDITY.
    QSet<QString> adopted;
    struct Header {
        QString from;
        QString subject;
    };
    QHash<QString, Header> headers;

    // Forget what was seen, so that everything now in the mailbox counts as new at the next check.
    void reset()
    {
        lastCount = 0;
        ids.reset();
    }
};

// Whether the mailbox now holds mail the last check did not see. With unique ids on both checks, any id not seen
// before is new (a message removed and another added between two checks is still new mail); otherwise a count
// above the last one is.
bool HasNewMail(const MailboxMemory &memory, int count, const QStringList &ids);
// The messages of this check the last one did not see, by their place in the listing (0 first), as HasNewMail()
// judges: ids not seen before, else the messages past the last count, which servers list last.
QList<int> NewMessages(const MailboxMemory &memory, int count, const QStringList &ids);
// One message new at a check, as a desktop notification tells it.
struct NewMessage {
    QString from;
    QString subject;
    // The account's tag, as the notice has it after the subject.
    QString tag;
};
// Takes in this check's count and ids; headers of messages no longer there are forgotten.
void Remember(MailboxMemory &memory, int count, const QStringList &ids);
// How many messages `now` holds that `before` did not, by the rule of HasNewMail: by their ids where both have them
// under the same UIDVALIDITY (those `now` adopted are none), otherwise by how far the count grew.
int NewMessages(const MailboxMemory &before, const MailboxMemory &now);

// One message of the notice: "From:  " sender, "Subject:  " subject and the account's tag, CR LF after each line
// and a blank line after the message.
QString NoticeEntry(const QString &from, const QString &subject, const QString &tag);
// The tag after each subject: nothing with one account, " (server)" with more.
QString AccountTag(int accounts, const QString &server);
// "CheckTime"'s leading number: minutes between checks, 0 for never.
int CheckMinutes(const QString &checkTime);
// True for an account nobody has set up: its server field empty or still the first start's placeholder
// ("- Internetaddress to mailserver", with the account's number after it). Checks pass over such accounts.
bool IsUnsetAccount(const QString &server);
