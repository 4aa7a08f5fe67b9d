#include "netnotes/NoteSender.h"

#include "platform/MessageBox.h"
#include "platform/SocketErrors.h"

namespace {
const QString TitleFailed = QStringLiteral("Could not send the note");
} // namespace

NoteSender::NoteSender(QObject *parent) : QObject(parent)
{
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this,
            [this] { tcpClient_Error(QAbstractSocket::SocketTimeoutError, QStringLiteral("Connection timed out")); });
    connect(&tcpClient, &QTcpSocket::connected, this, &NoteSender::tcpClient_Connect);
    connect(&tcpClient, &QTcpSocket::readyRead, this, &NoteSender::tcpClient_DataArrival);
    connect(&tcpClient, &QTcpSocket::bytesWritten, this, &NoteSender::bytesWritten);
    connect(&tcpClient, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) { tcpClient_Error(error, tcpClient.errorString()); });
}

void NoteSender::send(const QString &host, const Builder &build)
{
    if (!isClosed())
        Close();
    m_build = build;
    m_unwritten = 0;
    m_sending = true;
    m_connectTimer.start(connectTimeoutMs);
    tcpClient.connectToHost(host, remotePort);
}

void NoteSender::Close()
{
    m_connectTimer.stop();
    m_sending = false;
    tcpClient.abort();
}

void NoteSender::tcpClient_Connect()
{
    m_connectTimer.stop();
    const QByteArray bytes = encodeNoteMessage(m_build());
    m_unwritten = bytes.size();
    tcpClient.write(bytes);
}

void NoteSender::bytesWritten(qint64 bytes)
{
    if (!m_sending)
        return;
    m_unwritten -= bytes;
    if (m_unwritten > 0)
        return;
    // Delivered: whatever the connection does from here on (the receiver closes it) is no failure.
    m_sending = false;
    platform::showMessage(QStringLiteral("Your note was sent correctly !"), QStringLiteral("Note sent"),
                          platform::MsgIcon::Information);
    Q_EMIT finished(true);
}

void NoteSender::tcpClient_DataArrival()
{
    tcpClient.readAll();
}

void NoteSender::tcpClient_Error(QAbstractSocket::SocketError error, const QString &description)
{
    if (!m_sending)
        return;
    Close();
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
