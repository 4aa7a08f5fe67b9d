// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netnotes/NoteMessage.h"
#include "platform/ErrorCodes.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// The note listener (tcpServer). Every accepted connection is served on its own socket and gathers its bytes until
// a whole message has arrived; then the note is handed on and the connection closed. A peer that sends too much,
// stays silent too long or sends too many notes is dropped and logged; nothing else notices.
class NoteReceiver : public QObject {
    Q_OBJECT
public:
    explicit NoteReceiver(QObject *parent = nullptr);
    ~NoteReceiver() override;

    // Starts listening on every address; false when the port cannot be had (see listenError()).
    bool listen(quint16 port);
    void close();
    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    QAbstractSocket::SocketError listenError() const { return m_server.serverError(); }
    QString listenErrorString() const { return m_server.errorString(); }
    int connectionCount() const { return int(m_connections.size()); }

    static constexpr qsizetype MaxMessageBytes = 1024 * 1024;
    // How long a connection may take to deliver its message.
    int silenceLimitMs = 30'000;
    // Notes accepted from one address within a minute; more are refused.
    int floodLimit = 20;
    // Connections served at once; more are closed at once.
    int maxConnections = 100;

Q_SIGNALS:
    void noteReceived(const NoteMessage &message, const QString &peer);

private:
    struct Connection;
    void tcpServer_ConnectionRequest();
    void tcpServer_DataArrival(Connection *connection);
    void finish(Connection *connection, bool peerClosed);
    void drop(Connection *connection, const QString &tag, platform::ErrorKind kind, const QString &why);
    void deliver(const QByteArray &bytes, const QString &peer);
    bool admit(const QString &peer);

    QTcpServer m_server;
    QList<Connection *> m_connections;
    QHash<QString, QList<QDateTime>> m_recent;
    QHash<QString, bool> m_floodLogged;
    bool m_tooManyLogged = false;
};
