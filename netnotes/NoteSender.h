#pragma once

#include "netnotes/NoteMessage.h"

#include <QTcpSocket>
#include <QTimer>
#include <functional>

// The note sender (tcpClient): connects to the recipient, builds the message once connected, writes it, and says
// "Note sent" once every byte is on the connection. The connection then stays open until the next send.
class NoteSender : public QObject {
    Q_OBJECT
public:
    explicit NoteSender(QObject *parent = nullptr);

    // Builds the message at the moment the connection is made.
    using Builder = std::function<NoteMessage()>;
    void send(const QString &host, const Builder &build);
    // Closes the connection, if any.
    void Close();
    bool isClosed() const { return tcpClient.state() == QAbstractSocket::UnconnectedState; }

    quint16 remotePort = 1001;
    int connectTimeoutMs = 30'000;

    // The box text for a failure: the set words for refusal and unknown hosts, else "number - description".
    static QString errorText(QAbstractSocket::SocketError error, const QString &description);

Q_SIGNALS:
    // After the box: true when the note was delivered to the connection.
    void finished(bool sent);

private:
    void tcpClient_Connect();
    void tcpClient_DataArrival();
    void tcpClient_Error(QAbstractSocket::SocketError error, const QString &description);
    void bytesWritten(qint64 bytes);

    QTcpSocket tcpClient;
    QTimer m_connectTimer;
    Builder m_build;
    qint64 m_unwritten = 0;
    bool m_sending = false;
};
