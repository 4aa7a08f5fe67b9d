// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QSslSocket>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>

// A POP3 mailbox reader (RFC 1939) with TLS: POP3S from the first byte, or STLS (RFC 2595) whenever the server
// offers it; the password never goes out in clear to a server that could have taken it encrypted. Every call returns
// at once; its outcome comes later as a signal, never inside the call. A call gives up after `timeoutMs` of silence.
class Pop3Client : public QObject {
    Q_OBJECT
public:
    enum class Error {
        None,
        BadAddress,  // not a mail server address
        Connection,  // the socket failed or the server went away; socketError() says how
        NotPop3,     // an answer that is no POP3 status line
        Refused,     // the server said -ERR
        TooBig,      // an answer past the size limit
        NoCount,     // STAT without a count
        TlsLost,     // the server had TLS before and now has not
        NoClearText, // no TLS, and the password may not go in clear
    };
    Q_ENUM(Error)

    Pop3Client();
    ~Pop3Client() override;

    // Connects, secures the connection where it can, logs in and reads the message count and unique ids: opened()
    // or failed(). `encryption` is what the account's server taught before: "TLS", "Clear", "NoClear" or nothing.
    void open(const QString &server, const QString &userName, const QString &password, const QString &encryption);
    // The header of message n (1-based): TOP n 0, or RETR where the server refuses TOP. headerFetched() or failed().
    void fetchHeader(int n);
    // Says goodbye to the server after a listing: listingEnded(), also when the goodbye is lost.
    void endListing();
    // Drops the connection at once; no signal follows, and an outcome still on its way is not delivered.
    void close();
    // The user's answer to clearTextQuestion(): true sends the password unencrypted.
    void answerClearText(bool send);

    int messageCount() const { return m_messageCount; }
    // The messages' unique ids in message-number order; empty when the server has no UIDL.
    QStringList uniqueIds() const { return m_uniqueIds; }
    QByteArray header() const { return m_header; }
    // The encryption as the client knows it now: "TLS" after an encrypted session, the user's answer after the
    // question, else what open() was given.
    QString encryption() const { return m_encryption; }
    Error error() const { return m_error; }
    // The socket's own error behind Error::Connection; a time-out is SocketTimeoutError.
    QAbstractSocket::SocketError socketError() const { return m_socketError; }
    QString errorString() const { return m_errorString; }

    int timeoutMs = 30'000;
    // A server on this computer is trusted with a password in clear; tests turn that off to play a remote one.
    bool trustLoopback = true;
    // Certificates trusted besides the system's, for servers with certificates of their own.
    static void trustCertificates(const QList<QSslCertificate> &certificates);

Q_SIGNALS:
    void opened();
    void headerFetched();
    void listingEnded();
    void failed();
    // Asked before a password would go unencrypted to a server not on this computer; answerClearText() goes on.
    // With nobody listening, the password is not sent.
    void clearTextQuestion(const QString &host);

private:
    // What the client waits for.
    enum class Phase {
        Idle,
        Connecting,
        Handshake,
        Greeting,
        Capa,
        Stls,
        CapaTls,
        Question,
        User,
        Pass,
        Stat,
        Uidl,
        Top,
        Retr,
        Quit
    };
    enum class Outcome { Opened, HeaderFetched, ListingEnded, Failed };

    void advance();
    bool readAnswer();
    // The answer to the command sent in the present phase: before, during and after the login.
    void answered(bool ok);
    void securing(bool ok);
    void loggingIn(bool ok);
    void reading(bool ok);
    void refuse();
    void send(const QByteArray &line, bool multiLine, Phase next);
    void readCapabilities();
    void secured();
    void clearTextDecided();
    void login();
    void fail(Error error, const QString &why, bool abort = false,
              QAbstractSocket::SocketError socketError = QAbstractSocket::UnknownSocketError);
    void connectionLost();
    void finish(Outcome outcome);

    // Made at the first open: a TLS socket loads the TLS libraries, which a suite that never checks mail does
    // not need in memory.
    std::unique_ptr<QSslSocket> m_socket;
    QTimer m_silence;
    Phase m_phase = Phase::Idle;
    // Counts the calls, so that an outcome queued for an earlier one is dropped.
    quint64 m_call = 0;
    bool m_implicitTls = false;
    QString m_host;
    QString m_userName;
    QString m_password;
    QString m_encryption;
    int m_message = 0;
    bool m_multiLine = false;
    bool m_statusRead = false;
    QByteArray m_buffer;
    QString m_statusText;
    QList<QByteArray> m_lines;
    QByteArray m_header;
    QStringList m_capabilities;
    bool m_topRefused = false;
    bool m_loggedIn = false;
    int m_messageCount = 0;
    QStringList m_uniqueIds;
    Error m_error = Error::None;
    QAbstractSocket::SocketError m_socketError = QAbstractSocket::UnknownSocketError;
    // The socket's last error in this session.
    QAbstractSocket::SocketError m_seenError = QAbstractSocket::UnknownSocketError;
    QString m_errorString;
};
