// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/Pop3Client.h"

#include "mail/MailText.h"

#include <QEventLoop>
#include <QSslConfiguration>
#include <QTimer>

namespace {

// A header bigger than this is cut; a message fetched whole to find its header may be at most this big.
constexpr qsizetype MaxAnswer = 32 * 1024 * 1024;

} // namespace

Pop3Client::Pop3Client() = default;

Pop3Client::~Pop3Client()
{
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

void Pop3Client::fail(const QString &why)
{
    PopStatus = 1;
    PopLastError = why;
}

bool Pop3Client::waitFor(const std::function<bool()> &done)
{
    if (done())
        return true;
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        return false;
    QEventLoop loop;
    QTimer silence;
    silence.setSingleShot(true);
    const auto check = [&] {
        if (done() || m_socket->state() == QAbstractSocket::UnconnectedState)
            loop.quit();
    };
    // Any answer at all restarts the wait: only silence ends it.
    connect(m_socket.get(), &QSslSocket::readyRead, &loop, [&] {
        silence.start(timeoutMs);
        check();
    });
    connect(m_socket.get(), &QSslSocket::connected, &loop, check);
    connect(m_socket.get(), &QSslSocket::encrypted, &loop, check);
    connect(m_socket.get(), &QSslSocket::disconnected, &loop, check);
    connect(m_socket.get(), &QSslSocket::errorOccurred, &loop, check);
    connect(&silence, &QTimer::timeout, &loop, &QEventLoop::quit);
    silence.start(timeoutMs);
    loop.exec();
    if (done())
        return true;
    if (!silence.isActive())
        fail(QStringLiteral("No answer from the server within %1 seconds").arg(timeoutMs / 1000.0));
    else if (m_socket->error() != QAbstractSocket::UnknownSocketError)
        fail(m_socket->errorString());
    else
        fail(QStringLiteral("The server closed the connection"));
    m_socket->abort();
    return false;
}

bool Pop3Client::readStatus()
{
    if (!waitFor([this] { return m_buffer.contains('\n') || m_buffer.size() > MaxAnswer; }))
        return false;
    const qsizetype end = m_buffer.indexOf('\n');
    const std::optional<PopStatusLine> status = ParsePopStatus(QByteArrayView(m_buffer).first(end < 0 ? 0 : end + 1));
    m_buffer.remove(0, end + 1);
    if (!status) {
        fail(QStringLiteral("The server does not speak POP3"));
        m_socket->abort();
        return false;
    }
    m_statusText = status->text;
    if (!status->ok) {
        fail(status->text.isEmpty() ? QStringLiteral("The server refused") : status->text);
        return false;
    }
    return true;
}

bool Pop3Client::readMultiLine()
{
    const auto whole = [this] {
        return m_buffer.startsWith(".\r\n") || m_buffer.startsWith(".\n") || m_buffer.endsWith("\r\n.\r\n") ||
               m_buffer.endsWith("\n.\n") || m_buffer.size() > MaxAnswer;
    };
    if (!waitFor(whole))
        return false;
    const std::optional<QList<QByteArray>> lines = ParseMultiLine(m_buffer);
    m_buffer.clear();
    if (!lines) {
        fail(QStringLiteral("The server's answer is too big"));
        m_socket->abort();
        return false;
    }
    m_lines = *lines;
    return true;
}

bool Pop3Client::command(const QByteArray &line, bool multiLine)
{
    m_lines.clear();
    if (!m_socket) {
        fail(QStringLiteral("Not connected"));
        return false;
    }
    m_socket->write(line + "\r\n");
    if (!readStatus())
        return false;
    return !multiLine || readMultiLine();
}

bool Pop3Client::readCapabilities()
{
    m_capabilities.clear();
    if (!command("CAPA", true)) {
        // CAPA is optional; only a connection lost on the way is a failure.
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            return false;
        PopStatus = 0;
        PopLastError.clear();
        return true;
    }
    for (const QByteArray &line : std::as_const(m_lines))
        m_capabilities.append(QString::fromLatin1(line.simplified().split(' ').value(0)).toUpper());
    return true;
}

bool Pop3Client::startTls()
{
    // Nothing said before the handshake may pass for an answer said under TLS.
    m_buffer.clear();
    m_socket->startClientEncryption();
    return waitFor([this] { return m_socket->isEncrypted(); });
}

bool Pop3Client::connectTo()
{
    const std::optional<PopAddress> address = ParsePopAddress(PopServer);
    if (!address) {
        fail(QStringLiteral("Not a mail server address: ") + PopServer);
        return false;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket->setSslConfiguration(configuration);
    m_socket->setPeerVerifyName(address->host);
    m_buffer.clear();
    if (address->implicitTls) {
        m_socket->connectToHostEncrypted(address->host, address->port);
        if (!waitFor([this] { return m_socket->isEncrypted(); }))
            return false;
    } else {
        m_socket->connectToHost(address->host, address->port);
        if (!waitFor([this] { return m_socket->state() == QAbstractSocket::ConnectedState; }))
            return false;
    }
    if (!readStatus())
        return false;
    if (address->implicitTls)
        return true;

    // A plain port: TLS whenever the server has it, the password in clear only where it has not.
    if (!readCapabilities())
        return false;
    const bool offered = m_capabilities.contains(QStringLiteral("STLS"));
    if (offered || m_capabilities.isEmpty()) {
        if (command("STLS", false)) {
            if (!startTls() || !readCapabilities())
                return false;
        } else if (offered || m_socket->state() != QAbstractSocket::ConnectedState) {
            return false;
        } else {
            // A server without CAPA that refuses STLS has no TLS to offer.
            PopStatus = 0;
            PopLastError.clear();
        }
    }
    return true;
}

bool Pop3Client::passwordMayGo()
{
    if (m_socket->isEncrypted()) {
        PopEncryption = QStringLiteral("TLS");
        return true;
    }
    if (trustLoopback && m_socket->peerAddress().isLoopback())
        return true;
    // A server that had TLS and now has none: someone on the way may have taken the offer out.
    if (PopEncryption == u"TLS") {
        fail(QStringLiteral("The server offered encryption before and now does not: the password was not sent"));
        return false;
    }
    if (PopEncryption.isEmpty() && askClearText) {
        const std::optional<PopAddress> address = ParsePopAddress(PopServer);
        PopEncryption =
            askClearText(address ? address->host : PopServer) ? QStringLiteral("Clear") : QStringLiteral("NoClear");
    }
    if (PopEncryption == u"Clear")
        return true;
    fail(QStringLiteral("The server offers no encryption, and the password is not sent unencrypted"));
    return false;
}

void Pop3Client::PopOpen()
{
    PopStatus = 0;
    PopLastError.clear();
    PopMessageCount = 0;
    PopUniqueIds.clear();
    m_topRefused = false;
    m_loggedIn = false;
    if (!m_socket) {
        m_socket = std::make_unique<QSslSocket>();
        connect(m_socket.get(), &QSslSocket::readyRead, this, [this] { m_buffer += m_socket->readAll(); });
    }
    m_socket->abort();
    if (!connectTo() || !passwordMayGo())
        return;
    if (!command("USER " + PopUserName.toUtf8(), false) || !command("PASS " + PopPassword.toUtf8(), false))
        return;
    m_loggedIn = true;
    if (!command("STAT", false))
        return;
    const std::optional<int> count = ParseStatCount(m_statusText);
    if (!count) {
        fail(QStringLiteral("The server did not say how many messages there are"));
        return;
    }
    PopMessageCount = *count;
    if (m_capabilities.isEmpty() || m_capabilities.contains(QStringLiteral("UIDL"))) {
        if (command("UIDL", true))
            PopUniqueIds = ParseUidl(m_lines, PopMessageCount).value_or(QStringList());
        // No unique ids is no failure: the count alone tells what is new.
        PopStatus = 0;
        PopLastError.clear();
    }
}

void Pop3Client::PopFetchHeader(int n)
{
    PopStatus = 0;
    PopLastError.clear();
    m_header.clear();
    const QByteArray number = QByteArray::number(n);
    if (!m_topRefused) {
        if (command("TOP " + number + " 0", true)) {
            m_header = m_lines.join("\r\n");
            return;
        }
        // TOP is optional; where the server does not list it, a refusal means it has none.
        if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState ||
            m_capabilities.contains(QStringLiteral("TOP")))
            return;
        m_topRefused = true;
        PopStatus = 0;
    }
    if (!command("RETR " + number, true))
        return;
    QList<QByteArray> header;
    for (const QByteArray &line : std::as_const(m_lines)) {
        if (line.isEmpty())
            break;
        header.append(line);
    }
    m_header = header.join("\r\n");
}

void Pop3Client::PopParseHeader()
{
    PopFrom = HeaderField(m_header, "From");
    PopSubject = HeaderField(m_header, "Subject");
}

void Pop3Client::PopEndListing()
{
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
        command("QUIT", false);
    m_loggedIn = false;
}

void Pop3Client::PopClose()
{
    if (!m_socket)
        return;
    if (m_loggedIn && m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->write("QUIT\r\n");
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    m_loggedIn = false;
}
