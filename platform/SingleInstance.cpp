// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SingleInstance.h"

#include "platform/Paths.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QPointer>

namespace platform {

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockPath()
{
    return runtimeDir() + u"/tarnibe.lock";
}

QString SingleInstance::socketPath()
{
    return runtimeDir() + u"/tarnibe.socket";
}

namespace {

// A command travels as one line: "command", then each argument percent-encoded, blank-separated. The answer is one
// line too: "ok" or "error", and the encoded sentence. Anything else asks the copy to show itself, as before.
const QByteArray CommandWord = QByteArrayLiteral("command");

} // namespace

bool SingleInstance::acquire(bool listen)
{
    m_lock = std::make_unique<QLockFile>(lockPath());
    // A lock left by a crashed copy is taken over: QLockFile checks whether its process still lives.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        return false;
    }
    if (!listen)
        return true;
    QFile::remove(socketPath());
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server->listen(socketPath())) {
        connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *socket = m_server->nextPendingConnection()) {
                connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    return true;
}

void SingleInstance::answer(QLocalSocket *socket)
{
    if (!socket->canReadLine() && socket->bytesAvailable() < 64 * 1024)
        return;
    const QList<QByteArray> words = socket->readLine().trimmed().split(' ');
    QByteArray reply = QByteArrayLiteral("ok\n");
    if (words.first() == CommandWord) {
        QStringList arguments;
        for (qsizetype i = 1; i < words.size(); ++i)
            arguments << QString::fromUtf8(QByteArray::fromPercentEncoding(words[i]));
        CommandAnswer answer{false, QStringLiteral("This Tarnibe does not know that command.")};
        // The work may open a box (the notes' start asks about a damaged file); a caller that gave up meanwhile
        // took its socket with it.
        const QPointer<QLocalSocket> asker(socket);
        Q_EMIT commandRequested(arguments, &answer);
        if (!asker)
            return;
        reply = (answer.ok ? "ok " : "error ") + answer.text.toUtf8().toPercentEncoding() + '\n';
    } else if (words.contains("show")) {
        Q_EMIT showRequested();
    }
    socket->write(reply);
    socket->flush();
    socket->disconnectFromServer();
}

void SingleInstance::release()
{
    m_server.reset();
    m_lock.reset();
}

bool SingleInstance::askRunningCopyToShow(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write("show\n");
    socket.flush();
    return socket.waitForReadyRead(timeoutMs) && socket.readAll().startsWith("ok");
}

std::optional<CommandAnswer> SingleInstance::askRunningCopy(const QStringList &arguments, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(timeoutMs))
        return std::nullopt;
    QByteArray line = CommandWord;
    for (const QString &argument : arguments)
        line += ' ' + argument.toUtf8().toPercentEncoding();
    socket.write(line + '\n');
    socket.flush();
    QElapsedTimer waited;
    waited.start();
    while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState &&
           socket.waitForReadyRead(int(std::max<qint64>(1, timeoutMs - waited.elapsed()))))
        ;
    if (!socket.canReadLine())
        return CommandAnswer{false, QStringLiteral("The running Tarnibe did not answer.")};
    const QList<QByteArray> words = socket.readLine().trimmed().split(' ');
    return CommandAnswer{words.first() == "ok", QString::fromUtf8(QByteArray::fromPercentEncoding(words.value(1)))};
}

} // namespace platform
