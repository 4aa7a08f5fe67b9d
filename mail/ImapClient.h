// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/ImapResponse.h"

#include <QAbstractSocket>
#include <QHash>
#include <QObject>
#include <QSslSocket>
#include <QTimer>
#include <memory>

// An IMAP session (RFC 9051, RFC 3501) that only reads: IMAPS from the first byte, or STARTTLS whenever the server
// offers it, and the password never in clear to a server that could have taken it encrypted (the same rules as
// Pop3Client's). The folder is opened with EXAMINE and headers fetched with BODY.PEEK, so nothing in the mailbox is
// ever marked read or changed. Every call returns at once and its outcome comes later as a signal; a call gives up
// after `timeoutMs` of silence. The session stays open between calls until logout() or close().
class ImapClient : public QObject {
    Q_OBJECT
public:
    enum class Error {
        None,
        BadAddress,    // not an IMAP server address
        Connection,    // the socket failed or the server went away; socketError() says how
        NotImap,       // bytes that are no IMAP response, or one past the size limit
        Refused,       // the server said NO or BAD, or BYE before the login
        TlsLost,       // the server had TLS before and now has not
        NoClearText,   // no TLS, and the password may not go in clear
        LoginDisabled, // no TLS, and the server takes no password without it
    };
    Q_ENUM(Error)

    ImapClient();
    ~ImapClient() override;

    // Connects, secures the connection where it can and logs in: opened() or failed(). `encryption` is what the
    // account's server taught before: "TLS", "Clear", "NoClear" or nothing.
    void open(const QString &server, const QString &userName, const QString &password, const QString &encryption);
    // Opens a folder read-only: examined(), with uidValidity() and messageCount(), or failed().
    void examine(const QString &folder);
    // The UIDs of the folder's messages: uidsListed(), with uids(), or failed().
    void listUids();
    // The From, Subject and Date lines of the messages with these UIDs: headersFetched(), with headers(), or failed().
    void fetchHeaders(const QList<quint32> &uids);
    // Waits in the examined folder for the server to tell of changes (IDLE): idling() once the server agreed, then
    // mailboxChanged() for every message that comes or goes. The server may stay silent as long as it likes; only a
    // connection that closes ends the wait, as failed().
    void idle();
    // Ends the wait (DONE): idleEnded() once the server confirmed, or failed().
    void endIdle();
    // Every folder on the server that can be opened: foldersListed(), with folders(), or failed().
    void listFolders();
    // Says goodbye: loggedOut(), also when the goodbye is lost.
    void logout();
    // Drops the connection at once; no signal follows, and an outcome still on its way is not delivered.
    void close();
    // The user's answer to clearTextQuestion(): true sends the password unencrypted.
    void answerClearText(bool send);

    std::optional<quint32> uidValidity() const { return m_uidValidity; }
    quint32 messageCount() const { return m_exists; }
    QList<quint32> uids() const { return m_uids; }
    QHash<quint32, QByteArray> headers() const { return m_headers; }
    // The folders' names as commands take them, in modified UTF-7; ImapFolderName() shows them.
    QList<QByteArray> folders() const { return m_folders; }
    // The encryption as the client knows it now: "TLS" after an encrypted session, the user's answer after the
    // question, else what open() was given.
    QString encryption() const { return m_encryption; }
    // What the server offers, upper case; after the login, what it offers a logged-in user.
    QList<QByteArray> capabilities() const { return m_capabilities; }
    bool hasIdle() const { return m_capabilities.contains("IDLE"); }
    Error error() const { return m_error; }
    QAbstractSocket::SocketError socketError() const { return m_socketError; }
    QString errorString() const { return m_errorString; }

    int timeoutMs = 30'000;
    // A server on this computer is trusted with a password in clear; tests turn that off to play a remote one.
    bool trustLoopback = true;

Q_SIGNALS:
    void opened();
    void examined();
    void uidsListed();
    void headersFetched();
    void foldersListed();
    void loggedOut();
    void idling();
    void idleEnded();
    // A message came to the folder or left it while idling.
    void mailboxChanged();
    void failed();
    // Asked before a password would go unencrypted to a server not on this computer; answerClearText() goes on.
    // With nobody listening, the password is not sent.
    void clearTextQuestion(const QString &host);

private:
    // What the client waits for.
    enum class Phase {
        Idle,
        Connecting,
        Greeting,
        Capability,
        StartTls,
        Handshake,
        CapabilityTls,
        Question,
        Login,
        Examine,
        Search,
        Fetch,
        IdleStart,
        Idling,
        IdleDone,
        Logout,
        List,
    };
    enum class Outcome {
        Opened,
        Examined,
        UidsListed,
        HeadersFetched,
        Idling,
        IdleEnded,
        MailboxChanged,
        LoggedOut,
        Failed,
        FoldersListed
    };

    void connectSocket();
    void readResponses();
    void untagged(const ImapResponse &response);
    void tagged(const ImapResponse &response);
    void greeted(const ImapResponse &response);
    void capabilitiesKnown();
    void secured();
    void clearTextDecided();
    // Sends a command; arguments that no quoted string can carry go as literals.
    void command(const QByteArray &verb, const QList<QByteArray> &arguments, Phase next);
    void fail(Error error, const QString &why,
              QAbstractSocket::SocketError socketError = QAbstractSocket::UnknownSocketError);
    void refuse(const ImapResponse &response);
    void connectionLost();
    void finish(Outcome outcome);
    // Tells the listener of an outcome while the call goes on.
    void tell(Outcome outcome);
    // No silence counts against the server: it has nothing to say, or the user is being asked.
    bool waitsForServer() const;
    bool connected() const;

    // Made at the first open: a TLS socket loads the TLS libraries, which a suite that never checks mail does
    // not need in memory.
    std::unique_ptr<QSslSocket> m_socket;
    ImapReader m_reader;
    QTimer m_silence;
    Phase m_phase = Phase::Idle;
    // Counts the calls, so that an outcome queued for an earlier one is dropped.
    quint64 m_call = 0;
    quint32 m_tagNumber = 0;
    QByteArray m_tag;
    // What follows a synchronising literal, sent at the server's "+".
    QList<QByteArray> m_pending;
    QString m_host;
    bool m_implicitTls = false;
    QString m_userName;
    QString m_password;
    QString m_encryption;
    QList<QByteArray> m_capabilities;
    bool m_loggedIn = false;
    std::optional<quint32> m_uidValidity;
    quint32 m_exists = 0;
    QList<quint32> m_uids;
    QHash<quint32, QByteArray> m_headers;
    // A change is told once, however many responses the server sent about it at once.
    bool m_changeTold = false;
    QList<QByteArray> m_folders;
    // The text of the server's BYE, told when it then closes the connection.
    QString m_bye;
    Error m_error = Error::None;
    QAbstractSocket::SocketError m_socketError = QAbstractSocket::UnknownSocketError;
    QAbstractSocket::SocketError m_seenError = QAbstractSocket::UnknownSocketError;
    QString m_errorString;
};
