// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SingleInstance.h"

#include "platform/Paths.h"

#include <QFile>
#include <QLocalSocket>

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

bool SingleInstance::acquire()
{
    m_lock = std::make_unique<QLockFile>(lockPath());
    // A lock left by a crashed copy is taken over: QLockFile checks whether its process still lives.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        return false;
    }
    QFile::remove(socketPath());
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server->listen(socketPath())) {
        connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *socket = m_server->nextPendingConnection()) {
                connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                    if (socket->readAll().contains("show"))
                        Q_EMIT showRequested();
                    socket->write("ok\n");
                    socket->flush();
                    socket->disconnectFromServer();
                });
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    return true;
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

} // namespace platform
