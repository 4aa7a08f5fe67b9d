// SPDX-License-Identifier: GPL-3.0-or-later
// Times network notes against the real program on loopback, and what a flood costs it in memory.
//   bench_netnotes <path-to-tarnibe>
// Starts tarnibe with fresh folders, listening on a free port. Latency: 100 notes, each from its own loopback
// address (the listener takes at most 20 a minute from one), timed from the first byte sent to the moment the
// receiver's notes.dat holds the note; prints the median and the spread. Flood: the receiver's RSS before, and
// 2 s after, 1,000 whole notes from one address, 1,000 messages of random bytes and 10 messages of 1 MiB + 1 byte; then
// once more from the same senders, which the listener now refuses.
#include "netnotes/NoteMessage.h"
#include "notes/NoteFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double rssMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

bool sendFrom(const QString &source, quint16 port, const QByteArray &bytes, bool quiet = false)
{
    QTcpSocket socket;
    if (!source.isEmpty() && !socket.bind(QHostAddress(source)))
        return false;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000)) {
        if (!quiet)
            std::fprintf(stderr, "%s\n", qPrintable(socket.errorString()));
        return false;
    }
    socket.write(bytes);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(5000)) {
    }
    // Closing after the last byte, as a peer that is done would: whole notes are in already, the rest ends here.
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.waitForDisconnected(1000);
    return true;
}

NoteMessage note(const QString &text)
{
    return {text, false, QStringLiteral("From : bench"), {}, QStringLiteral("-1"), {}, {}, false};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_netnotes <path-to-tarnibe>\n");
        return 2;
    }
    QTemporaryDir root;
    for (const char *folder : {"config/Tarnibe", "data/Tarnibe", "runtime", "cache"})
        QDir(root.path()).mkpath(QString::fromLatin1(folder));
    QFile::setPermissions(root.path() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile settings(root.path() + QStringLiteral("/config/Tarnibe/Tarnibe.conf"));
    settings.open(QIODevice::WriteOnly);
    settings.write("[Settings]\nStartNotes=1\nStartCalc=0\nStartClock=0\nStartEmail=0\nAcceptNotes=True\n");
    settings.close();
    const QString notesFile = root.path() + QStringLiteral("/data/Tarnibe/notes.dat");
    QFile empty(notesFile);
    empty.open(QIODevice::WriteOnly);
    empty.close();

    quint16 port = 0;
    {
        QTcpServer probe; // on every address, as the receiver will listen
        probe.listen(QHostAddress::Any, 0);
        port = probe.serverPort();
    }
    QProcess receiver;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), root.path() + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root.path() + QStringLiteral("/runtime"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), root.path() + QStringLiteral("/cache"));
    if (!env.contains(QStringLiteral("DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TARNIBE_NOTE_PORT"), QString::number(port));
    receiver.setProcessEnvironment(env);
    receiver.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    receiver.start(QString::fromLocal8Bit(argv[1]), {});
    receiver.waitForStarted();
    QElapsedTimer startWait;
    startWait.start();
    while (!sendFrom(QStringLiteral("127.0.0.200"), port, QByteArray(), true)) {
        if (startWait.elapsed() > 20000) {
            QFile log(root.path() + QStringLiteral("/data/Tarnibe/error.log"));
            log.open(QIODevice::ReadOnly);
            std::fprintf(stderr, "the receiver never listened on port %d; its log:\n%s\n", port,
                         log.readAll().constData());
            return 1;
        }
        QThread::msleep(50);
    }

    std::vector<double> latencies;
    for (int i = 0; i < 100; ++i) {
        const QString text = QStringLiteral("latency note %1").arg(i);
        const QByteArray marker = text.toUtf8();
        QElapsedTimer timer;
        timer.start();
        if (!sendFrom(QStringLiteral("127.0.1.%1").arg(i + 1), port, encodeNoteMessage(note(text)))) {
            std::fprintf(stderr, "note %d could not be sent; the receiver is %s\n", i,
                         receiver.state() == QProcess::Running ? "running" : "gone");
            return 1;
        }
        for (;;) {
            QFile file(notesFile);
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(marker))
                break;
            if (timer.elapsed() > 10000) {
                std::fprintf(stderr, "note %d never reached notes.dat\n", i);
                return 1;
            }
            QThread::usleep(200);
        }
        latencies.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("send to saved: median %.1f ms (min %.1f, 90th %.1f, max %.1f) over %zu notes\n",
                (latencies[49] + latencies[50]) / 2, latencies.front(), latencies[89], latencies.back(),
                latencies.size());

    QThread::msleep(2000);
    const double before = rssMiB(receiver.processId());
    const auto flood = [port] {
        QRandomGenerator random(1001);
        const QByteArray whole = encodeNoteMessage(note(QStringLiteral("flood")));
        for (int i = 0; i < 1000; ++i)
            sendFrom(QStringLiteral("127.0.2.1"), port, whole);
        for (int i = 0; i < 1000; ++i) {
            QByteArray garbage(random.bounded(1, 400), Qt::Uninitialized);
            for (char &c : garbage)
                c = char(random.bounded(256));
            sendFrom(QStringLiteral("127.0.3.%1").arg(i % 200 + 1), port, garbage);
        }
        const QByteArray oversized(1024 * 1024 + 1, 'x');
        for (int i = 0; i < 10; ++i)
            sendFrom(QStringLiteral("127.0.4.1"), port, oversized);
        QThread::msleep(2000);
    };
    const auto savedNotes = [&notesFile] {
        QFile saved(notesFile);
        saved.open(QIODevice::ReadOnly);
        return qint64(decodeNotes(saved.readAll()).notes.size());
    };
    // The first flood leaves the notes the limits let through (each one a window); the second, from the same
    // senders within the minute, is refused whole, so what it adds is what dropped peers cost.
    flood();
    const double afterFirst = rssMiB(receiver.processId());
    const qint64 notesAfterFirst = savedNotes();
    flood();
    std::printf("receiver RSS: %.1f MiB before the flood (100 notes), %.1f MiB after it (%lld notes), %.1f MiB after "
                "a second flood refused whole (%lld notes)\n",
                before, afterFirst, notesAfterFirst, rssMiB(receiver.processId()), savedNotes());
    receiver.terminate();
    receiver.waitForFinished(10000);
    return 0;
}
