// SPDX-License-Identifier: GPL-3.0-or-later
// Reading what mail servers send (addresses, status lines, multi-line answers, headers with encoded words); the POP3
// client and one account's check against a real Dovecot on loopback; and the client against a scripted server for
// missing commands, servers without TLS and TLS upgrades that go wrong. No display is needed.
#include "Pop3TestServer.h"
#include "mail/AccountCheck.h"
#include "mail/MailText.h"
#include "mail/Pop3Client.h"

#include <QRegularExpression>
#include <QTest>
#include <algorithm>

#define VERIFY_OK(client) QVERIFY2((client).PopStatus == 0, qPrintable((client).PopLastError))

namespace {

QByteArray note(int n)
{
    return "From: Bob <bob@example.org>\nSubject: Note " + QByteArray::number(n) + "\n\nbody of the note\n";
}
// The notice's entries for the notes given, with the account's tag.
QString entries(std::initializer_list<int> notes, const QString &tag = {})
{
    QString text;
    for (int n : notes)
        text += NoticeEntry(u"Bob <bob@example.org>"_s, u"Note %1"_s.arg(n), tag);
    return text;
}

void open(Pop3Client &client, const QString &server, const QString &user, const QString &password)
{
    client.PopServer = server;
    client.PopUserName = user;
    client.PopPassword = password;
    client.PopOpen();
}

} // namespace

class tst_Pop3Client : public QObject {
    Q_OBJECT

    LocalhostCertificate m_tls;
    std::unique_ptr<DovecotServer> m_dovecot; // STLS on the plain port, and POP3S

    // "{plain}" and "{tls}" stand for Dovecot's ports.
    QString withPorts(QString server) const
    {
        return server.replace(u"{plain}"_s, QString::number(m_dovecot->plainPort))
            .replace(u"{tls}"_s, QString::number(m_dovecot->tlsPort));
    }
    qsizetype logged(const QString &pattern) const { return m_dovecot->log().count(QRegularExpression(pattern)); }

#define REQUIRE_DOVECOT()                                                                                              \
    if (!m_dovecot)                                                                                                    \
    QSKIP("Dovecot is not installed at /usr/sbin/dovecot")

private Q_SLOTS:
    void serverAddresses_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("address"); // empty: not an address
        QTest::newRow("host") << u"pop.example.org"_s << u"pop.example.org 110"_s;
        QTest::newRow("host:port") << u" pop.example.org:1110 "_s << u"pop.example.org 1110"_s;
        QTest::newRow("pop3s") << u"pop3s://pop.example.org"_s << u"pop.example.org 995 TLS"_s;
        QTest::newRow("IPv6 with port") << u"[::1]:1110"_s << u"::1 1110"_s;
        QTest::newRow("bare IPv6") << u"fe80::1"_s << u"fe80::1 110"_s;
        QTest::newRow("placeholder") << u"- Internetaddress to mailserver"_s << QString();
        QTest::newRow("port out of range") << u"host:70000"_s << QString();
        QTest::newRow("empty") << QString() << QString();
    }
    void serverAddresses()
    {
        QFETCH(QString, server);
        QFETCH(QString, address);
        const std::optional<PopAddress> parsed = ParsePopAddress(server);
        QCOMPARE(parsed
                     ? u"%1 %2%3"_s.arg(parsed->host).arg(parsed->port).arg(parsed->implicitTls ? u" TLS"_s : QString())
                     : QString(),
                 address);
    }

    // What the sessions below do not show: answers a server should not give.
    void answers()
    {
        QCOMPARE(ParsePopStatus("-ERR [AUTH] Authentication failed.\r\n")->text, u"[AUTH] Authentication failed."_s);
        QVERIFY(!ParsePopStatus("* OK IMAP4rev1\r\n"));
        QVERIFY(!ParseStatCount(u"many"_s));

        QVERIFY(!ParseMultiLine("1 abc\r\n2 def\r\n"));
        QCOMPARE(*ParseMultiLine("Subject: x\r\n..hidden dot\r\n\r\n.\r\n"),
                 (QList<QByteArray>{"Subject: x", ".hidden dot", ""}));
        QCOMPARE(*ParseMultiLine(".\r\n"), QList<QByteArray>());
        QVERIFY(!ParseUidl({"1 aaa", "3 bbb"}, 2));
        QVERIFY(!ParseUidl({"1 aaa"}, 2));
    }

    void headers_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("subject");
        QTest::newRow("UTF-8 B") << "Subject: =?UTF-8?B?S8OkcyB1bmQg8J+YgA==?=\r\nFrom: x\r\n"_ba << u"x"_s
                                 << u"Käs und 😀"_s;
        QTest::newRow("ISO-8859-1 Q") << "from: =?iso-8859-1?q?J=F6rg_M=FCller?= <j@example.org>\r\nSUBJECT: Gr=\r\n"_ba
                                      << u"Jörg Müller <j@example.org>"_s << u"Gr="_s;
        QTest::newRow("folded, words joined")
            << "Subject: =?UTF-8?Q?first?=\r\n =?UTF-8?Q?_second?= and\r\n\tmore\r\n"_ba << QString()
            << u"first second and\tmore"_s;
        QTest::newRow("ISO-8859-15 and Windows-1252")
            << "Subject: =?ISO-8859-15?Q?=A4?= =?windows-1252?Q?=80?= x\r\n"_ba << QString() << u"€€ x"_s;
        QTest::newRow("unknown charset left as it is")
            << "Subject: =?x-unknown?Q?abc?=\r\n"_ba << QString() << u"=?x-unknown?Q?abc?="_s;
        QTest::newRow("body not read") << "Subject: a\r\n\r\nFrom: not a header\r\n"_ba << QString() << u"a"_s;
        QTest::newRow("8-bit Latin-1 header") << "Subject: Gr\xfc\xdf\x65\r\n"_ba << QString() << u"Grüße"_s;
    }
    void headers()
    {
        QFETCH(QByteArray, header);
        QFETCH(QString, from);
        QFETCH(QString, subject);
        QCOMPARE(HeaderField(header, "From"), from);
        QCOMPARE(HeaderField(header, "Subject"), subject);
    }

    void initTestCase()
    {
        QVERIFY2(m_tls.error.isEmpty(), qPrintable(m_tls.error));
        if (!DovecotServer::installed())
            return;
        m_dovecot = std::make_unique<DovecotServer>(true, m_tls.dir.path());
        m_dovecot->addUser(u"anna"_s, u"secret"_s);
        m_dovecot->addUser(u"bert"_s, u"secret"_s);
        for (int n = 1; n <= 3; ++n)
            QVERIFY(!m_dovecot->deliver(u"anna"_s, note(n)).isEmpty());
        QString why;
        QVERIFY2(m_dovecot->start(&why), qPrintable(why));
    }
    void init()
    {
        Pop3Client::trustCertificates({m_tls.certificate});
    }
    void cleanupTestCase()
    {
        m_dovecot.reset();
        Pop3Client::trustCertificates({});
    }

    // Every form of address reads the same mailbox, encrypted, by the headers alone.
    void dovecotSessions_data()
    {
        QTest::addColumn<QString>("server");
        QTest::newRow("host:port, STLS") << u"127.0.0.1:{plain}"_s;
        QTest::newRow("pop3s, address") << u"pop3s://127.0.0.1:{tls}"_s;
        QTest::newRow("pop3s, name") << u"POP3S://localhost:{tls}/"_s;
        QTest::newRow("host:port by name, STLS") << u"localhost:{plain}"_s;
        QTest::newRow("pop3://, STLS") << u"pop3://127.0.0.1:{plain}"_s;
    }
    void dovecotSessions()
    {
        REQUIRE_DOVECOT();
        QFETCH(QString, server);
        // Dovecot logs each session's login and, at its end, what was read.
        const QString tlsLogin = u"Login: user=<anna>.*, TLS"_s,
                      headersOnly = u"pop3\\(anna\\).*top=3/\\d+, retr=0/0"_s;
        const qsizetype logins = logged(tlsLogin), sessions = logged(headersOnly);
        Pop3Client client;
        MailboxMemory memory;
        const AccountCheckResult result =
            CheckAccount(client, memory, {withPorts(server), u"anna"_s, u"secret"_s, {}, {}});
        QVERIFY2(result.errorNumber == 0, qPrintable(result.error));
        QCOMPARE(result.notice, entries({1, 2, 3}));
        QTRY_COMPARE(logged(tlsLogin), logins + 1);
        QTRY_COMPARE(logged(headersOnly), sessions + 1);
    }

    // Mail is new when the mailbox holds a message the last check did not see, whatever the count does. The
    // server's TLS is learnt once, with the server it came from.
    void newMailIsWhatWasNotThereBefore()
    {
        REQUIRE_DOVECOT();
        const QString server = withPorts(u"127.0.0.1:{plain}"_s);
        QStringList files;
        for (int n = 1; n <= 3; ++n)
            files << m_dovecot->deliver(u"bert"_s, note(n));
        Pop3Client client;
        MailboxMemory memory;
        AccountCheck account{server, u"bert"_s, u"secret"_s, {}, u" (b)"_s};
        AccountCheckResult result = CheckAccount(client, memory, account);
        QVERIFY2(result.errorNumber == 0, qPrintable(result.error));
        QVERIFY(result.newMail);
        QCOMPARE(result.count, 3);
        QCOMPARE(result.notice, entries({1, 2, 3}, u" (b)"_s));
        QCOMPARE(result.learnt, u"TLS "_s + server);

        account.learnt = *result.learnt;
        result = CheckAccount(client, memory, account); // the same three
        QVERIFY(!result.newMail);
        QCOMPARE(result.learnt, std::nullopt);
        QCOMPARE(result.notice, entries({1, 2, 3}, u" (b)"_s));

        // One read elsewhere and one come in: the count is the same, the mail is new all the same.
        QVERIFY(m_dovecot->remove(u"bert"_s, files[0]));
        m_dovecot->deliver(u"bert"_s, note(4));
        result = CheckAccount(client, memory, account);
        QVERIFY(result.newMail);
        QCOMPARE(result.notice, entries({2, 3, 4}, u" (b)"_s));
        // Only one read elsewhere: nothing new.
        QVERIFY(m_dovecot->remove(u"bert"_s, files[1]));
        result = CheckAccount(client, memory, account);
        QVERIFY(!result.newMail);
        QCOMPARE(result.count, 2);

        // What was learnt from another server counts for nothing here.
        account.learnt = u"TLS mail.example.org"_s;
        QCOMPARE(CheckAccount(client, memory, account).learnt, u"TLS "_s + server);
    }

    // Nothing is read from a server whose certificate is not trusted, nor after the server refused the password;
    // a failed handshake ends the session at once, never by a time-out.
    void refusedSessions_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("error");
        QTest::newRow("STLS, untrusted") << u"127.0.0.1:{plain}"_s << u"secret"_s << u"certificate"_s;
        QTest::newRow("pop3s, untrusted") << u"pop3s://127.0.0.1:{tls}"_s << u"secret"_s << u"certificate"_s;
        QTest::newRow("wrong password") << u"127.0.0.1:{plain}"_s << u"guess"_s << u"[AUTH] Authentication failed."_s;
    }
    void refusedSessions()
    {
        REQUIRE_DOVECOT();
        QFETCH(QString, server);
        QFETCH(QString, password);
        QFETCH(QString, error);
        if (error == u"certificate"_s)
            Pop3Client::trustCertificates({});
        const qsizetype logins = m_dovecot->log().count(u"Login: user=<anna>"_s);
        Pop3Client client;
        client.timeoutMs = 5'000;
        open(client, withPorts(server), u"anna"_s, password);
        QCOMPARE(client.PopStatus, 1);
        QVERIFY2(client.PopLastError.contains(error, Qt::CaseInsensitive), qPrintable(client.PopLastError));
        QCOMPARE(client.PopMessageCount, 0);
        QVERIFY(client.PopUniqueIds.isEmpty());
        QCOMPARE(m_dovecot->log().count(u"Login: user=<anna>"_s), logins);
    }

    void headerByRetrWhereTopIsRefused()
    {
        FakePop3Server server;
        server.replies = {{"CAPA", "+OK\r\nUSER\r\nUIDL\r\n.\r\n"},
                          {"USER", "+OK\r\n"},
                          {"PASS", "+OK\r\n"},
                          {"STAT", "+OK 2 320\r\n"},
                          {"UIDL", "+OK\r\n1 first-id\r\n2 second-id\r\n.\r\n"},
                          {"RETR", "+OK\r\nFrom: =?UTF-8?Q?J=C3=B6rg?= <j@example.org>\r\nSubject: By RETR\r\n\r\n"
                                   "Body text\r\n..dotted\r\n.\r\n"},
                          {"QUIT", "+OK bye\r\n"}};
        Pop3Client client;
        client.timeoutMs = 2'000;
        open(client, server.address(), u"anna"_s, u"pw"_s);
        VERIFY_OK(client);
        QCOMPARE(client.PopMessageCount, 2);
        QCOMPARE(client.PopUniqueIds, (QStringList{u"first-id"_s, u"second-id"_s}));
        client.PopFetchHeader(1);
        VERIFY_OK(client);
        QVERIFY(!client.header().contains("Body"));
        client.PopParseHeader();
        QCOMPARE(client.PopFrom, u"Jörg <j@example.org>"_s);
        QCOMPARE(client.PopSubject, u"By RETR"_s);
        // Refused once, TOP is not asked for again.
        client.PopFetchHeader(2);
        QCOMPARE(client.PopStatus, 0);
        client.PopEndListing();
        QCOMPARE(std::count_if(server.commands.cbegin(), server.commands.cend(),
                               [](const QByteArray &c) { return c.startsWith("TOP"); }),
                 1);
        QCOMPARE(server.commands.constLast(), "QUIT");
        // Opened again, the client starts afresh on a connection of its own.
        client.PopOpen();
        QCOMPARE(client.PopUniqueIds.size(), 2);
    }

    // Played as a server elsewhere. The credentials go only encrypted: a refused STLS ends the session, a server
    // that had TLS and lost it is refused, neither with a question, and after a good upgrade everything is asked
    // anew inside TLS, a server without CAPA being asked for STLS all the same.
    void stls_data()
    {
        QTest::addColumn<QByteArray>("capa");
        QTest::addColumn<QByteArray>("stls");
        QTest::addColumn<QString>("learnt"); // what the account knew of the server's encryption
        QTest::addColumn<QString>("error");  // empty: the upgrade works
        const QByteArray withStls = "+OK\r\nSTLS\r\nUSER\r\nUIDL\r\n.\r\n";
        QTest::newRow("STLS refused") << withStls << "-ERR not now\r\n"_ba << QString() << u"not now"_s;
        QTest::newRow("TLS lost") << "+OK\r\nUSER\r\n.\r\n"_ba << QByteArray() << u"TLS"_s
                                  << u"offered encryption before"_s;
        QTest::newRow("clean") << withStls << "+OK begin TLS\r\n"_ba << QString() << QString();
        QTest::newRow("no CAPA") << "-ERR what?\r\n"_ba
                                 << "+OK begin TLS\r\n"_ba << QString() << QString();
        // Whatever came in clear before the handshake may be a third party's and must not be read as an answer.
        QTest::newRow("bytes after the STLS answer")
            << withStls << "+OK begin TLS\r\n-ERR injected\r\n"_ba << QString() << QString();
    }
    void stls()
    {
        QFETCH(QByteArray, capa);
        QFETCH(QByteArray, stls);
        QFETCH(QString, learnt);
        QFETCH(QString, error);
        FakePop3Server server;
        server.certificate = m_tls.certificate;
        server.key = m_tls.key;
        server.replies = {{"CAPA", capa},      {"STLS", stls},           {"USER", "+OK\r\n"},
                          {"PASS", "+OK\r\n"}, {"STAT", "+OK 1 20\r\n"}, {"UIDL", "+OK\r\n1 x\r\n.\r\n"}};
        int asked = 0;
        Pop3Client client;
        client.trustLoopback = false;
        client.askClearText = [&](const QString &) { return ++asked > 0; };
        client.PopEncryption = learnt;
        open(client, server.address(), u"anna"_s, u"pw"_s);
        QCOMPARE(asked, 0);
        if (!error.isEmpty()) {
            QCOMPARE(client.PopStatus, 1);
            QVERIFY2(client.PopLastError.contains(error), qPrintable(client.PopLastError));
            const QByteArray heard = server.commands.join(' ');
            QVERIFY2(!heard.contains("USER") && !heard.contains("PASS"), heard.constData());
            return;
        }
        VERIFY_OK(client);
        QCOMPARE(client.PopEncryption, u"TLS"_s);
        QCOMPARE(client.PopUniqueIds, QStringList{u"x"_s});
        QCOMPARE(server.commands,
                 (QByteArrayList{"CAPA", "STLS", "tls:CAPA", "tls:USER anna", "tls:PASS pw", "tls:STAT", "tls:UIDL"}));
    }
};

QTEST_GUILESS_MAIN(tst_Pop3Client)
#include "tst_Pop3Client.moc"
