// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "netnotes/NoteMessage.h"

#include <QAbstractSocket>
#include <QList>
#include <QObject>
#include <functional>

class QTcpSocket;
class QTimer;

// The note sender (tcpClient): connects to the recipient, builds the message once connected, writes it, and says
// "Note sent" once every byte is on the connection. The connection then stays open until the next send. Each note
// goes on a connection of its own, so a second send, or anything that closes the sender, never cuts one short.
class NoteSender : public QObject {
    Q_OBJECT
public:
    explicit NoteSender(QObject *parent = nullptr);
    ~NoteSender() override;

    // Builds the message at the moment the connection is made.
    using Builder = std::function<NoteMessage()>;
    void send(const QString &host, const Builder &build);
    // Closes the connections of notes already delivered; notes still on their way go on.
    void Close();
    bool isClosed() const { return m_sends.isEmpty(); }
    // Notes connected to or being written now.
    int sending() const;

    quint16 remotePort = 1001;
    int connectTimeoutMs = 30'000;

    // The box text for a failure: the set words for refusal and unknown hosts, else "number - description".
    static QString errorText(QAbstractSocket::SocketError error, const QString &description);

Q_SIGNALS:
    // After the box: true when the note was delivered to the connection.
    void finished(bool sent);

private:
    struct Send;
    void tcpClient_Connect(Send *send);
    void bytesWritten(Send *send, qint64 bytes);
    void tcpClient_Error(Send *send, QAbstractSocket::SocketError error, const QString &description);
    void drop(Send *send);

    QList<Send *> m_sends;
    QList<Send *> m_dropped;
};
