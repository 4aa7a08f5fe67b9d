// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/SettingsRecord.h"
#include "mail/MailboxClient.h"

#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class ImapPush;

// Where a check finds its accounts: the settings in the program, a list of its own in a test.
class MailAccounts {
public:
    virtual ~MailAccounts() = default;
    virtual int count() const = 0;
    // The account without its password, which password() gives.
    virtual MailAccount account(int index) const = 0;
    // Asked at the account's turn, as a keyring may give it only then; the answer may come later, and never once
    // `context` is gone. Nothing, and the reason, while there is none: the account is then not logged in to.
    using PasswordAnswer = std::function<void(const std::optional<QString> &password, const QString &why)>;
    virtual void password(int index, QObject *context, PasswordAnswer answer) = 0;
};

// Why an account's check failed.
struct MailFailure {
    QString server;
    QString why;
    // The socket's error behind it; UnknownSocketError for a failure that is none of the socket's.
    QAbstractSocket::SocketError socketError = QAbstractSocket::UnknownSocketError;
    // No password to log in with.
    bool noPassword = false;
};

// What an account's checks found new: in its last good check, and since the user last read what was new (the count
// the tray shows); when that check was (invalid before the first) and the server it asked.
struct MailNews {
    int fresh = 0;
    int sinceRead = 0;
    QDateTime checked;
    QString server;
};

// The mail check: a pass over every account, one after the other, each through its mailbox client, and what the
// pass found: the notice's lines, the message count, whether there is new mail and whether every account
// answered. Progress comes as signals; a pass started returns at once. It also counts the schedule's minutes.
class MailCheck : public QObject {
    Q_OBJECT
public:
    explicit MailCheck(MailAccounts &accounts, QObject *parent = nullptr);
    ~MailCheck() override;

    // Starts a pass; false, and nothing started, while one runs. Its first signal comes after the call.
    bool start();
    // Ends a pass at once: the account being checked is dropped, no other is started and finished() does not come.
    void stop();
    bool isChecking() const { return m_checking; }
    // Forgets what was seen: everything in the mailboxes counts as new at the next pass.
    void forget();
    // The user's answer to clearTextQuestion().
    void answerClearText(bool send);
    // The system has woken from sleep or its network has changed, so connections made before may be dead: woke()
    // tells those that hold connections open to make them again now. The pass that follows is the caller's.
    void systemWoke() { Q_EMIT woke(); }
    // A minute of the schedule has passed: true when the check every `minutes` minutes (0: never) is due now and
    // may run, outside the quiet hours and with no pass still running.
    bool minutePassed(int minutes, bool quietHours);

    // Push: every IMAP account, and from then on each whose check finds a server that offers IDLE, is watched, and
    // pushChanged() tells when its mailbox changes. stopPush() ends every watch without a word.
    void startPush();
    void stopPush();
    // Re-opens every watched account's connections at once, as after a resume or when the network is back.
    void reconnectPush();

    // What the last pass found.
    bool allOk() const { return m_allOk; }
    bool newMail() const { return m_newMail; }
    int total() const { return m_total; }
    QString notice() const { return m_notice; }
    // What each account's good checks found new, kept across passes.
    const MailNews &news(int index) const { return m_news[size_t(index)]; }
    // New since the user last read, over every account.
    int newSinceRead() const;
    // The user has read or put off what is new ("Read now", "Read later"): from now on only mail that comes after
    // counts, whatever forget() makes the notice tell again.
    void markRead();
    // The messages no earlier pass saw, account after account.
    const QList<NewMessage> &freshMessages() const { return m_fresh; }

    // Each account's memory between passes.
    std::array<MailboxMemory, MaxMailAccounts> mailboxes;
    int timeoutMs = 30'000;
    // A server on this computer is trusted with a password in clear; tests turn that off to play a remote one.
    bool trustLoopback = true;

Q_SIGNALS:
    void accountStarted(int index, const QString &server);
    void accountChecked(int index, const QString &server, int count);
    void accountFailed(int index, const MailFailure &failure);
    // What an account learnt about its server's encryption, as the settings keep it.
    void encryptionLearnt(int index, const QString &learnt);
    // Asked before a password would go unencrypted to a server not on this computer; answerClearText() goes on.
    void clearTextQuestion(const QString &host);
    void finished();
    // A watched account's mailbox changed: a pass would find what came.
    void pushChanged(int index);
    // A watched account's connections are all in IDLE, or some are down: why, and when they are tried again.
    void pushStateChanged(int index, bool up, const QString &why);
    // After systemWoke(): connections held open are to be made again at once.
    void woke();

private:
    void next();
    void passwordAnswered(MailAccount account, const std::optional<QString> &password, const QString &why);
    void checked();
    // The account's client for the protocol its server address names.
    MailboxClient &client(int index, const QString &server);
    // Starts watching the account unless its watcher runs already, for the same server and user.
    void watch(int index);
    void unwatch(int index);

    MailAccounts &m_accounts;
    std::array<std::unique_ptr<MailboxClient>, MaxMailAccounts> m_clients;
    bool m_push = false;
    std::array<std::unique_ptr<ImapPush>, MaxMailAccounts> m_watchers;
    bool m_checking = false;
    // Counts the passes, so that a step queued for a stopped one is dropped.
    quint64 m_pass = 0;
    int m_index = -1;
    int m_count = 0;
    QString m_server;
    int m_minuteCounter = 0;
    bool m_allOk = true;
    bool m_newMail = false;
    int m_total = 0;
    QString m_notice;
    std::array<MailNews, MaxMailAccounts> m_news;
    // Each account's mailbox as the user last read it, and as it was before the check under way.
    std::array<MailboxMemory, MaxMailAccounts> m_read;
    MailboxMemory m_before;
    QList<NewMessage> m_fresh;
};

Q_DECLARE_METATYPE(MailFailure)
