// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/ImapClient.h"
#include "mail/MailboxClient.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <vector>

class MailAccounts;

// The folders of an account that are watched for new mail, each on a connection of its own.
QStringList watchedFolders(const MailAccount &account);

// Push for one IMAP account: a connection per watched folder, the folder opened read-only and left in IDLE, so
// that the server tells of a message the moment it comes. IDLE is renewed before servers end it (after 30
// minutes); a connection that drops is opened again after 2 s, then 4 s, doubling up to 5 minutes. A connection
// the server refuses for good (no IDLE, a wrong password, no encryption where the password needs it) is given up:
// the account is then polled at the interval. It never asks the user anything: the password comes as a check's
// does, and only the encryption the account learnt is used.
class ImapPush : public QObject {
    Q_OBJECT
public:
    static constexpr int FirstRetryMs = 2'000;
    static constexpr int LastRetryMs = 5 * 60'000;

    ImapPush(MailAccounts &accounts, int index, QObject *parent = nullptr);
    ~ImapPush() override;

    // Reads the account and its password and opens the connections.
    void start();
    // Re-opens every connection at once, a live one too (after a resume it may be dead without knowing it), and
    // drops the back-off.
    void reconnectNow();
    int index() const { return m_index; }
    // The server and user the connections were opened for.
    const MailAccount &account() const { return m_account; }
    // Started, and not every connection given up.
    bool isRunning() const;
    // Every connection not given up is in IDLE.
    bool isUp() const { return m_up; }

    int renewMs = 25 * 60'000;
    int timeoutMs = 30'000;
    // A server on this computer is trusted with a password in clear; tests turn that off to play a remote one.
    bool trustLoopback = true;

Q_SIGNALS:
    // A message came to a watched folder or left it.
    void changed(int index);
    // Up when every connection is in IDLE; down with why and when the next try comes.
    void stateChanged(int index, bool up, const QString &why);

private:
    struct Link;
    void open(Link &link);
    void failed(Link &link);
    void giveUp(Link &link, const QString &why);
    void tellState();

    MailAccounts &m_accounts;
    int m_index;
    MailAccount m_account;
    bool m_started = false;
    quint64 m_generation = 0;
    std::vector<std::unique_ptr<Link>> m_links;
    bool m_up = false;
    QString m_why;
};
