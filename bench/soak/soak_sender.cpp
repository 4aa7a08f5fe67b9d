// SPDX-License-Identifier: GPL-3.0-or-later
// The soak's network load: a note a second to the suite's note port on loopback, for a given time.
//   soak_sender --port P --seconds S
// Note n (from 1) reads "soak note n". Notes come in turn from ten loopback addresses, ten colleagues on a LAN, so
// that none of them sends more than the listener takes from one address in a minute. A note counts as sent once
// every byte is written and the receiver has closed the connection, which it does after a whole message. Prints a
// line per note ("SENT n ms" or "FAILED n why") and at the end "sent=N failed=F".
#include "netnotes/NoteMessage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>
#include <cstdio>

namespace {

constexpr int Colleagues = 10;

QString sendOne(const QHostAddress &from, quint16 port, const QByteArray &bytes)
{
    QTcpSocket socket;
    if (!socket.bind(from))
        return QStringLiteral("bind ") + from.toString() + u' ' + socket.errorString();
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return QStringLiteral("connect ") + socket.errorString();
    socket.write(bytes);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(5000))
            return QStringLiteral("write ") + socket.errorString();
    }
    // The receiver closes once the message is whole; anything else it says is a fault.
    while (socket.state() == QAbstractSocket::ConnectedState) {
        if (!socket.waitForReadyRead(5000) && socket.state() == QAbstractSocket::ConnectedState)
            return QStringLiteral("the receiver kept the connection open");
        if (socket.bytesAvailable() > 0)
            return QStringLiteral("the receiver answered: ") + QString::fromUtf8(socket.readAll().left(80));
    }
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const quint16 port = quint16(args.value(args.indexOf(QStringLiteral("--port")) + 1).toUInt());
    const int seconds = args.value(args.indexOf(QStringLiteral("--seconds")) + 1).toInt();
    if (port == 0 || seconds <= 0) {
        std::fprintf(stderr, "usage: soak_sender --port P --seconds S\n");
        return 2;
    }

    int sent = 0;
    int failed = 0;
    QElapsedTimer clock;
    clock.start();
    // On a fixed beat from the start, so that a slow note does not push the later ones back.
    for (int n = 1; n <= seconds; ++n) {
        const qint64 due = qint64(n - 1) * 1000;
        if (clock.elapsed() < due)
            QThread::msleep(quint64(due - clock.elapsed()));
        NoteMessage note;
        note.text = QStringLiteral("soak note %1").arg(n);
        note.from = QStringLiteral("From : colleague %1").arg(n % Colleagues + 1);
        note.alarmRepeat = QStringLiteral("-1");
        const QHostAddress from(QStringLiteral("127.0.2.%1").arg(n % Colleagues + 1));
        QElapsedTimer took;
        took.start();
        const QString failure = sendOne(from, port, encodeNoteMessage(note));
        if (failure.isEmpty()) {
            ++sent;
            std::printf("SENT %d %lld\n", n, took.elapsed());
        } else {
            ++failed;
            std::printf("FAILED %d %s\n", n, qPrintable(failure));
        }
        std::fflush(stdout);
    }
    std::printf("sent=%d failed=%d\n", sent, failed);
    return failed == 0 ? 0 : 1;
}
