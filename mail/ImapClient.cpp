// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/ImapClient.h"

#include "mail/MailText.h"

#include <QMetaMethod>
#include <QSslConfiguration>

ImapClient::ImapClient()
{
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        if (!waitsForServer())
            return;
        fail(Error::Connection, QStringLiteral("No answer from the server within %1 seconds").arg(timeoutMs / 1000.0),
             QAbstractSocket::SocketTimeoutError);
    });
}

ImapClient::~ImapClient()
{
    m_phase = Phase::Idle;
    if (m_socket)
        m_socket->abort();
}

bool ImapClient::waitsForServer() const
{
    return m_phase != Phase::Idle && m_phase != Phase::Question && m_phase != Phase::Idling;
}

bool ImapClient::connected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

void ImapClient::finish(Outcome outcome)
{
    m_phase = Phase::Idle;
    m_pending.clear();
    m_silence.stop();
    tell(outcome);
}

void ImapClient::tell(Outcome outcome)
{
    if (outcome == Outcome::MailboxChanged) {
        if (m_changeTold)
            return;
        m_changeTold = true;
    }
    // Never inside the call that started it: a listener may start the next call from its slot.
    QTimer::singleShot(0, this, [this, outcome, call = m_call] {
        if (outcome == Outcome::MailboxChanged)
            m_changeTold = false;
        if (call != m_call)
            return;
        switch (outcome) {
        case Outcome::Opened:
            Q_EMIT opened();
            break;
        case Outcome::Examined:
            Q_EMIT examined();
            break;
        case Outcome::UidsListed:
            Q_EMIT uidsListed();
            break;
        case Outcome::HeadersFetched:
            Q_EMIT headersFetched();
            break;
        case Outcome::Idling:
            Q_EMIT idling();
            break;
        case Outcome::IdleEnded:
            Q_EMIT idleEnded();
            break;
        case Outcome::MailboxChanged:
            Q_EMIT mailboxChanged();
            break;
        case Outcome::LoggedOut:
            Q_EMIT loggedOut();
            break;
        case Outcome::Failed:
            Q_EMIT failed();
            break;
        case Outcome::FoldersListed:
            Q_EMIT foldersListed();
            break;
        }
    });
}

void ImapClient::fail(Error error, const QString &why, QAbstractSocket::SocketError socketError)
{
    const Phase phase = m_phase;
    // Idle before the abort, whose signals then find nothing waiting.
    m_phase = Phase::Idle;
    // After a broken answer or a silence nothing more on this connection can be trusted to fit.
    if ((error == Error::Connection || error == Error::NotImap) && m_socket) {
        m_socket->abort();
        m_loggedIn = false;
    }
    if (phase == Phase::Logout) {
        m_loggedIn = false;
        finish(Outcome::LoggedOut);
        return;
    }
    m_error = error;
    m_socketError = socketError;
    m_errorString = why;
    finish(Outcome::Failed);
}

void ImapClient::refuse(const ImapResponse &response)
{
    fail(Error::Refused, response.text.isEmpty() ? QStringLiteral("The server refused") : response.text);
}

void ImapClient::connectionLost()
{
    if (!m_bye.isEmpty())
        fail(Error::Connection, m_bye);
    else if (m_seenError != QAbstractSocket::UnknownSocketError &&
             m_seenError != QAbstractSocket::RemoteHostClosedError)
        fail(Error::Connection, m_socket->errorString(), m_seenError);
    else
        fail(Error::Connection, QStringLiteral("The server closed the connection"), m_seenError);
}

void ImapClient::command(const QByteArray &verb, const QList<QByteArray> &arguments, Phase next)
{
    m_tag = 'a' + QByteArray::number(++m_tagNumber);
    // With LITERAL+ a literal goes at once; otherwise each waits for the server's go-ahead.
    const bool nonSynchronising = m_capabilities.contains("LITERAL+");
    QList<QByteArray> chunks{m_tag + ' ' + verb};
    for (const QByteArray &argument : arguments) {
        if (const std::optional<QByteArray> quoted = ImapQuoted(argument)) {
            chunks.last() += ' ' + *quoted;
            continue;
        }
        chunks.last() += " {" + QByteArray::number(argument.size()) + (nonSynchronising ? "+}\r\n" : "}\r\n");
        if (nonSynchronising)
            chunks.last() += argument;
        else
            chunks.append(argument);
    }
    chunks.last() += "\r\n";
    m_pending = chunks.mid(1);
    m_phase = next;
    m_socket->write(chunks.first());
    m_silence.start(timeoutMs);
}

void ImapClient::readResponses()
{
    while (m_phase != Phase::Connecting && m_phase != Phase::Handshake) {
        const std::optional<ImapResponse> response = m_reader.next();
        if (!response)
            break;
        if (const QList<QByteArray> capabilities = response->capabilities(); !capabilities.isEmpty())
            m_capabilities = capabilities;
        if (response->kind == ImapResponse::Kind::Continuation) {
            if (m_phase == Phase::IdleStart && m_pending.isEmpty()) {
                // From now on the server speaks only when something changes, which may be never.
                m_phase = Phase::Idling;
                m_silence.stop();
                tell(Outcome::Idling);
            } else if (!m_pending.isEmpty()) {
                // A literal's bytes, or the DONE asked for before the server agreed to IDLE.
                if (m_phase == Phase::IdleStart)
                    m_phase = Phase::IdleDone;
                m_socket->write(m_pending.takeFirst());
            }
        } else if (response->kind == ImapResponse::Kind::Untagged) {
            untagged(*response);
        } else {
            tagged(*response);
        }
    }
    if (!m_reader.failed())
        return;
    if (m_phase != Phase::Idle) {
        fail(Error::NotImap, m_reader.errorString());
    } else {
        // Between calls: the next call then fails at once, not after a silence.
        m_loggedIn = false;
        m_socket->abort();
    }
}

void ImapClient::untagged(const ImapResponse &response)
{
    if (m_phase == Phase::Greeting) {
        greeted(response);
        return;
    }
    if (response.name == "BYE") {
        m_bye = response.text.isEmpty() ? QStringLiteral("The server said goodbye") : response.text;
    } else if (response.code == "UIDVALIDITY") {
        m_uidValidity = response.codeNumber();
    } else if (response.name == "EXISTS" && response.number) {
        m_exists = *response.number;
        if (m_phase == Phase::IdleStart || m_phase == Phase::Idling || m_phase == Phase::IdleDone)
            tell(Outcome::MailboxChanged);
    } else if ((response.name == "RECENT" || response.name == "EXPUNGE") &&
               (m_phase == Phase::IdleStart || m_phase == Phase::Idling || m_phase == Phase::IdleDone)) {
        tell(Outcome::MailboxChanged);
    } else if (response.name == "SEARCH" && m_phase == Phase::Search) {
        for (const ImapValue &value : response.values)
            if (value.isNumber())
                m_uids.append(value.number());
    } else if (response.name == "FETCH" && m_phase == Phase::Fetch) {
        const ImapValue *uid = response.fetchItem("UID");
        const ImapValue *header = response.fetchItem("BODY[");
        if (uid && uid->isNumber() && header)
            m_headers.insert(uid->number(), header->text);
    } else if (response.name == "LIST" && m_phase == Phase::List && response.values.size() >= 3) {
        // (attributes) delimiter name: a folder that only holds others cannot be opened.
        const ImapValue &attributes = response.values[0];
        const ImapValue &name = response.values[2];
        const bool selectable =
            std::none_of(attributes.items.cbegin(), attributes.items.cend(), [](const ImapValue &a) {
                return a.text.compare("\\Noselect", Qt::CaseInsensitive) == 0 ||
                       a.text.compare("\\NonExistent", Qt::CaseInsensitive) == 0;
            });
        if (selectable && name.kind != ImapValue::Kind::List && name.kind != ImapValue::Kind::Nil &&
            !name.text.isEmpty() && !m_folders.contains(name.text))
            m_folders.append(name.text);
    }
}

void ImapClient::tagged(const ImapResponse &response)
{
    if (response.tag != m_tag)
        return;
    const bool ok = response.name == "OK";
    switch (m_phase) {
    case Phase::Capability:
        // Without an answer to CAPABILITY the server offers nothing, TLS included.
        if (!ok)
            m_capabilities.clear();
        capabilitiesKnown();
        return;
    case Phase::StartTls:
        if (!ok) {
            refuse(response);
            return;
        }
        // Nothing said before the handshake may pass for an answer said under TLS, nor may what it offered.
        m_reader.clear();
        m_capabilities.clear();
        m_phase = Phase::Handshake;
        m_socket->startClientEncryption();
        m_silence.start(timeoutMs);
        return;
    case Phase::CapabilityTls:
        secured();
        return;
    case Phase::Login:
        if (!ok) {
            refuse(response);
            return;
        }
        m_loggedIn = true;
        finish(Outcome::Opened);
        return;
    case Phase::List:
        if (!ok)
            refuse(response);
        else
            finish(Outcome::FoldersListed);
        return;
    case Phase::Examine:
    case Phase::Search:
    case Phase::Fetch:
        if (!ok)
            refuse(response);
        else
            finish(m_phase == Phase::Examine  ? Outcome::Examined
                   : m_phase == Phase::Search ? Outcome::UidsListed
                                              : Outcome::HeadersFetched);
        return;
    case Phase::IdleStart:
    case Phase::Idling:
    case Phase::IdleDone:
        if (!ok)
            refuse(response);
        else
            finish(Outcome::IdleEnded);
        return;
    case Phase::Logout:
        m_loggedIn = false;
        finish(Outcome::LoggedOut);
        return;
    case Phase::Idle:
    case Phase::Connecting:
    case Phase::Greeting:
    case Phase::Handshake:
    case Phase::Question:
        return;
    }
}

void ImapClient::greeted(const ImapResponse &response)
{
    if (response.name == "PREAUTH") {
        // Logged in already: no password goes anywhere.
        m_loggedIn = true;
        finish(Outcome::Opened);
    } else if (response.name != "OK") {
        if (response.name == "BYE")
            refuse(response);
        else
            fail(Error::NotImap, QStringLiteral("The server does not speak IMAP"));
    } else if (!response.capabilities().isEmpty()) {
        capabilitiesKnown();
    } else {
        command("CAPABILITY", {}, Phase::Capability);
    }
}

void ImapClient::capabilitiesKnown()
{
    // A plain port takes TLS whenever the server has it.
    if (!m_socket->isEncrypted() && m_capabilities.contains("STARTTLS"))
        command("STARTTLS", {}, Phase::StartTls);
    else
        secured();
}

void ImapClient::secured()
{
    if (m_socket->isEncrypted()) {
        m_encryption = QStringLiteral("TLS");
        clearTextDecided();
        return;
    }
    if (m_capabilities.contains("LOGINDISABLED")) {
        fail(Error::LoginDisabled,
             QStringLiteral("The server takes no password without encryption, and offers no encryption"));
        return;
    }
    if (trustLoopback && m_socket->peerAddress().isLoopback()) {
        command("LOGIN", {m_userName.toUtf8(), m_password.toUtf8()}, Phase::Login);
        return;
    }
    // A server that had TLS and now has none: someone on the way may have taken the offer out.
    if (m_encryption == u"TLS") {
        fail(Error::TlsLost,
             QStringLiteral("The server offered encryption before and now does not: the password was not sent"));
        return;
    }
    if (m_encryption.isEmpty() && isSignalConnected(QMetaMethod::fromSignal(&ImapClient::clearTextQuestion))) {
        // The user takes the time they need; the server's silence meanwhile is no failure.
        m_phase = Phase::Question;
        m_silence.stop();
        Q_EMIT clearTextQuestion(m_host);
        return;
    }
    clearTextDecided();
}

void ImapClient::answerClearText(bool send)
{
    if (m_phase != Phase::Question)
        return;
    m_encryption = send ? QStringLiteral("Clear") : QStringLiteral("NoClear");
    clearTextDecided();
}

void ImapClient::clearTextDecided()
{
    if (m_encryption == u"TLS" || m_encryption == u"Clear")
        command("LOGIN", {m_userName.toUtf8(), m_password.toUtf8()}, Phase::Login);
    else
        fail(Error::NoClearText,
             QStringLiteral("The server offers no encryption, and the password is not sent unencrypted"));
}

void ImapClient::connectSocket()
{
    m_socket = std::make_unique<QSslSocket>();
    connect(m_socket.get(), &QSslSocket::readyRead, this, [this] {
        m_reader.append(m_socket->readAll());
        // Any answer at all restarts the wait: only silence ends it.
        if (waitsForServer())
            m_silence.start(timeoutMs);
        readResponses();
    });
    const auto changed = [this] {
        if (m_phase == Phase::Connecting &&
            (m_implicitTls ? m_socket->isEncrypted() : m_socket->state() == QAbstractSocket::ConnectedState)) {
            m_phase = Phase::Greeting;
            readResponses();
        } else if (m_phase == Phase::Handshake && m_socket->isEncrypted()) {
            command("CAPABILITY", {}, Phase::CapabilityTls);
        }
        if (m_phase != Phase::Idle && m_phase != Phase::Question &&
            m_socket->state() == QAbstractSocket::UnconnectedState)
            connectionLost();
    };
    connect(m_socket.get(), &QSslSocket::connected, this, changed);
    connect(m_socket.get(), &QSslSocket::encrypted, this, changed);
    connect(m_socket.get(), &QSslSocket::disconnected, this, changed);
    connect(m_socket.get(), &QSslSocket::errorOccurred, this, [this, changed](QAbstractSocket::SocketError error) {
        m_seenError = error;
        changed();
    });
}

void ImapClient::open(const QString &server, const QString &userName, const QString &password,
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
    m_capabilities.clear();
    m_bye.clear();
    m_loggedIn = false;
    m_uidValidity.reset();
    m_exists = 0;
    if (!m_socket)
        connectSocket();
    m_socket->abort();
    m_reader.clear();
    const std::optional<MailAddress> address = ParseMailAddress(server);
    if (!address || address->protocol != MailProtocol::Imap) {
        fail(Error::BadAddress, QStringLiteral("Not an IMAP server address: ") + server);
        return;
    }
    m_host = address->host;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket->setSslConfiguration(configuration);
    m_socket->setPeerVerifyName(address->host);
    m_implicitTls = address->implicitTls;
    m_phase = Phase::Connecting;
    m_silence.start(timeoutMs);
    if (address->implicitTls)
        m_socket->connectToHostEncrypted(address->host, address->port);
    else
        m_socket->connectToHost(address->host, address->port);
}

void ImapClient::examine(const QString &folder)
{
    ++m_call;
    m_uidValidity.reset();
    m_exists = 0;
    if (!connected() || !m_loggedIn) {
        fail(Error::Connection, QStringLiteral("The server closed the connection"));
        return;
    }
    command("EXAMINE", {folder.toUtf8()}, Phase::Examine);
}

void ImapClient::listUids()
{
    ++m_call;
    m_uids.clear();
    if (!connected() || !m_loggedIn) {
        fail(Error::Connection, QStringLiteral("The server closed the connection"));
        return;
    }
    command("UID SEARCH ALL", {}, Phase::Search);
}

void ImapClient::fetchHeaders(const QList<quint32> &uids)
{
    ++m_call;
    m_headers.clear();
    if (!connected() || !m_loggedIn) {
        fail(Error::Connection, QStringLiteral("The server closed the connection"));
        return;
    }
    if (uids.isEmpty()) {
        finish(Outcome::HeadersFetched);
        return;
    }
    // PEEK: reading a header never marks the message read.
    command("UID FETCH " + ImapUidSet(uids) + " (UID BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE)])", {}, Phase::Fetch);
}

void ImapClient::idle()
{
    ++m_call;
    if (!connected() || !m_loggedIn) {
        fail(Error::Connection, QStringLiteral("The server closed the connection"));
        return;
    }
    command("IDLE", {}, Phase::IdleStart);
}

void ImapClient::endIdle()
{
    // DONE may only follow the server's go-ahead: before it, it waits for it.
    if (m_phase == Phase::IdleStart) {
        m_pending = {"DONE\r\n"};
        return;
    }
    if (m_phase != Phase::Idling)
        return;
    m_phase = Phase::IdleDone;
    m_socket->write("DONE\r\n");
    m_silence.start(timeoutMs);
}

void ImapClient::listFolders()
{
    ++m_call;
    m_folders.clear();
    if (!connected() || !m_loggedIn) {
        fail(Error::Connection, QStringLiteral("The server closed the connection"));
        return;
    }
    command("LIST", {QByteArray(), QByteArrayLiteral("*")}, Phase::List);
}

void ImapClient::logout()
{
    ++m_call;
    if (connected()) {
        command("LOGOUT", {}, Phase::Logout);
        return;
    }
    m_loggedIn = false;
    finish(Outcome::LoggedOut);
}

void ImapClient::close()
{
    ++m_call;
    const bool idling = m_phase == Phase::Idling;
    m_phase = Phase::Idle;
    m_pending.clear();
    m_silence.stop();
    if (!m_socket)
        return;
    if (m_loggedIn && connected())
        m_socket->write((idling ? "DONE\r\n" : "") + ('a' + QByteArray::number(++m_tagNumber)) + " LOGOUT\r\n");
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    m_loggedIn = false;
}
