// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslSocket>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// A POP3 mailbox reader (RFC 1939) with TLS: POP3S from the first byte, or STLS (RFC 2595) whenever the server
// offers it; the password never goes out in clear to a server that could have taken it encrypted. Each call waits
// for its answer with the event loop running, so windows stay alive, and gives up after `timeoutMs` of silence.
class Pop3Client : public QObject {
    Q_OBJECT
public:
    Pop3Client();
    ~Pop3Client() override;

    QString PopServer;
    QString PopUserName;
    QString PopPassword;

    // Connects, secures the connection where it can, logs in and reads the message count and unique ids.
    void PopOpen();
    // 0 after a call that worked, 1 after one that failed; PopLastError then says why.
    int PopStatus = 0;
    QString PopLastError;
    int PopMessageCount = 0;
    // The messages' unique ids in message-number order; empty when the server has no UIDL.
    QStringList PopUniqueIds;

    // The header of message n (1-based): TOP n 0, or RETR when the server refuses TOP.
    void PopFetchHeader(int n);
    void PopParseHeader();
    QString PopFrom;
    QString PopSubject;
    QByteArray header() const { return m_header; }

    void PopEndListing();
    void PopClose();

    int timeoutMs = 30'000;

    // What this account's server taught before about encryption: "TLS", "Clear", "NoClear" or nothing. The client
    // keeps it up to date: "TLS" after an encrypted session, the user's answer after the question.
    QString PopEncryption;
    // Asked before a password would go unencrypted to a server not on this computer; true sends it.
    std::function<bool(const QString &host)> askClearText;
    // A server on this computer is trusted with a password in clear; tests turn that off to play a remote one.
    bool trustLoopback = true;
    // Certificates trusted besides the system's, for servers with certificates of their own.
    static void trustCertificates(const QList<QSslCertificate> &certificates);

private:
    bool connectTo();
    bool passwordMayGo();
    bool command(const QByteArray &line, bool multiLine);
    bool readStatus();
    bool readMultiLine();
    bool waitFor(const std::function<bool()> &done);
    bool startTls();
    bool readCapabilities();
    void fail(const QString &why);

    // Made at the first open: a TLS socket loads the TLS libraries, which a suite that never checks mail does
    // not need in memory.
    std::unique_ptr<QSslSocket> m_socket;
    QByteArray m_buffer;
    QString m_statusText;
    QList<QByteArray> m_lines;
    QByteArray m_header;
    QStringList m_capabilities;
    bool m_topRefused = false;
    bool m_loggedIn = false;
};
