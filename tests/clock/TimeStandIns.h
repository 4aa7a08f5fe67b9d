// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the clock's tests put where a time server and timedated would be.
#include "platform/SystemClock.h"

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

// Stands in for timedated, for those who ask the platform for the clock setter as well: records each time asked for
// and answers a turn of the event loop later, with success or the failure set. A held answer waits until the test
// releases it.
class RecordingSetter : public platform::SystemClockSetter {
public:
    RecordingSetter() { platform::installSystemClockSetter(this); }
    ~RecordingSetter() override { platform::installSystemClockSetter(nullptr); }
    void setTime(const QDateTime &moment, bool, const Done &done) override
    {
        asked.append(moment);
        askedAt.append(QDateTime::currentDateTime());
        if (hold)
            held.append(done);
        else
            QTimer::singleShot(0, [done, failure = failure] { done(failure); });
    }
    void readService(const std::function<void(Service)> &done) override { done(service); }
    void setService(bool on, bool, const Done &done) override
    {
        serviceSet.append(on);
        done(std::nullopt);
    }
    QList<QDateTime> asked;
    QList<QDateTime> askedAt; // the real time of each
    Service service;          // the system's time service, as the sync reads it
    QList<bool> serviceSet;
    std::optional<QString> failure;
    bool hold = false;
    QList<Done> held;
};
