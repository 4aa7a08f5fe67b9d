// SPDX-License-Identifier: GPL-3.0-or-later
// Network notes: the listener and the sender on real loopback sockets, with peers that stall, flood and garble;
// the user directory's file, its editor and the send dialog; and two whole suites on loopback, each the suite as
// the program starts it, driven through stdin (the real program receiving a note is the desktop layer's).
#include "NoteSamples.h"
#include "netnotes/HostPicker.h"
#include "netnotes/NetNotes.h"
#include "netnotes/NetUserStore.h"
#include "netnotes/form_NetUsers.h"
#include "netnotes/form_SendTo.h"
#include "platform/Paths.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <memory>
#include <sys/socket.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

NoteMessage sample(const QString &text)
{
    return {text, true, u"From : Alice"_s, u"2026-12-24"_s, u"2"_s, u"18:00"_s, u"2026-12-24  18:00"_s, false};
}

std::unique_ptr<QTcpSocket> connectTo(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    QSignalSpy connected(socket.get(), &QTcpSocket::connected);
    socket->connectToHost(QHostAddress::LocalHost, port);
    // The listener runs in this process: wait with the event loop running, never blocked.
    return connected.wait(5000) ? std::move(socket) : nullptr;
}

// Writes the bytes and waits until they are on the wire.
void put(QTcpSocket &socket, const QByteArray &bytes)
{
    socket.write(bytes);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(5000)) {
    }
}

struct Listener {
    Listener()
    {
        receiver.floodLimit = 1000;
        [&] { QVERIFY(receiver.listen(0)); }();
    }
    NoteReceiver receiver;
    QSignalSpy spy{&receiver, &NoteReceiver::noteReceived};
    NoteMessage note(int i) const { return spy.at(i).at(0).value<NoteMessage>(); }
};

// A recipient that takes the connection and reads (almost) nothing, behind a small receive window (accepted
// sockets inherit it), so that a large note cannot vanish into kernel buffers.
struct StallingPeer : QTcpServer {
    StallingPeer()
    {
        [&] { QVERIFY(listen(QHostAddress::LocalHost, 0)); }();
        const int window = 4096;
        ::setsockopt(int(socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
        connect(this, &QTcpServer::newConnection, this, [this] {
            peer = nextPendingConnection();
            peer->setReadBufferSize(1);
        });
    }
    QPointer<QTcpSocket> peer;
};

using NoteSamples::writeFile;

// A file's bytes, or "(missing)".
QByteArray readFile(const QString &path)
{
    return QFile::exists(path) ? NoteSamples::fileBytes(path) : "(missing)";
}

QStringList lines(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

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

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QStringList m_output;
};

const QString Sent = u"BOX Note sent|Your note was sent correctly !"_s;

} // namespace

Q_DECLARE_METATYPE(NoteMessage)

class tst_NetNotes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<NoteMessage>(); }

    void theWireFormat()
    {
        const NoteMessage note = sample(u"Käse $-$ und Brot\r\nzweite Zeile"_s);
        const QByteArray bytes = encodeNoteMessage(note);
        QVERIFY(bytes.startsWith("K\xc3\xa4se $-$ und Brot\r\nzweite Zeile$-$True$-$From : Alice$-$2026-12-24$-$"));
        QVERIFY(bytes.endsWith("$-$18:00$-$2026-12-24  18:00$-$"));
        QCOMPARE(decodeNoteMessage(bytes), std::optional<NoteMessage>(note));
        QVERIFY(isCompleteNoteMessage(bytes));
        for (qsizetype cut = 0; cut < bytes.size(); ++cut)
            QVERIFY2(!isCompleteNoteMessage(bytes.first(cut)), qPrintable(QString::number(cut)));

        // Line breaks go out as CR LF, as older peers write and expect them, also when the edit box gave LF.
        QVERIFY(encodeNoteMessage(sample(u"one\ntwo"_s)).startsWith("one\r\ntwo$-$"));
        QCOMPARE(decodeNoteMessage("one\ntwo\rthree$-$False$-$From : Bo$-$$-$-1$-$$-$$-$")->text,
                 u"one\r\ntwo\r\nthree"_s);

        // Older peers: Windows-1252 text, an alarm field of -1 or 0, or of no truth value at all.
        const auto fromOld = decodeNoteMessage("K\xe4se$-$-1$-$From : Bo$-$$-$-1$-$$-$$-$");
        QVERIFY(fromOld && fromOld->alarmOn);
        QCOMPARE(fromOld->text + u'|' + fromOld->alarmRepeat, u"Käse|-1"_s);
        QVERIFY(!isCompleteNoteMessage("x$-$maybe$-$a$-$b$-$c$-$d$-$e$-$"));
        const auto garbled = decodeNoteMessage("x$-$maybe$-$a$-$b$-$c$-$d$-$e$-$");
        QVERIFY(garbled && !garbled->alarmOn && garbled->alarmFieldInvalid);
        QVERIFY(!decodeNoteMessage("a$-$True$-$b$-$c$-$d$-$e$-$"));
        // The listener (raw bytes) and the reader (decoded text) agree on a field that is blank only in Latin-1.
        const QByteArray nextLine = "$-$False\x85$-$-0$-$$-$$-$$-$$-$";
        QVERIFY(!isCompleteNoteMessage(nextLine));
        QVERIFY(decodeNoteMessage(nextLine)->alarmFieldInvalid);
    }

    void oversizedSilentFloodingAndGarbledPeersAreDroppedAloneAndFiftyGoodOnesArriveOnce()
    {
        TestEnvironment env;
        Listener listener;
        listener.receiver.silenceLimitMs = 300;
        const quint16 port = listener.receiver.port();

        // Exactly one byte too many.
        NoteMessage big = sample(QString());
        big.text = QString(NoteReceiver::MaxMessageBytes + 1 - encodeNoteMessage(big).size(), u'x');
        QCOMPARE(encodeNoteMessage(big).size(), NoteReceiver::MaxMessageBytes + 1);
        auto oversized = connectTo(port);
        auto silent = connectTo(port);
        QVERIFY(oversized && silent);
        put(*oversized, encodeNoteMessage(big));
        QTRY_COMPARE(oversized->state(), QAbstractSocket::UnconnectedState);
        QTRY_COMPARE(silent->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(listener.spy.size() + listener.receiver.connectionCount(), 0);
        QCOMPARE(env.logLines().filter(u"err_tb_tcpServer_DataArrival 6 Overflow EXTRA: a note over 1 MiB"_s).size(),
                 1);
        QCOMPARE(env.logLines().filter(u"err_tb_tcpServer_DataArrival 10060"_s).size(), 1);

        // More notes in a minute from one address than the limit are refused until the minute is over.
        listener.receiver.floodLimit = 20;
        const auto sendOne = [&](const QString &text) {
            auto socket = connectTo(port);
            QVERIFY(socket);
            put(*socket, encodeNoteMessage(sample(text)));
            QTRY_COMPARE(socket->state(), QAbstractSocket::UnconnectedState);
        };
        for (int i = 0; i < 25; ++i)
            sendOne(QString::number(i));
        QCOMPARE(listener.spy.size(), 20);
        QCOMPARE(env.logLines().filter(u"more than 20 notes in a minute from 127.0.0.1, refused"_s).size(), 1);
        env.clock.advanceSeconds(61);
        sendOne(u"a minute later"_s);
        QCOMPARE(listener.spy.size(), 21);
        listener.receiver.floodLimit = 1000;

        // A thousand garbled messages, each on its own connection, from the fuzzing seeds and mutations of them.
        QList<QByteArray> seeds;
        for (const QString &name : QDir(QStringLiteral(NETNOTE_CORPUS)).entryList(QDir::Files))
            seeds << NoteSamples::fileBytes(QStringLiteral(NETNOTE_CORPUS "/") + name);
        QVERIFY(seeds.size() >= 3);
        QRandomGenerator random(1001);
        std::vector<std::unique_ptr<QTcpSocket>> peers;
        const auto open = [&](const QByteArray &bytes) {
            peers.push_back(std::make_unique<QTcpSocket>());
            peers.back()->connectToHost(QHostAddress::LocalHost, port);
            peers.back()->write(bytes);
        };
        for (int batch = 0; batch < 20; ++batch) {
            for (int i = 0; i < 50; ++i) {
                QByteArray bytes = seeds[i % seeds.size()];
                for (int flips = random.bounded(1, 8); flips > 0 && !bytes.isEmpty(); --flips)
                    bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
                open(i % 3 ? bytes : bytes.first(random.bounded(int(bytes.size()) + 1)));
                peers.back()->disconnectFromHost();
            }
            // Each connection ends once the listener has judged what it sent.
            for (const auto &peer : peers)
                QTRY_COMPARE_WITH_TIMEOUT(peer->state(), QAbstractSocket::UnconnectedState, 10000);
            peers.clear();
        }
        QTRY_COMPARE_WITH_TIMEOUT(listener.receiver.connectionCount(), 0, 10000);

        // And then fifty good notes at once each arrive whole, and once.
        const qsizetype before = listener.spy.size();
        for (int i = 0; i < 50; ++i)
            open(encodeNoteMessage(sample(u"note "_s + QString::number(i))));
        QTRY_COMPARE_WITH_TIMEOUT(listener.spy.size(), before + 50, 10000);
        QSet<QString> texts;
        for (qsizetype i = before; i < before + 50; ++i) {
            QCOMPARE(listener.note(int(i)), sample(listener.note(int(i)).text));
            texts.insert(listener.note(int(i)).text);
        }
        QCOMPARE(texts.size(), 50);
        QVERIFY(!QTest::qWaitFor([&] { return listener.spy.size() > before + 50; }, 100));
    }

    // A note on its way is never cut short: not by what closes the sender (a clock sync, a click on an alarm icon,
    // a deletion), nor by a second note sent meanwhile. Each ends in its box, and the success box comes only once
    // the whole note is written.
    void aNoteOnItsWayIsNeverCutShortAndOnlyWhatWasWrittenIsConfirmed()
    {
        TestEnvironment env;
        NoteSender sender;
        QSignalSpy finished(&sender, &NoteSender::finished);
        // A peer that takes the connection, reads nothing and slams it shut: an 8 MiB note cannot all be written.
        StallingPeer rude;
        connect(&rude, &QTcpServer::newConnection, this,
                [&rude] { QTimer::singleShot(100, rude.peer, [&rude] { rude.peer->abort(); }); });
        sender.remotePort = rude.serverPort();
        env.messages.expect(platform::MsgAnswer::Ok);
        sender.send(u"127.0.0.1"_s, [] { return sample(QString(8 * 1024 * 1024, u'x')); });
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QCOMPARE(env.messages.shown().constLast().title, u"Could not send the note"_s);
        QVERIFY(env.messages.shown().constLast().text.startsWith(u"10054 - "_s));

        StallingPeer slow;
        QPointer<QTcpSocket> &peer = slow.peer;
        const NoteMessage big = sample(QString(16 * 1024 * 1024, u'x'));
        const QByteArray expected = encodeNoteMessage(big);
        sender.remotePort = slow.serverPort();
        env.messages.expect(platform::MsgAnswer::Ok);
        env.messages.expect(platform::MsgAnswer::Ok);
        sender.send(u"127.0.0.1"_s, [&big] { return big; });
        QTRY_VERIFY(peer && peer->bytesAvailable() > 0);
        QCOMPARE(sender.sending(), 1);
        for (int action = 0; action < 3; ++action)
            sender.Close();

        Listener listener;
        sender.remotePort = listener.receiver.port();
        sender.send(u"localhost"_s, [] { return sample(u"second"_s); });
        QTRY_COMPARE(listener.spy.size(), 1);

        // The slow recipient reads at last: the first note arrives whole, and both say they were sent.
        QByteArray got;
        peer->setReadBufferSize(0);
        QTRY_VERIFY_WITH_TIMEOUT((got += peer->readAll()).size() >= expected.size(), 10000);
        QCOMPARE(got, expected);
        QTRY_COMPARE(finished.size(), 3);
        QVERIFY(finished.at(1).at(0).toBool() && finished.at(2).at(0).toBool());
        QVERIFY(!QTest::qWaitFor([&] { return env.messages.shown().size() > 3; }, 100)); // each box once
        QCOMPARE(env.messages.shown().constLast().text, u"Your note was sent correctly !"_s);
    }

    // A delivered note's connection stays open until something lets it go: here a deletion of a note, or an alarm
    // icon's box in a note window once answered, but not the same box opened from the container's row.
    void theSendersConnectionIsLetGoByADeletionAndByANoteWindowsAlarmBox()
    {
        TestEnvironment env;
        using NoteSamples::stored;
        using NoteSamples::withAlarm;
        QVERIFY(!writeNotesFile(NotesFilePath(), NotesBackupPath(),
                                {withAlarm(stored(u"a"_s, 600, 600)), withAlarm(stored(u"b"_s, 900, 900))}));
        NoteSamples::Suite suite;
        NoteSender &sender = suite.host.netNotes()->sender;
        QSignalSpy finished(&sender, &NoteSender::finished);
        // A recipient that keeps the connection open, as a suite's listener does not.
        StallingPeer peer;
        sender.remotePort = peer.serverPort();
        const auto deliver = [&] {
            env.messages.expect(platform::MsgAnswer::Ok);
            const qsizetype sent = finished.size() + 1;
            sender.send(u"localhost"_s, [] { return sample(u"x"_s); });
            QTRY_COMPARE(finished.size(), sent);
            QVERIFY(!sender.isClosed());
        };
        deliver();
        env.messages.expect(platform::MsgAnswer::No);
        NoteSamples::clickRow(*suite.container(), 1, NoteRows::Part::Alarm);
        QVERIFY(!sender.isClosed());
        env.messages.expect(platform::MsgAnswer::No);
        QTest::mouseClick(NoteWindow(1)->findChild<QLabel *>(u"image_Alarm"_s), Qt::LeftButton);
        QVERIFY(sender.isClosed());

        deliver();
        DeleteNote(2, false);
        QVERIFY(sender.isClosed());
    }

    void aPortThatCannotBeHadIsExplainedOnce()
    {
        TestEnvironment env;
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::Any, 0));
        qputenv("TARNIBE_NOTE_PORT", QByteArray::number(other.serverPort()));
        NetNotes notes;
        env.messages.expect(platform::MsgAnswer::Ok);
        notes.setAcceptNotes(true);
        notes.setAcceptNotes(true); // the box comes once, the log line every time
        QCOMPARE(env.messages.shown().size(), 1);
        QVERIFY(env.messages.shown()[0].text.contains(u"another program already uses port "_s +
                                                      QString::number(other.serverPort())));
        QCOMPARE(env.logLines().filter(u"err_tb_tcpServer_Listen 10048 Address in use"_s).size(), 2);
        QVERIFY(!notes.receiver.isListening());
    }

    void aNoteForAnExitedNotesProgramStartsItAndIsSaved()
    {
        TestEnvironment env;
        QVERIFY(NoteSamples::writeFile(platform::dataFile(u"notes.dat"_s), {}));
        NoteSamples::Suite suite;
        suite.trigger("menu_ExitNotes");
        QVERIFY(!ProgramRunFlags().notes);

        auto socket = connectTo(suite.host.netNotes()->receiver.port());
        QVERIFY(socket);
        put(*socket, encodeNoteMessage(sample(u"while you were out"_s)));
        QTRY_VERIFY(ProgramRunFlags().notes);
        QCOMPARE(QString::number(NoteStore().count()) + u' ' + suite.container()->rowText(1),
                 u"1 while you were out"_s);
        QVERIFY(NoteStore().entry(1)->alarmShown);
        QCOMPARE(NoteSamples::tableRecords(), NoteSamples::notesIn(platform::dataFile(u"notes.dat"_s)));
        QVERIFY(env.tray.tips().contains(u"New note"_s));
    }

    void theFileIsReadLineByLineAndTheSendDialogSendsToTheClickedEntry()
    {
        TestEnvironment env;
        ReadNetUsers();
        QCOMPARE(NetUserTable(), QList<NetUser>{NetUser{}});

        // Split at the first comma, blanks dropped; blank lines skipped; Windows-1252 from older copies.
        QVERIFY(writeFile(NetUsersFilePath(),
                          "pc1 , Anna\r\n , ghost\r\n\r\n 192.168.1.20,Bob, the boss \r\nnocomma\nJ\xf6rg-PC , "
                          "J\xf6rg\r\n"));
        ReadNetUsers();
        QCOMPARE(NetUserTable(), (QList<NetUser>{{u"pc1"_s, u"Anna"_s},
                                                 {QString(), u"ghost"_s},
                                                 {u"192.168.1.20"_s, u"Bob, the boss"_s},
                                                 {u"nocomma"_s, QString()},
                                                 {u"Jörg-PC"_s, u"Jörg"_s}}));
        QCOMPARE(netUserFromLine(netUserLine({u"pc1"_s, u"Anna, the boss"_s})),
                 (NetUser{u"pc1"_s, u"Anna, the boss"_s}));

        // The send dialog lists the entries with an address, by nickname or else address; a click sends.
        form_SendTo dialog;
        QStringList sentTo;
        connect(&dialog, &form_SendTo::addressChosen, this, [&sentTo](const QString &address) { sentTo << address; });
        dialog.Form_Load();
        dialog.show();
        QCOMPARE(lines(dialog.list_NetUsers), (QStringList{u"Anna"_s, u"Bob, the boss"_s, u"nocomma"_s, u"Jörg"_s}));
        QListWidget *list = dialog.list_NetUsers;
        for (int row = 0; row < 4; ++row) {
            dialog.show();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        }
        QCOMPARE(sentTo, (QStringList{u"pc1"_s, u"192.168.1.20"_s, u"nocomma"_s, u"Jörg-PC"_s}));
        QVERIFY(!dialog.isVisible());
    }

    void theEditorBrowsesAddsDeletesAndSavesOnlyOnOk()
    {
        TestEnvironment env;
        QVERIFY(writeFile(NetUsersFilePath(), "pc1 , Anna\r\n , nobody\r\n"));
        ReadNetUsers();
        const QString hosts = env.root() + u"/hosts"_s;
        QVERIFY(writeFile(hosts, "127.0.0.1\tlocalhost\n::1 localhost ip6-localhost ip6-loopback\n"
                                 "192.168.1.20  pc1.lan pc1 # Anna\n# 10.0.0.1 old\n192.168.1.21 printer\n"));
        QCOMPARE(HostPicker::hostsFileNames(readFile(hosts)), (QStringList{u"pc1.lan"_s, u"pc1"_s, u"printer"_s}));
        form_NetUsers editor;
        editor.hostsFile = hosts;
        int saves = 0;
        connect(&editor, &form_NetUsers::saved, this, [&saves] { ++saves; });
        editor.Form_Load();
        QCOMPARE(lines(editor.list_Users), QStringList{u"pc1 , Anna"_s});
        QVERIFY(editor.option_FriendlyName->isChecked());
        QVERIFY(!editor.text_IP[0]->isEnabled() && editor.text_FriendlyName->isEnabled());

        env.messages.expect(platform::MsgAnswer::Ok);
        editor.c_Add->click();
        QCOMPARE(env.messages.shown().constLast().text, u"You have to type a computer name"_s);
        QCOMPARE(editor.list_Users->count(), 1);

        // The browser fills the computer's name from the hosts file; without a nickname the name stands in for it.
        editor.c_Browse->click();
        QVERIFY(editor.picker && editor.picker->isVisible());
        QCOMPARE(editor.picker->list_Hosts->count(), 3);
        editor.picker->list_Hosts->setCurrentItem(editor.picker->list_Hosts->findItems(u"printer"_s, {}).value(0));
        editor.picker->accept();
        editor.c_Add->click();
        editor.option_IP->click();
        QVERIFY(editor.text_IP[0]->isEnabled() && !editor.text_FriendlyName->isEnabled() &&
                !editor.c_Browse->isEnabled());
        for (int i = 0; i < 4; ++i)
            QTest::keyClicks(editor.text_IP[size_t(i)], QString::number(10 + i) + u"x"_s);
        QTest::keyClicks(editor.text_Nickname, u"Cleo"_s);
        editor.c_Add->click();
        QCOMPARE(lines(editor.list_Users),
                 (QStringList{u"pc1 , Anna"_s, u"printer , printer"_s, u"10.11.12.13 , Cleo"_s}));
        QCOMPARE(readFile(NetUsersFilePath()), "pc1 , Anna\r\n , nobody\r\n"); // nothing written yet

        editor.list_Users->setCurrentRow(0);
        editor.c_Delete->click();
        editor.c_Ok->click();
        QCOMPARE(saves, 1);
        QVERIFY(!editor.isVisible());
        QCOMPARE(readFile(NetUsersFilePath()), "printer , printer\r\n10.11.12.13 , Cleo\r\n");
        QCOMPARE(readFile(NetUsersBackupPath()), "pc1 , Anna\r\n , nobody\r\n");
        QCOMPARE(NetUserTable(), (QList<NetUser>{{u"printer"_s, u"printer"_s}, {u"10.11.12.13"_s, u"Cleo"_s}}));

        // An empty list writes an empty file and keeps the last one as the backup.
        editor.Form_Load();
        editor.list_Users->clear();
        editor.c_Ok->click();
        QCOMPARE(readFile(NetUsersFilePath()), QByteArray());
        QCOMPARE(readFile(NetUsersBackupPath()), "printer , printer\r\n10.11.12.13 , Cleo\r\n");
        QCOMPARE(NetUserTable(), QList<NetUser>{NetUser{}});
    }

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
        alice.command("send 1 1");
        QVERIFY(alice.waitFor(u"BOX Could not send the note|I can not find the users computer on the network. (Have "
                              "you typed it EXACTLY as it appears on the network) ?"_s));
    }
};

QTEST_MAIN(tst_NetNotes)
#include "tst_NetNotes.moc"
