// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/NewMail.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

// One mail account as a check sees it.
struct MailAccount {
    QString server;
    QString userName;
    QString password;
    // What the account learnt about its server's encryption, as the settings keep it: "TLS server.example", say.
    QString learnt;
    // The tag after each subject in the notice.
    QString tag;
    // An IMAP account's folders checked besides INBOX, in modified UTF-7 as the server names them.
    QStringList folders = {};
};

// What `learnt` (as MailAccount::learnt keeps it: "TLS server.example") says of `server`'s encryption: nothing when
// it was learnt from another server, since the account's server may have changed since.
inline QString learntFor(const QString &learnt, const QString &server)
{
    return learnt.section(u' ', 1) == server ? learnt.section(u' ', 0, 0) : QString();
}

// What one account's check found.
struct AccountCheckResult {
    bool ok = true;
    // Why the mailbox could not be listed, and the socket's error where one was behind it.
    QString error;
    QAbstractSocket::SocketError socketError = QAbstractSocket::UnknownSocketError;
    int count = 0;
    bool newMail = false;
    // The notice's entries, one for every message in the mailbox.
    QString notice;
    // The messages the last check did not see, in the mailbox's order.
    QList<NewMessage> fresh;
    // What to keep for the account when the server taught something new about encryption.
    std::optional<QString> learnt;
    // The server can tell of new mail as it comes (IMAP IDLE).
    bool push = false;
};

// A mailbox of one account, behind whatever protocol its server speaks. A check logs in, lists the mailbox, takes
// the senders and subjects of the messages `memory` does not hold yet, decides whether there is new mail, and ends
// with checked().
class MailboxClient : public QObject {
    Q_OBJECT
public:
    // `memory` stays the caller's and must outlive the check.
    virtual void check(const MailAccount &account, MailboxMemory &memory) = 0;
    // The user's answer to clearTextQuestion().
    virtual void answerClearText(bool send) = 0;
    // Drops a check under way; no checked() follows.
    virtual void stop() = 0;
    virtual const AccountCheckResult &result() const = 0;

    int timeoutMs = 30'000;
    // A server on this computer is trusted with a password in clear; tests turn that off to play a remote one.
    bool trustLoopback = true;

Q_SIGNALS:
    void checked();
    // Asked before a password would go unencrypted to a server not on this computer.
    void clearTextQuestion(const QString &host);
};
