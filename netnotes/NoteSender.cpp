// SPDX-License-Identifier: GPL-3.0-or-later
#include "netnotes/NoteSender.h"

#include "platform/MessageBox.h"
#include "platform/SocketErrors.h"

#include <QTcpSocket>
#include <QTimer>

namespace {
const QString TitleFailed = QStringLiteral("Could not send the note");
} // namespace

struct NoteSender::Send {
    QTcpSocket socket;
    QTimer connectTimer;
    Builder build;
    qint64 unwritten = 0;
    bool sending = true;
};

NoteSender::NoteSender(QObject *parent) : QObject(parent) {}

NoteSender::~NoteSender()
{
    for (Send *send : m_sends + m_dropped) {
        send->socket.disconnect();
        send->socket.abort();
        delete send;
    }
}

int NoteSender::sending() const
{
    return int(std::count_if(m_sends.begin(), m_sends.end(), [](const Send *send) { return send->sending; }));
}

void NoteSender::send(const QString &host, const Builder &build)
{
    Close();
    auto *send = new Send;
    send->build = build;
    m_sends.append(send);
    send->connectTimer.setSingleShot(true);
    connect(&send->connectTimer, &QTimer::timeout, this, [this, send] {
        tcpClient_Error(send, QAbstractSocket::SocketTimeoutError, QStringLiteral("Connection timed out"));
    });
    connect(&send->socket, &QTcpSocket::connected, this, [this, send] { tcpClient_Connect(send); });
    // Whatever the recipient says back is not for us.
    connect(&send->socket, &QTcpSocket::readyRead, this, [send] { send->socket.readAll(); });
    connect(&send->socket, &QTcpSocket::bytesWritten, this, [this, send](qint64 bytes) { bytesWritten(send, bytes); });
    connect(&send->socket, &QTcpSocket::errorOccurred, this, [this, send](QAbstractSocket::SocketError error) {
        tcpClient_Error(send, error, send->socket.errorString());
    });
    send->connectTimer.start(connectTimeoutMs);
    send->socket.connectToHost(host, remotePort);
}

void NoteSender::Close()
{
    const QList<Send *> sends = m_sends;
    for (Send *send : sends) {
        if (!send->sending)
            drop(send);
    }
}

void NoteSender::drop(Send *send)
{
    if (!m_sends.removeOne(send))
        return;
    send->connectTimer.stop();
    send->socket.disconnect(this);
    send->socket.abort();
    // Later: this may run inside one of the socket's own signals.
    m_dropped.append(send);
    QTimer::singleShot(0, this, [this, send] {
        if (m_dropped.removeOne(send))
            delete send;
    });
}

void NoteSender::tcpClient_Connect(Send *send)
{
    send->connectTimer.stop();
    const QByteArray bytes = encodeNoteMessage(send->build());
    send->unwritten = bytes.size();
    send->socket.write(bytes);
}

void NoteSender::bytesWritten(Send *send, qint64 bytes)
{
    if (!send->sending)
        return;
    send->unwritten -= bytes;
    if (send->unwritten > 0)
        return;
    // Delivered: whatever the connection does from here on (the receiver closes it) is no failure.
    send->sending = false;
    platform::showMessage(QStringLiteral("Your note was sent correctly !"), QStringLiteral("Note sent"),
                          platform::MsgIcon::Information);
    Q_EMIT finished(true);
}

void NoteSender::tcpClient_Error(Send *send, QAbstractSocket::SocketError error, const QString &description)
{
    if (!send->sending) {
        drop(send);
        return;
    }
    send->sending = false;
    drop(send);
    platform::showMessage(errorText(error, description), TitleFailed, platform::MsgIcon::Information);
    Q_EMIT finished(false);
}

QString NoteSender::errorText(QAbstractSocket::SocketError error, const QString &description)
{
    switch (platform::socketErrorNumber(error)) {
    case 10061:
        return QStringLiteral(
            "Either the user has not Tarnibe running on his computer or he does not want to receive any notes !");
    case 11001:
    case 11002:
        return QStringLiteral("I can not find the users computer on the network. (Have you typed it EXACTLY as it "
                              "appears on the network) ?");
    default:
        return QString::number(platform::socketErrorNumber(error)) + QStringLiteral(" - ") + description;
    }
}
