// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/NewMail.h"

#include <QString>
#include <optional>

class Pop3Client;

// One account's turn in a mail check, without a display: log in, list the mailbox, take the senders and subjects of
// messages not seen before, and decide whether there is new mail.
struct AccountCheck {
    QString server;
    QString userName;
    QString password;
    // What the account learnt about its server's encryption, as the settings keep it: "TLS server.example", say.
    QString learnt;
    // The tag after each subject in the notice.
    QString tag;
};

struct AccountCheckResult {
    // 0 when the mailbox was listed; else the error number, and the reason in `error`.
    int errorNumber = 0;
    QString error;
    int count = 0;
    bool newMail = false;
    // The notice's entries, one for every message in the mailbox.
    QString notice;
    // What to keep for the account when the server taught something new about encryption.
    std::optional<QString> learnt;
};

AccountCheckResult CheckAccount(Pop3Client &pop, MailboxMemory &mailbox, const AccountCheck &account);
