// SPDX-License-Identifier: GPL-3.0-or-later
// IMAP accounts without a display: the server addresses, reading what IMAP servers send, and one INBOX's check
// against a real Dovecot on loopback and against a scripted server for what no real server does on demand.
#include "Pop3TestServer.h"
#include "mail/ImapMailbox.h"
#include "mail/ImapPush.h"
#include "mail/ImapResponse.h"
#include "mail/MailCheck.h"
#include "mail/MailText.h"
#include "mail/Pop3Client.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Everything the reader gives out for these bytes, fed `step` bytes at a time.
QList<ImapResponse> read(QByteArrayView bytes, qsizetype step, ImapReader &reader)
{
    QList<ImapResponse> responses;
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        reader.append(bytes.sliced(at, std::min(step, bytes.size() - at)));
        while (std::optional<ImapResponse> response = reader.next())
            responses.append(*response);
    }
    return responses;
}

// A scripted IMAP server in this process. It answers each command by its name ("LOGIN", "UID FETCH"; one not
// mapped is refused), "{tag}" standing for the command's tag, and writes what follows a "|" a moment later, as a
// second read. It takes literals the synchronising way, with a "+" for each, and records the commands it hears.
class FakeImapServer : public QTcpServer {
public:
    explicit FakeImapServer(const QByteArray &greeting) : m_greeting(greeting) { listen(QHostAddress::LocalHost, 0); }
    QString address() const { return u"imap://127.0.0.1:"_s + QString::number(serverPort()); }

    QHash<QByteArray, QByteArray> replies;
    QByteArrayList commands;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            m_buffer += socket->readAll();
            while (true) {
                const qsizetype end = m_buffer.indexOf("\r\n", m_scanned);
                if (end < 0)
                    return;
                const QByteArray line = m_buffer.first(end);
                if (line.endsWith('}') && !line.endsWith("+}")) {
                    const qsizetype length = line.mid(line.lastIndexOf('{') + 1).chopped(1).toLongLong();
                    // A client that sends the literal before the "+" is noted in the command it is part of.
                    m_early = m_early || m_buffer.size() > end + 2;
                    socket->write("+ go on\r\n");
                    m_scanned = end + 2 + length;
                    continue;
                }
                m_buffer.remove(0, end + 2);
                m_scanned = 0;
                commands << (m_early ? "early: " + line : line);
                m_early = false;
                const QByteArrayList words = line.split(' ');
                QByteArray name = words.value(1).toUpper();
                if (name == "UID")
                    name += ' ' + words.value(2).toUpper();
                const QByteArrayList parts =
                    replies.value(name, "{tag} BAD unknown\r\n").replace("{tag}", words[0]).split('|');
                socket->write(parts[0]);
                if (parts.size() > 1)
                    QTimer::singleShot(200, socket, [socket, rest = parts[1]] { socket->write(rest); });
            }
        });
        socket->write(m_greeting);
    }

private:
    QByteArray m_greeting;
    QByteArray m_buffer;
    qsizetype m_scanned = 0;
    bool m_early = false;
};

// One mailbox's check to its end.
AccountCheckResult checkAccount(MailboxClient &mailbox, MailboxMemory &memory, const MailAccount &account)
{
    QSignalSpy checked(&mailbox, &MailboxClient::checked);
    mailbox.check(account, memory);
    if (checked.wait(20000))
        return mailbox.result();
    AccountCheckResult none;
    none.ok = false;
    none.error = u"the check never ended"_s;
    return none;
}

QByteArray note(int n)
{
    return mailMessage("Bob <bob@example.org>", "Note " + QByteArray::number(n));
}
QString entries(std::initializer_list<int> notes)
{
    QString text;
    for (int n : notes)
        text += NoticeEntry(u"Bob <bob@example.org>"_s, u"Note %1"_s.arg(n), {});
    return text;
}

// The accounts of a check, as a test sets them.
class TestAccounts : public MailAccounts {
public:
    int count() const override { return int(list.size()); }
    MailAccount account(int index) const override { return list.value(index); }
    void password(int index, QObject *, PasswordAnswer answer) override { answer(list.value(index).password, {}); }
    QList<MailAccount> list;
};

} // namespace

class tst_Imap : public QObject {
    Q_OBJECT

    std::unique_ptr<DovecotServer> m_server;

#define REQUIRE_DOVECOT()                                                                                              \
    if (!m_server)                                                                                                     \
    QSKIP("Dovecot with IMAP is not installed (scripts/install-deps.sh test installs it)")

    QString imap(const char *scheme = "imap") const
    {
        return QString::fromLatin1(scheme) + u"://127.0.0.1:"_s +
               QString::number(qstrcmp(scheme, "imaps") == 0 ? m_server->imapsPort : m_server->imapPort);
    }
    // The flags of every message in the user's maildir, as the file names carry them.
    QStringList flags(const QString &user) const
    {
        QStringList found;
        QDirIterator it(m_server->maildir(user), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString name = QFileInfo(it.next()).fileName();
            if (!name.startsWith(u"dovecot"_s))
                found << name.section(u":2,"_s, 1);
        }
        return found;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!DovecotServer::installed() || !QFile::exists(u"/usr/lib/dovecot/imap"_s))
            return;
        m_server = std::make_unique<DovecotServer>(true, true);
        m_server->addUser(u"ann"_s, u"gr\u00fc\u00dfe"_s);
        m_server->addUser(u"carl"_s, u"secret"_s);
        // The users' file is read again only once its time stamp moves: each test's user is there from the start.
        m_server->addUser(u"dora"_s, u"secret"_s);
        m_server->addUser(u"emil"_s, u"secret"_s);
        m_server->addUser(u"dana"_s, u"secret"_s);
        QString why;
        QVERIFY2(m_server->start(&why), qPrintable(why));
    }
    void init()
    {
        Pop3Client::trustCertificates(QSslCertificate::fromPath(DovecotServer::Here.filePath(u"cert.pem"_s)));
    }

    // The IMAP forms beside the POP3 ones, which read as they did; POP3's own reader takes no IMAP address.
    void addresses()
    {
        const QList<std::pair<QString, QString>> rows = {
            {u"imap://mail.example.org"_s, u"imap mail.example.org 143"_s},
            {u" IMAPS://mail.example.org "_s, u"imap mail.example.org 993 TLS"_s},
            {u"imap://[::1]:1143/"_s, u"imap ::1 1143"_s},
            {u"imaps://127.0.0.1:10993"_s, u"imap 127.0.0.1 10993 TLS"_s},
            {u"pop3s://pop.example.org"_s, u"pop3 pop.example.org 995 TLS"_s},
            {u"pop.example.org:1110"_s, u"pop3 pop.example.org 1110"_s},
            {u"imap://"_s, QString()},
            {u"imap://host:0"_s, QString()},
            {u"imap://a/b"_s, QString()}};
        for (const auto &[server, expected] : rows) {
            const std::optional<MailAddress> read = ParseMailAddress(server);
            const QString text =
                read ? u"%1 %2 %3%4"_s.arg(read->protocol == MailProtocol::Imap ? u"imap"_s : u"pop3"_s, read->host)
                           .arg(read->port)
                           .arg(read->implicitTls ? u" TLS"_s : QString())
                     : QString();
            QCOMPARE(server + u" -> "_s + text, server + u" -> "_s + expected);
            if (server.contains(u"imap"_s, Qt::CaseInsensitive))
                QVERIFY(!ParsePopAddress(server));
        }
    }

    // A session as Dovecot sends it, whole and a byte at a time: the same responses, each given out only once
    // whole, a literal's bytes (with a "{3}" of their own at a line's end) taken as they are.
    void responsesAsDovecotSendsThem()
    {
        const QByteArray session =
            "* OK [CAPABILITY IMAP4rev1 LITERAL+ STARTTLS] Dovecot ready.\r\n"
            "* OK [UIDVALIDITY 1796666228] UIDs valid\r\n"
            "* 2 EXISTS\r\n"
            "* SEARCH 1 2\r\n"
            "* 2 FETCH (UID 2 BODY[HEADER.FIELDS (FROM SUBJECT DATE)] {32}\r\nSubject: Note \"2\" (with) "
            "{3}\r\n\r\n)\r\n"
            "* 1 FETCH (FLAGS (\\Seen) BODYSTRUCTURE (\"text\" \"plain\" (\"charset\" \"a\\\"b\") NIL NIL))\r\n"
            "+ Ready for literal data\r\n"
            "a3 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n";
        ImapReader whole;
        const QList<ImapResponse> responses = read(session, session.size(), whole);
        ImapReader bytewise;
        QCOMPARE(read(session, 1, bytewise), responses);
        QCOMPARE(responses.size(), 8);
        QCOMPARE(responses[0].capabilities(), QList<QByteArray>({"IMAP4REV1", "LITERAL+", "STARTTLS"}));
        QCOMPARE(responses[0].text, u"Dovecot ready."_s);
        QCOMPARE(responses[1].codeNumber(), 1796666228u);
        QCOMPARE(responses[2].number, 2u);
        QCOMPARE(responses[2].name, "EXISTS");
        QCOMPARE(responses[3].values.size(), 2);
        QCOMPARE(responses[4].fetchItem("UID")->number(), 2u);
        QCOMPARE(responses[4].fetchItem("BODY[")->text, "Subject: Note \"2\" (with) {3}\r\n\r\n");
        const ImapValue &structure = responses[5].values[0].items[3];
        QCOMPARE(structure.items[2].items[1].text, "a\"b");
        QCOMPARE(structure.items[3].kind, ImapValue::Kind::Nil);
        QCOMPARE(responses[6].kind, ImapResponse::Kind::Continuation);
        QCOMPARE(responses[7].tag, "a3");
        QCOMPARE(responses[7].code, "AUTHENTICATIONFAILED");
        QVERIFY(!whole.failed() && !bytewise.failed());
    }

    // The server's word on a literal's size, a line without end or lists within lists never make the reader hold
    // or recurse as much as the server likes: each is an error at once, and so is what is no IMAP.
    void sizesAServerCannotChoose()
    {
        for (const QByteArray &bad :
             {QByteArray("* 1 FETCH (BODY[] {4294967296}\r\n"), QByteArray("* 1 FETCH (BODY[] {9000000}\r\n"),
              QByteArray(QByteArray(500, '(') + QByteArray(500, ')') + "\r\n"), QByteArray("hello\r\n"),
              QByteArray("* 1 FETCH (UID 1\r\n")}) {
            ImapReader reader;
            reader.append(bad.startsWith('(') ? "* LIST " + bad : bad);
            QVERIFY2(!reader.next() && reader.failed(), bad.left(40).constData());
        }
        ImapReader endless;
        const QByteArray line(1024 * 1024, 'x');
        for (int i = 0; i < 9 && !endless.failed(); ++i) {
            endless.append(line);
            QVERIFY(!endless.next());
        }
        QVERIFY(endless.failed());
    }

    void uidSetsAndQuoting()
    {
        QCOMPARE(ImapUidSet({9, 1, 3, 2, 10, 7, 3}), "1:3,7,9:10");
        QCOMPARE(ImapQuoted("se\"c\\ret"), "\"se\\\"c\\\\ret\"");
        QVERIFY(!ImapQuoted("line\r\nbreak"));
        QVERIFY(!ImapQuoted("gr\xc3\xbc\xc3\x9f"));
    }

    // STARTTLS on the plain port and IMAPS, each learnt as TLS, with a password only a literal carries; a server
    // that is not trusted in clear shows the upgrade was taken. A wrong password is the server's refusal, and a
    // certificate nobody trusts ends the check.
    void tlsBothWaysAndAWrongPassword()
    {
        REQUIRE_DOVECOT();
        ImapMailbox mailbox;
        mailbox.trustLoopback = false;
        MailboxMemory memory;
        for (const char *scheme : {"imap", "imaps"}) {
            const AccountCheckResult result =
                checkAccount(mailbox, memory, {imap(scheme), u"ann"_s, u"gr\u00fc\u00dfe"_s, {}, {}});
            QVERIFY2(result.ok, qPrintable(result.error));
            QCOMPARE(result.learnt, u"TLS "_s + imap(scheme));
        }
        QCOMPARE(m_server->log().count(QRegularExpression(DovecotServer::loginPattern(u"ann"_s) + u".*TLS"_s)), 2);
        const AccountCheckResult wrong = checkAccount(mailbox, memory, {imap(), u"ann"_s, u"grusse"_s, {}, {}});
        QVERIFY(!wrong.ok);
        QVERIFY2(wrong.error.contains(u"Authentication failed"_s), qPrintable(wrong.error));
        Pop3Client::trustCertificates({});
        const AccountCheckResult untrusted =
            checkAccount(mailbox, memory, {imap("imaps"), u"ann"_s, u"gr\u00fc\u00dfe"_s, {}, {}});
        QVERIFY(!untrusted.ok);
        QCOMPARE(untrusted.socketError, QAbstractSocket::SslHandshakeFailedError);
    }

    // Through the mail check, as the program runs it: the first check shows what waits, encoded senders and
    // subjects decoded; the same mail again is not new; a message gone and another come is new by its UID though
    // the count stays, and is the one new message told; and nothing in the mailbox is marked read.
    void newMailByUidAndNothingMarkedRead()
    {
        REQUIRE_DOVECOT();
        QVERIFY(!m_server
                     ->deliver(u"ann"_s, "From: =?utf-8?q?J=C3=BCrgen?= <j@example.org>\r\n"
                                         "Subject: =?UTF-8?B?R3LDvMOfZQ==?=\r\n\r\nHallo\r\n")
                     .isEmpty());
        const QString second = m_server->deliver(u"ann"_s, note(1));
        TestAccounts accounts;
        accounts.list.append({imap(), u"ann"_s, u"gr\u00fc\u00dfe"_s, {}, {}});
        MailCheck check(accounts);
        QSignalSpy finished(&check, &MailCheck::finished);
        const auto pass = [&] { return check.start() && finished.wait(20000) && check.allOk(); };

        QVERIFY(pass());
        QVERIFY(check.newMail());
        QCOMPARE(check.total(), 2);
        QCOMPARE(check.notice(),
                 NoticeEntry(u"J\u00fcrgen <j@example.org>"_s, u"Gr\u00fc\u00dfe"_s, {}) + entries({1}));
        QVERIFY(pass());
        QVERIFY(!check.newMail());
        QVERIFY(m_server->remove(u"ann"_s, second));
        m_server->deliver(u"ann"_s, note(2));
        QVERIFY(pass());
        QVERIFY(check.newMail());
        QCOMPARE(check.total(), 2);
        QVERIFY(check.notice().endsWith(entries({2})));
        // The new message alone is what a notification tells.
        QCOMPARE(check.freshMessages().size(), 1);
        QCOMPARE(check.freshMessages()[0].subject, u"Note 2"_s);
        const QStringList seen = flags(u"ann"_s);
        QCOMPARE(seen.size(), 2);
        for (const QString &flag : seen)
            QVERIFY2(!flag.contains(u'S'), qPrintable(seen.join(u", "_s)));
    }

    // The mailbox made anew: its UIDs start again at 1 under another UIDVALIDITY. Nothing old counts as new, and the
    // senders and subjects are read again, not taken from the old UIDs.
    void uidValidityChangeAnnouncesNothingOld()
    {
        REQUIRE_DOVECOT();
        ImapMailbox mailbox;
        MailboxMemory memory;
        const MailAccount carl{imap(), u"carl"_s, u"secret"_s, {}, {}};
        const QString first = m_server->deliver(u"carl"_s, note(1));
        QVERIFY(checkAccount(mailbox, memory, carl).ok);
        QVERIFY(m_server->remove(u"carl"_s, first));
        m_server->deliver(u"carl"_s, note(2));
        m_server->deliver(u"carl"_s, note(3));
        QCOMPARE(checkAccount(mailbox, memory, carl).notice, entries({2, 3}));
        const std::optional<quint32> validity = memory.uidValidity;

        QDirIterator index(m_server->maildir(u"carl"_s), {u"dovecot-uidlist"_s, u"dovecot.index*"_s}, QDir::Files);
        while (index.hasNext())
            QVERIFY(QFile::remove(index.next()));
        const AccountCheckResult anew = checkAccount(mailbox, memory, carl);
        QVERIFY2(anew.ok, qPrintable(anew.error));
        QVERIFY(memory.uidValidity != validity);
        QVERIFY(!anew.newMail);
        QCOMPARE(anew.notice, entries({2, 3}));
    }

    // Folder names as IMAP writes them (RFC 3501 5.1.3) both ways; what is no modified UTF-7 is shown as it came.
    void folderNamesInModifiedUtf7()
    {
        const QList<std::pair<QString, QByteArray>> names = {
            {u"Entw\u00fcrfe"_s, "Entw&APw-rfe"},
            {u"~peter/mail/\u53f0\u5317/\u65e5\u672c\u8a9e"_s, "~peter/mail/&U,BTFw-/&ZeVnLIqe-"},
            {u"Tom & Jerry"_s, "Tom &- Jerry"},
            {u"\U0001F4E7 Post"_s, "&2D3c5w- Post"}};
        for (const auto &[name, encoded] : names) {
            QCOMPARE(ImapFolderEncoded(name), encoded);
            QCOMPARE(ImapFolderName(encoded), name);
        }
        for (const QByteArray &odd : {QByteArray("&Jjo!"), QByteArray("&AP"), QByteArray("&U,BTFw")})
            QCOMPARE(ImapFolderName(odd), QString::fromLatin1(odd));
    }

    // The folders as Dovecot lists them: each that can be opened, by the name commands take, a parent that only
    // holds others left out. A ticked folder's messages are in the notice with the folder's name, and one delivered
    // there later is new mail; one in a folder not ticked is neither. A ticked folder gone from the server is noted
    // and skipped; the account's check still succeeds.
    void tickedFoldersAreCheckedBesideInbox()
    {
        REQUIRE_DOVECOT();
        m_server->deliver(u"dora"_s, note(1));
        m_server->deliver(u"dora"_s, note(2), u"Lists"_s);
        m_server->deliver(u"dora"_s, note(3), u"Entw&APw-rfe"_s);
        m_server->deliver(u"dora"_s, note(4), u"Other"_s);
        m_server->makeFolder(u"dora"_s, u"Parent.Child"_s);

        ImapClient client;
        QSignalSpy opened(&client, &ImapClient::opened), listed(&client, &ImapClient::foldersListed);
        client.open(imap(), u"dora"_s, u"secret"_s, {});
        QVERIFY(opened.wait(10000));
        client.listFolders();
        QVERIFY(listed.wait(10000));
        QList<QByteArray> folders = client.folders();
        std::sort(folders.begin(), folders.end());
        QCOMPARE(folders, QList<QByteArray>({"Entw&APw-rfe", "INBOX", "Lists", "Other", "Parent.Child"}));
        client.close();

        ImapMailbox mailbox;
        MailboxMemory memory;
        const MailAccount dora{imap(), u"dora"_s, u"secret"_s, {}, {}, {u"Lists"_s, u"Entw&APw-rfe"_s, u"Gone"_s}};
        const AccountCheckResult first = checkAccount(mailbox, memory, dora);
        QVERIFY2(first.ok, qPrintable(first.error));
        QVERIFY(first.newMail);
        QCOMPARE(first.count, 3);
        const QString bob = u"Bob <bob@example.org>"_s;
        const QString shown = entries({1}) + NoticeEntry(bob, u"Note 2"_s, u" [Lists]"_s) +
                              NoticeEntry(bob, u"Note 3"_s, u" [Entw\u00fcrfe]"_s);
        QCOMPARE(first.notice.left(shown.size()), shown);
        QVERIFY2(first.notice.mid(shown.size())
                     .startsWith(u"Folder \"Gone\" could not be opened and was skipped: Mailbox doesn't exist"_s),
                 qPrintable(first.notice));
        m_server->deliver(u"dora"_s, note(5), u"Other"_s);
        QVERIFY(!checkAccount(mailbox, memory, dora).newMail);
        m_server->deliver(u"dora"_s, note(6), u"Lists"_s);
        const AccountCheckResult later = checkAccount(mailbox, memory, dora);
        QVERIFY(later.newMail);
        QCOMPARE(later.count, 4);
    }

    // A ticked folder made anew under another UIDVALIDITY: what it holds is not announced again, its headers are
    // read afresh, and a message delivered after that is new.
    void folderUidValidityChangeIsQuiet()
    {
        REQUIRE_DOVECOT();
        m_server->deliver(u"emil"_s, note(1), u"Lists"_s);
        ImapMailbox mailbox;
        MailboxMemory memory;
        const MailAccount emil{imap(), u"emil"_s, u"secret"_s, {}, {}, {u"Lists"_s}};
        QVERIFY(checkAccount(mailbox, memory, emil).newMail);
        m_server->deliver(u"emil"_s, note(2), u"Lists"_s);
        QVERIFY(checkAccount(mailbox, memory, emil).newMail);
        const quint32 validity = memory.folderValidity.value(u"Lists"_s);

        QDirIterator index(m_server->maildir(u"emil"_s) + u"/.Lists"_s, {u"dovecot-uidlist"_s, u"dovecot.index*"_s},
                           QDir::Files);
        while (index.hasNext())
            QVERIFY(QFile::remove(index.next()));
        // One that came meanwhile is taken as seen with the rest; none counts on the icon, unlike one after.
        m_server->deliver(u"emil"_s, note(3), u"Lists"_s);
        const MailboxMemory seen = memory;
        const AccountCheckResult anew = checkAccount(mailbox, memory, emil);
        QVERIFY2(anew.ok, qPrintable(anew.error));
        QVERIFY(memory.folderValidity.value(u"Lists"_s) != validity);
        QVERIFY(!anew.newMail);
        QCOMPARE(anew.notice, NoticeEntry(u"Bob <bob@example.org>"_s, u"Note 1"_s, u" [Lists]"_s) +
                                  NoticeEntry(u"Bob <bob@example.org>"_s, u"Note 2"_s, u" [Lists]"_s) +
                                  NoticeEntry(u"Bob <bob@example.org>"_s, u"Note 3"_s, u" [Lists]"_s));
        QCOMPARE(NewMessages(seen, memory), 0);
        m_server->deliver(u"emil"_s, note(4), u"Lists"_s);
        QVERIFY(checkAccount(mailbox, memory, emil).newMail);
        QCOMPARE(NewMessages(seen, memory), 1);
    }

    // What a scripted server does: a STARTTLS offer taken out after TLS was learnt, and LOGINDISABLED without TLS,
    // are refused before the password goes out, and a password goes in clear only on the user's word; a password with a
    // line break goes as a literal after the server's
    // "+"; a header literal that comes in two reads is read whole.
    void scriptedServers()
    {
        const QByteArray tagged = "{tag} OK done\r\n";
        for (const auto &[greeting, error] :
             {std::pair{QByteArray("* OK [CAPABILITY IMAP4rev1] fake\r\n"), u"offered encryption before"_s},
              std::pair{QByteArray("* OK [CAPABILITY IMAP4rev1 LOGINDISABLED] fake\r\n"), u"takes no password"_s}}) {
            FakeImapServer stripped(greeting);
            ImapMailbox mailbox;
            mailbox.trustLoopback = error.startsWith(u"takes"_s);
            MailboxMemory memory;
            const AccountCheckResult result = checkAccount(
                mailbox, memory, {stripped.address(), u"fay"_s, u"secret"_s, u"TLS "_s + stripped.address(), {}});
            QVERIFY2(!result.ok && result.error.contains(error), qPrintable(result.error));
            QVERIFY(!stripped.commands.join().contains("LOGIN"));
        }

        // A server elsewhere without TLS: the password goes only when the user says so, and the answer is kept.
        for (const bool send : {false, true}) {
            FakeImapServer plain("* OK [CAPABILITY IMAP4rev1] fake\r\n");
            plain.replies = {{"LOGIN", "{tag} NO [AUTHENTICATIONFAILED] no\r\n"}};
            ImapMailbox mailbox;
            mailbox.trustLoopback = false;
            QStringList asked;
            connect(&mailbox, &MailboxClient::clearTextQuestion, &mailbox, [&](const QString &host) {
                asked << host;
                mailbox.answerClearText(send);
            });
            MailboxMemory memory;
            const AccountCheckResult result =
                checkAccount(mailbox, memory, {plain.address(), u"fay"_s, u"secret"_s, {}, {}});
            QCOMPARE(asked, QStringList{u"127.0.0.1"_s});
            QCOMPARE(plain.commands.join().contains("LOGIN \"fay\" \"secret\""), send);
            QCOMPARE(result.learnt, (send ? u"Clear "_s : u"NoClear "_s) + plain.address());
        }

        FakeImapServer server("* OK [CAPABILITY IMAP4rev1] fake\r\n");
        server.replies = {
            {"LOGIN", tagged},
            {"EXAMINE", "* 1 EXISTS\r\n* OK [UIDVALIDITY 7] valid\r\n" + tagged},
            {"UID SEARCH", "* SEARCH 4\r\n" + tagged},
            {"UID FETCH", "* 1 FETCH (UID 4 BODY[HEADER.FIELDS (FROM SUBJECT DATE)] {29}\r\nFrom: Ann\r\nSub|"
                          "ject: Split\r\n\r\n)\r\n" +
                              tagged},
            {"LOGOUT", "* BYE bye\r\n" + tagged}};
        ImapMailbox mailbox;
        MailboxMemory memory;
        const AccountCheckResult result =
            checkAccount(mailbox, memory, {server.address(), u"fay"_s, u"sec\r\nret"_s, {}, {}});
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.notice, NoticeEntry(u"Ann"_s, u"Split"_s, {}));
        QVERIFY(server.commands.contains("a1 LOGIN \"fay\" {8}\r\nsec\r\nret"));
        QVERIFY(!server.commands.join().contains("SELECT"));
    }

    // Push through the mail check: an IMAP account is watched from the start, and a message delivered while its
    // connection idles is told within 5 s; the pass that follows announces it. A server silent in IDLE for longer
    // than any answer may take is no failure. A server without IDLE is left to the schedule: logged in to once,
    // never asked to IDLE.
    void pushTellsOfNewMailAtOnce()
    {
        REQUIRE_DOVECOT();
        FakeImapServer noIdle("* OK [CAPABILITY IMAP4rev1] fake\r\n");
        noIdle.replies = {{"LOGIN", "{tag} OK [CAPABILITY IMAP4rev1] in\r\n"},
                          {"EXAMINE", "* 0 EXISTS\r\n{tag} OK done\r\n"},
                          {"LOGOUT", "{tag} OK bye\r\n"}};
        TestAccounts accounts;
        m_server->makeFolder(u"dana"_s, u"Lists"_s);
        accounts.list = {{imap(), u"dana"_s, u"secret"_s, {}, {}, {u"Lists"_s}},
                         {noIdle.address(), u"fay"_s, u"x"_s, {}, {}}};
        MailCheck check(accounts);
        check.timeoutMs = 1000;
        QSignalSpy changed(&check, &MailCheck::pushChanged);
        QSignalSpy state(&check, &MailCheck::pushStateChanged);
        check.startPush();
        QVERIFY(state.wait(5000));
        QCOMPARE(state.takeFirst(), QVariantList({0, true, QString()}));
        QTRY_VERIFY_WITH_TIMEOUT(noIdle.commands.join(' ').contains("LOGIN"), 5000);
        QTest::qWait(1500);

        QElapsedTimer delivered;
        delivered.start();
        QVERIFY(!m_server->deliver(u"dana"_s, note(7)).isEmpty());
        QVERIFY(changed.wait(5000));
        QVERIFY2(delivered.elapsed() < 5000, qPrintable(QString::number(delivered.elapsed())));
        QCOMPARE(changed.first().first().toInt(), 0);
        QSignalSpy finished(&check, &MailCheck::finished);
        QVERIFY(check.start() && finished.wait(20000));
        QVERIFY(check.newMail());
        QCOMPARE(check.notice(), NoticeEntry(u"Bob <bob@example.org>"_s, u"Note 7"_s, AccountTag(2, imap())));
        QVERIFY2(!noIdle.commands.join(' ').contains("IDLE"), noIdle.commands.join(' ').constData());
        // A ticked folder is watched on a connection of its own.
        changed.clear();
        QVERIFY(!m_server->deliver(u"dana"_s, note(11), u"Lists"_s).isEmpty());
        QVERIFY(changed.wait(5000));
        QVERIFY(state.isEmpty());
    }

    // IDLE renewed on the connection it runs on: the server confirms each DONE and the next IDLE begins, with no new
    // login, and a message that comes after some renewals is still told.
    void idleIsRenewedOnTheSameConnection()
    {
        REQUIRE_DOVECOT();
        TestAccounts accounts;
        accounts.list = {{imap(), u"dana"_s, u"secret"_s, {}, {}}};
        ImapPush push(accounts, 0);
        push.renewMs = 200;
        QSignalSpy state(&push, &ImapPush::stateChanged);
        QSignalSpy changed(&push, &ImapPush::changed);
        const qsizetype logins = m_server->logins(u"dana"_s);
        push.start();
        QVERIFY(state.wait(5000));
        QVERIFY(push.isUp());
        auto *client = push.findChild<ImapClient *>();
        QVERIFY(client);
        QSignalSpy ended(client, &ImapClient::idleEnded);
        QTRY_VERIFY_WITH_TIMEOUT(ended.size() >= 3, 5000);
        QVERIFY(!m_server->deliver(u"dana"_s, note(8)).isEmpty());
        QVERIFY(changed.wait(5000));
        QTRY_COMPARE(m_server->logins(u"dana"_s), logins + 1);
        QCOMPARE(state.size(), 1);
    }

    // A server that takes the connection and says nothing: the check ends at the time-out, as a time-out.
    void silentServer()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        ImapMailbox mailbox;
        mailbox.timeoutMs = 300;
        MailboxMemory memory;
        const AccountCheckResult result = checkAccount(
            mailbox, memory, {u"imap://127.0.0.1:"_s + QString::number(silent.serverPort()), u"fay"_s, u"x"_s, {}, {}});
        QVERIFY(!result.ok);
        QCOMPARE(result.socketError, QAbstractSocket::SocketTimeoutError);
    }

    // The server goes away under an idling connection (it runs again for the tests after): the watcher says so with
    // the back-off's first step and tries again after 2 s, then 4 s. Once the server is back, reconnectNow() comes up
    // without waiting out the next 8 s and tells of what came meanwhile; a message after that is told as before.
    void pushComesBackAfterTheServerRestarts()
    {
        REQUIRE_DOVECOT();
        TestAccounts accounts;
        accounts.list = {{imap(), u"dana"_s, u"secret"_s, {}, {}}};
        ImapPush push(accounts, 0);
        QSignalSpy state(&push, &ImapPush::stateChanged);
        QSignalSpy changed(&push, &ImapPush::changed);
        push.start();
        QVERIFY(state.wait(5000));
        QVERIFY(push.isUp());

        m_server->stop();
        QStringList said;
        for (const char *step : {"2 s", "4 s", "8 s"}) {
            QVERIFY2(state.wait(step[0] == '2' ? 5000 : 7000), qPrintable(said.join(u" | "_s)));
            said << state.last().at(2).toString();
            QVERIFY(!state.last().at(1).toBool());
            QVERIFY2(said.last().startsWith(u"Push connection lost, retrying in "_s + QLatin1String(step)),
                     qPrintable(said.join(u" | "_s)));
        }
        QElapsedTimer down;
        down.start();
        QVERIFY(!m_server->deliver(u"dana"_s, note(9)).isEmpty());
        QString why;
        QVERIFY2(m_server->start(&why), qPrintable(why));
        push.reconnectNow();
        QVERIFY(state.wait(5000));
        QVERIFY(push.isUp());
        QVERIFY2(down.elapsed() < 6000, qPrintable(QString::number(down.elapsed())));
        QCOMPARE(changed.size(), 1);
        QVERIFY(!m_server->deliver(u"dana"_s, note(10)).isEmpty());
        QVERIFY(changed.wait(5000));
    }
};

QTEST_GUILESS_MAIN(tst_Imap)
#include "tst_Imap.moc"
