// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayList>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// A DAYTIME server on loopback. Each connection gets the pieces with a pause between them and is then closed;
// without pieces it is accepted and never answered.
class DaytimeServer {
public:
    explicit DaytimeServer(QByteArrayList replyPieces = {"Tue Oct 12 14:05:09 1999\r\n"}) : pieces(replyPieces)
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++accepted;
                send(socket, 0);
            }
        });
    }
    quint16 port() const { return server.serverPort(); }

    QByteArrayList pieces;
    int accepted = 0;

private:
    void send(QTcpSocket *socket, int piece)
    {
        if (piece >= pieces.size())
            return;
        socket->write(pieces[piece]);
        if (piece + 1 < pieces.size())
            QTimer::singleShot(300, socket, [this, socket, piece] { send(socket, piece + 1); });
        else
            socket->disconnectFromHost();
    }
    QTcpServer server;
};
