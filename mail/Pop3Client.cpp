// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/Pop3Client.h"

#include "mail/MailText.h"

#include <QMetaMethod>
#include <QSslConfiguration>

namespace {

// A header bigger than this is cut; a message fetched whole to find its header may be at most this big.
constexpr qsizetype MaxAnswer = 32 * 1024 * 1024;

} // namespace

Pop3Client::Pop3Client()
{
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        if (m_phase == Phase::Idle || m_phase == Phase::Question)
            return;
        fail(Error::Connection, QStringLiteral("No answer from the server within %1 seconds").arg(timeoutMs / 1000.0),
             true, QAbstractSocket::SocketTimeoutError);
    });
}

Pop3Client::~Pop3Client()
{
    m_phase = Phase::Idle;
    if (m_socket)
        m_socket->abort();
}

void Pop3Client::trustCertificates(const QList<QSslCertificate> &certificates)
{
    // Qt's own process-wide configuration, which every connection starts from.
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(QSslConfiguration::systemCaCertificates() + certificates);
    QSslConfiguration::setDefaultConfiguration(configuration);
}

void Pop3Client::finish(Outcome outcome)
{
    m_phase = Phase::Idle;
    m_silence.stop();
    // Never inside the call that started it: a listener may start the next call from its slot.
    QTimer::singleShot(0, this, [this, outcome, call = m_call] {
        if (call != m_call)
            return;
        switch (outcome) {
        case Outcome::Opened:
            Q_EMIT opened();
            break;
        case Outcome::HeaderFetched:
            Q_EMIT headerFetched();
            break;
        case Outcome::ListingEnded:
            Q_EMIT listingEnded();
            break;
        case Outcome::Failed:
            Q_EMIT failed();
            break;
        }
    });
}

void Pop3Client::fail(Error error, const QString &why, bool abort, QAbstractSocket::SocketError socketError)
{
    const Phase phase = m_phase;
    // Idle before the abort, whose signals then find nothing waiting.
    m_phase = Phase::Idle;
    if (abort && m_socket)
        m_socket->abort();
    if (phase == Phase::Uidl) {
        // No unique ids is no failure: the count alone tells what is new.
        finish(Outcome::Opened);
        return;
    }
    if (phase == Phase::Quit) {
        m_loggedIn = false;
        finish(Outcome::ListingEnded);
        return;
    }
    m_error = error;
    m_socketError = socketError;
    m_errorString = why;
    finish(Outcome::Failed);
}

void Pop3Client::connectionLost()
{
    if (m_seenError != QAbstractSocket::UnknownSocketError)
        fail(Error::Connection, m_socket->errorString(), true, m_seenError);
    else
        fail(Error::Connection, QStringLiteral("The server closed the connection"), true);
}

void Pop3Client::send(const QByteArray &line, bool multiLine, Phase next)
{
    m_lines.clear();
    m_statusRead = false;
    m_multiLine = multiLine;
    m_phase = next;
    m_socket->write(line + "\r\n");
    m_silence.start(timeoutMs);
    // An answer already here, or a connection already gone, is not waited for.
    advance();
}

void Pop3Client::advance()
{
    if (m_phase == Phase::Idle || m_phase == Phase::Question)
        return;
    if (m_phase == Phase::Connecting) {
        if (m_implicitTls ? m_socket->isEncrypted() : m_socket->state() == QAbstractSocket::ConnectedState) {
            m_phase = Phase::Greeting;
            m_statusRead = false;
            m_multiLine = false;
        }
    } else if (m_phase == Phase::Handshake) {
        if (m_socket->isEncrypted()) {
            send("CAPA", true, Phase::CapaTls);
            return;
        }
    }
    if (m_phase != Phase::Connecting && m_phase != Phase::Handshake && readAnswer())
        return;
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        connectionLost();
}

bool Pop3Client::readAnswer()
{
    if (!m_statusRead) {
        const qsizetype end = m_buffer.indexOf('\n');
        if (end < 0 && m_buffer.size() <= MaxAnswer)
            return false;
        const std::optional<PopStatusLine> status =
            ParsePopStatus(QByteArrayView(m_buffer).first(end < 0 ? 0 : end + 1));
        m_buffer.remove(0, end + 1);
        if (!status) {
            fail(Error::NotPop3, QStringLiteral("The server does not speak POP3"), true);
            return true;
        }
        m_statusText = status->text;
        if (!status->ok) {
            answered(false);
            return true;
        }
        m_statusRead = true;
        if (!m_multiLine) {
            answered(true);
            return true;
        }
    }
    const bool whole = m_buffer.startsWith(".\r\n") || m_buffer.startsWith(".\n") || m_buffer.endsWith("\r\n.\r\n") ||
                       m_buffer.endsWith("\n.\n") || m_buffer.size() > MaxAnswer;
    if (!whole)
        return false;
    const std::optional<QList<QByteArray>> lines = ParseMultiLine(m_buffer);
    m_buffer.clear();
    if (!lines) {
        fail(Error::TooBig, QStringLiteral("The server's answer is too big"), true);
        return true;
    }
    m_lines = *lines;
    answered(true);
    return true;
}

void Pop3Client::readCapabilities()
{
    m_capabilities.clear();
    for (const QByteArray &line : std::as_const(m_lines))
        m_capabilities.append(QString::fromLatin1(line.simplified().split(' ').value(0)).toUpper());
}

void Pop3Client::refuse()
{
    fail(Error::Refused, m_statusText.isEmpty() ? QStringLiteral("The server refused") : m_statusText);
}

void Pop3Client::answered(bool ok)
{
    switch (m_phase) {
    case Phase::Greeting:
    case Phase::Capa:
    case Phase::Stls:
    case Phase::CapaTls:
        securing(ok);
        return;
    case Phase::User:
    case Phase::Pass:
    case Phase::Stat:
    case Phase::Uidl:
        loggingIn(ok);
        return;
    case Phase::Top:
    case Phase::Retr:
    case Phase::Quit:
        reading(ok);
        return;
    case Phase::Idle:
    case Phase::Connecting:
    case Phase::Handshake:
    case Phase::Question:
        return;
    }
}

void Pop3Client::securing(bool ok)
{
    if (m_phase == Phase::Greeting) {
        if (!ok)
            refuse();
        else if (m_implicitTls)
            secured();
        else
            send("CAPA", true, Phase::Capa);
    } else if (m_phase == Phase::Capa) {
        // CAPA is optional: refused, it lists nothing. A plain port takes TLS whenever the server has it.
        m_lines = ok ? m_lines : QList<QByteArray>();
        readCapabilities();
        if (m_capabilities.contains(QStringLiteral("STLS")) || m_capabilities.isEmpty())
            send("STLS", false, Phase::Stls);
        else
            secured();
    } else if (m_phase == Phase::Stls) {
        if (ok) {
            // Nothing said before the handshake may pass for an answer said under TLS.
            m_buffer.clear();
            m_phase = Phase::Handshake;
            m_socket->startClientEncryption();
            m_silence.start(timeoutMs);
        } else if (m_capabilities.contains(QStringLiteral("STLS"))) {
            refuse();
        } else {
            // A server without CAPA that refuses STLS has no TLS to offer.
            secured();
        }
    } else {
        m_lines = ok ? m_lines : QList<QByteArray>();
        readCapabilities();
        secured();
    }
}

void Pop3Client::loggingIn(bool ok)
{
    if (m_phase == Phase::Uidl) {
        if (ok)
            m_uniqueIds = ParseUidl(m_lines, m_messageCount).value_or(QStringList());
        finish(Outcome::Opened);
        return;
    }
    if (!ok) {
        refuse();
        return;
    }
    if (m_phase == Phase::User) {
        send("PASS " + m_password.toUtf8(), false, Phase::Pass);
    } else if (m_phase == Phase::Pass) {
        m_loggedIn = true;
        send("STAT", false, Phase::Stat);
    } else {
        const std::optional<int> count = ParseStatCount(m_statusText);
        if (!count) {
            fail(Error::NoCount, QStringLiteral("The server did not say how many messages there are"));
            return;
        }
        m_messageCount = *count;
        if (m_capabilities.isEmpty() || m_capabilities.contains(QStringLiteral("UIDL")))
            send("UIDL", true, Phase::Uidl);
        else
            finish(Outcome::Opened);
    }
}

void Pop3Client::reading(bool ok)
{
    if (m_phase == Phase::Quit) {
        m_loggedIn = false;
        finish(Outcome::ListingEnded);
    } else if (m_phase == Phase::Top && !ok) {
        if (m_capabilities.contains(QStringLiteral("TOP"))) {
            refuse();
        } else {
            // TOP is optional; where the server does not list it, a refusal means it has none.
            m_topRefused = true;
            send("RETR " + QByteArray::number(m_message), true, Phase::Retr);
        }
    } else if (!ok) {
        refuse();
    } else {
        // TOP gives the header alone; RETR the whole message, cut at the blank line.
        const qsizetype blank = m_phase == Phase::Retr ? m_lines.indexOf(QByteArray()) : -1;
        m_header = (blank < 0 ? m_lines : m_lines.first(blank)).join("\r\n");
        finish(Outcome::HeaderFetched);
    }
}

void Pop3Client::secured()
{
    if (m_socket->isEncrypted()) {
        m_encryption = QStringLiteral("TLS");
        login();
        return;
    }
    if (trustLoopback && m_socket->peerAddress().isLoopback()) {
        login();
        return;
    }
    // A server that had TLS and now has none: someone on the way may have taken the offer out.
    if (m_encryption == u"TLS") {
        fail(Error::TlsLost,
             QStringLiteral("The server offered encryption before and now does not: the password was not sent"));
        return;
    }
    if (m_encryption.isEmpty() && isSignalConnected(QMetaMethod::fromSignal(&Pop3Client::clearTextQuestion))) {
        // The user takes the time they need; the server's silence meanwhile is no failure.
        m_phase = Phase::Question;
        m_silence.stop();
        Q_EMIT clearTextQuestion(m_host);
        return;
    }
    clearTextDecided();
}

void Pop3Client::answerClearText(bool send)
{
    if (m_phase != Phase::Question)
        return;
    m_encryption = send ? QStringLiteral("Clear") : QStringLiteral("NoClear");
    clearTextDecided();
}

void Pop3Client::clearTextDecided()
{
    if (m_encryption == u"Clear")
        login();
    else
        fail(Error::NoClearText,
             QStringLiteral("The server offers no encryption, and the password is not sent unencrypted"));
}

void Pop3Client::login()
{
    send("USER " + m_userName.toUtf8(), false, Phase::User);
}

void Pop3Client::open(const QString &server, const QString &userName, const QString &password,
                      const QString &encryption)
{
    ++m_call;
    m_phase = Phase::Idle;
    m_userName = userName;
    m_password = password;
    m_encryption = encryption;
    m_error = Error::None;
    m_socketError = QAbstractSocket::UnknownSocketError;
    m_seenError = QAbstractSocket::UnknownSocketError;
    m_errorString.clear();
    m_messageCount = 0;
    m_uniqueIds.clear();
    m_capabilities.clear();
    m_header.clear();
    m_topRefused = false;
    m_loggedIn = false;
    if (!m_socket) {
        m_socket = std::make_unique<QSslSocket>();
        connect(m_socket.get(), &QSslSocket::readyRead, this, [this] {
            m_buffer += m_socket->readAll();
            // Any answer at all restarts the wait: only silence ends it.
            if (m_phase != Phase::Idle && m_phase != Phase::Question)
                m_silence.start(timeoutMs);
            advance();
        });
        connect(m_socket.get(), &QSslSocket::connected, this, &Pop3Client::advance);
        connect(m_socket.get(), &QSslSocket::encrypted, this, &Pop3Client::advance);
        connect(m_socket.get(), &QSslSocket::disconnected, this, &Pop3Client::advance);
        connect(m_socket.get(), &QSslSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
            m_seenError = error;
            advance();
        });
    }
    m_socket->abort();
    m_buffer.clear();
    const std::optional<PopAddress> address = ParsePopAddress(server);
    if (!address) {
        fail(Error::BadAddress, QStringLiteral("Not a mail server address: ") + server);
        return;
    }
    m_host = address->host;
    m_implicitTls = address->implicitTls;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket->setSslConfiguration(configuration);
    m_socket->setPeerVerifyName(address->host);
    m_phase = Phase::Connecting;
    m_silence.start(timeoutMs);
    if (address->implicitTls)
        m_socket->connectToHostEncrypted(address->host, address->port);
    else
        m_socket->connectToHost(address->host, address->port);
}

void Pop3Client::fetchHeader(int n)
{
    ++m_call;
    m_header.clear();
    m_message = n;
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
        m_phase = Phase::Idle;
        fail(Error::Connection, QStringLiteral("The server closed the connection"));
        return;
    }
    if (m_topRefused)
        send("RETR " + QByteArray::number(n), true, Phase::Retr);
    else
        send("TOP " + QByteArray::number(n) + " 0", true, Phase::Top);
}

void Pop3Client::endListing()
{
    ++m_call;
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState) {
        send("QUIT", false, Phase::Quit);
        return;
    }
    m_loggedIn = false;
    finish(Outcome::ListingEnded);
}

void Pop3Client::close()
{
    ++m_call;
    m_phase = Phase::Idle;
    m_silence.stop();
    if (!m_socket)
        return;
    if (m_loggedIn && m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->write("QUIT\r\n");
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    m_loggedIn = false;
}
