// SPDX-License-Identifier: GPL-3.0-or-later
// Two whole suites on loopback, each the suite as the program starts it, driven through stdin. (The real program
// receiving a note is the desktop layer's.)
#include "../notes/NoteSamples.h"
#include "notes/NoteFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::Any, 0); // on every address, as the suites will listen
    return probe.serverPort();
}

// One suite with folders of its own: its settings, notes and directory written before it starts.
class Peer {
public:
    Peer(const QString &sender, quint16 port, quint16 sendPort, const QList<NoteRecord> &notes, const QString &netUsers)
    {
        for (const QString &folder : {u"config/Tarnibe"_s, u"data/Tarnibe"_s, u"runtime"_s})
            QDir(root()).mkpath(folder);
        QFile::setPermissions(root() + u"/runtime"_s,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(NoteSamples::writeFile(root() + u"/config/Tarnibe/Tarnibe.conf"_s,
                                       "[Settings]\nStartNotes=1\nStartCalc=0\nStartClock=0\nStartEmail=0\n"
                                       "AcceptNotes=True\nShowContainer=True\nNoteSender=" +
                                           sender.toUtf8() + "\n"));
        QVERIFY(NoteSamples::writeFile(notesFile(), encodeNotes(notes)));
        QVERIFY(NoteSamples::writeFile(root() + u"/data/Tarnibe/netusers.dat"_s, netUsers.toUtf8()));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto &[name, folder] : {std::pair{"CONFIG_HOME", "/config"}, std::pair{"DATA_HOME", "/data"},
                                           std::pair{"RUNTIME_DIR", "/runtime"}, std::pair{"CACHE_HOME", "/cache"}})
            env.insert(u"XDG_"_s + QLatin1StringView(name), root() + QLatin1StringView(folder));
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"TARNIBE_NOTE_PORT"_s, QString::number(port));
        env.insert(u"TARNIBE_NOTE_SEND_PORT"_s, QString::number(sendPort));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(NETNOTES_PEER), {});
        QVERIFY(waitFor(u"READY"_s));
    }
    ~Peer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    QString root() const { return m_dir.path(); }
    QString notesFile() const { return root() + u"/data/Tarnibe/notes.dat"_s; }
    void command(const QByteArray &line) { m_process.write(line + '\n'); }
    // Waits for an output line, and keeps every line read on the way.
    bool waitFor(const QString &line)
    {
        QDeadlineTimer deadline(15000);
        while (!m_output.contains(line)) {
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
                return false;
            m_process.waitForReadyRead(100);
            while (m_process.canReadLine())
                m_output << QString::fromUtf8(m_process.readLine()).trimmed();
        }
        return true;
    }
    QStringList rows()
    {
        m_output.clear();
        command("rows");
        return waitFor(u"END ROWS"_s) ? m_output.filter(QRegularExpression(u"^ROW "_s)) : QStringList{u"no rows"_s};
    }
    QStringList output() const { return m_output; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QStringList m_output;
};

const QString Sent = u"BOX Note sent|Your note was sent correctly !"_s;

} // namespace

class tst_NetNotesProcesses : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void twoSuitesExchangeNotesBothWays()
    {
        const quint16 portA = freePort();
        const quint16 portB = freePort();
        Peer alice(u"Alice"_s, portA, portB,
                   {NoteSamples::withAlarm(NoteSamples::stored(u"Dinner at six, $-$ bring wine"_s, 900, 900),
                                           u"2026-12-24"_s, u"18:00"_s, u"2"_s)},
                   u"127.0.0.1 , Bob\r\n"_s);
        Peer bob(QString(), portB, portA, {NoteSamples::stored(u"Thanks!"_s, 600, 600)}, u"localhost , Alice\r\n"_s);

        alice.command("send 1 0");
        QVERIFY(alice.waitFor(Sent));
        QVERIFY(alice.waitFor(u"SENT"_s));
        QTRY_COMPARE_WITH_TIMEOUT(bob.rows().size(), 2, 10000);
        QCOMPARE(bob.rows().value(1), u"ROW 2 From : Alice|Dinner at six, $-$ bring wine"_s);
        const NoteRecord received = NoteSamples::notesIn(bob.notesFile()).value(1);
        QCOMPARE((QStringList{received.title, received.alarmDate, received.alarmTime, received.alarmRepeat}),
                 (QStringList{u"From : Alice"_s, u"2026-12-24"_s, u"18:00"_s, u"2"_s}));

        // Bob left his name empty: his note carries the computer's name.
        bob.command("send 1 0");
        QVERIFY(bob.waitFor(Sent));
        QTRY_COMPARE_WITH_TIMEOUT(alice.rows().size(), 2, 10000);
        QCOMPARE(alice.rows().value(1), u"ROW 2 From : "_s + QSysInfo::machineHostName() + u"|Thanks!"_s);
    }

    void refusalsAndUnknownHostsAreExplained()
    {
        // Nobody listens on Bob's port; the second entry is no valid host name, so Qt refuses it before any lookup
        // leaves this machine.
        Peer alice(u"Alice"_s, freePort(), freePort(), {NoteSamples::stored(u"hello"_s, 900, 900)},
                   u"127.0.0.1 , Bob\r\nno such host , Ghost\r\n"_s);
        alice.command("send 1 0");
        QVERIFY(alice.waitFor(u"BOX Could not send the note|Either the user has not Tarnibe running on his computer "
                              "or he does not want to receive any notes !"_s));
        QVERIFY(alice.waitFor(u"FAILED"_s));
        alice.command("send 1 1");
        QVERIFY(alice.waitFor(u"BOX Could not send the note|I can not find the users computer on the network. (Have "
                              "you typed it EXACTLY as it appears on the network) ?"_s));
        QVERIFY(!alice.output().contains(Sent));
    }
};

QTEST_GUILESS_MAIN(tst_NetNotesProcesses)
#include "tst_NetNotesProcesses.moc"
