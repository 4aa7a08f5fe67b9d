// SPDX-License-Identifier: GPL-3.0-or-later
#include "netnotes/NoteReceiver.h"

#include "core/ErrorLog.h"
#include "platform/Clock.h"

#include <QTcpSocket>
#include <QTimer>

using platform::ErrorKind;

namespace {
const QString TagRequest = QStringLiteral("err_tb_tcpServer_ConnectionRequest ");
const QString TagData = QStringLiteral("err_tb_tcpServer_DataArrival ");
} // namespace

// One accepted peer: its socket, what it has sent so far, and its deadline. Deleted later, never inside one of its
// own signals.
struct NoteReceiver::Connection : QObject {
    Connection(QTcpSocket *socket, const QString &peer) : socket(socket), peer(peer), deadline(this)
    {
        socket->setParent(this);
    }
    QTcpSocket *socket;
    QString peer;
    QByteArray buffer;
    QTimer deadline;
    bool done = false;
};

NoteReceiver::NoteReceiver(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &NoteReceiver::tcpServer_ConnectionRequest);
}

NoteReceiver::~NoteReceiver()
{
    qDeleteAll(m_connections);
}

bool NoteReceiver::listen(quint16 port)
{
    if (m_server.isListening())
        return true;
    return m_server.listen(QHostAddress::Any, port);
}

void NoteReceiver::close()
{
    // Connections already accepted still deliver their notes.
    m_server.close();
}

void NoteReceiver::tcpServer_ConnectionRequest()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        // A dual-stack listener sees IPv4 peers as ::ffff:a.b.c.d; they are logged and counted as a.b.c.d.
        QHostAddress address = socket->peerAddress();
        bool isIPv4 = false;
        if (const quint32 ipv4 = address.toIPv4Address(&isIPv4); isIPv4)
            address = QHostAddress(ipv4);
        const QString peer = address.toString();
        if (m_connections.size() >= maxConnections) {
            if (!m_tooManyLogged)
                logError(TagRequest, ErrorKind::SocketAccess,
                         QStringLiteral("EXTRA: more than %1 connections at once, the newest from %2")
                             .arg(maxConnections)
                             .arg(peer));
            m_tooManyLogged = true;
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_tooManyLogged = false;
        auto *connection = new Connection(socket, peer);
        m_connections.append(connection);
        // Read as it comes, so that the socket holds little and the size limit is checked on every piece.
        socket->setReadBufferSize(64 * 1024);
        connection->deadline.setSingleShot(true);
        connection->deadline.start(silenceLimitMs);
        connect(&connection->deadline, &QTimer::timeout, this, [this, connection] {
            drop(connection, TagData, ErrorKind::TimedOut,
                 QStringLiteral("EXTRA: no whole note within %1 s from %2")
                     .arg(silenceLimitMs / 1000.0)
                     .arg(connection->peer));
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, connection] { tcpServer_DataArrival(connection); });
        connect(socket, &QTcpSocket::disconnected, this, [this, connection] { finish(connection, true); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, connection](QAbstractSocket::SocketError error) {
            if (error != QAbstractSocket::RemoteHostClosedError)
                finish(connection, true);
        });
        if (socket->bytesAvailable() > 0)
            tcpServer_DataArrival(connection);
    }
}

void NoteReceiver::tcpServer_DataArrival(Connection *connection)
{
    if (connection->done)
        return;
    connection->buffer += connection->socket->readAll();
    if (connection->buffer.size() > MaxMessageBytes) {
        drop(connection, TagData, ErrorKind::Overflow,
             QStringLiteral("EXTRA: a note over 1 MiB from %1").arg(connection->peer));
        return;
    }
    if (isCompleteNoteMessage(connection->buffer))
        finish(connection, false);
}

void NoteReceiver::finish(Connection *connection, bool peerClosed)
{
    if (connection->done)
        return;
    // Whatever is still waiting in the socket belongs to the message.
    if (peerClosed && connection->socket->bytesAvailable() > 0) {
        connection->buffer += connection->socket->readAll();
        if (connection->buffer.size() > MaxMessageBytes) {
            drop(connection, TagData, ErrorKind::Overflow,
                 QStringLiteral("EXTRA: a note over 1 MiB from %1").arg(connection->peer));
            return;
        }
    }
    connection->done = true;
    const QByteArray bytes = std::move(connection->buffer);
    const QString peer = connection->peer;
    m_connections.removeOne(connection);
    connection->socket->disconnect(this);
    connection->deadline.stop();
    connection->socket->disconnectFromHost();
    connection->deleteLater();
    if (!bytes.isEmpty())
        deliver(bytes, peer);
}

void NoteReceiver::drop(Connection *connection, const QString &tag, ErrorKind kind, const QString &why)
{
    if (connection->done)
        return;
    connection->done = true;
    logError(tag, kind, why);
    m_connections.removeOne(connection);
    connection->socket->disconnect(this);
    connection->deadline.stop();
    connection->socket->abort();
    connection->deleteLater();
}

void NoteReceiver::deliver(const QByteArray &bytes, const QString &peer)
{
    const std::optional<NoteMessage> message = decodeNoteMessage(bytes);
    if (!message) {
        logError(TagData, ErrorKind::InputPastEnd,
                 QStringLiteral("EXTRA: %1 bytes that make no note from %2").arg(bytes.size()).arg(peer));
        return;
    }
    if (message->alarmFieldInvalid)
        logError(TagData, ErrorKind::TypeMismatch, QStringLiteral("EXTRA: alarm field from %1").arg(peer));
    if (!admit(peer))
        return;
    Q_EMIT noteReceived(*message, peer);
}

bool NoteReceiver::admit(const QString &peer)
{
    const QDateTime now = platform::Clock::now();
    const auto stale = [&now](const QDateTime &at) { return at.secsTo(now) >= 60 || at > now; };
    // Peers that sent nothing for a minute are forgotten, so that many peers cannot grow the table for ever.
    if (m_recent.size() > 1000) {
        for (auto it = m_recent.begin(); it != m_recent.end();) {
            it->removeIf(stale);
            it = it->isEmpty() ? m_recent.erase(it) : std::next(it);
        }
    }
    QList<QDateTime> &recent = m_recent[peer];
    recent.removeIf(stale);
    if (recent.size() >= floodLimit) {
        // One line per flood, not one per refused note.
        if (!m_floodLogged.value(peer))
            logError(
                TagData, ErrorKind::SocketAccess,
                QStringLiteral("EXTRA: more than %1 notes in a minute from %2, refused").arg(floodLimit).arg(peer));
        m_floodLogged[peer] = true;
        return false;
    }
    m_floodLogged.remove(peer);
    recent.append(now);
    return true;
}
