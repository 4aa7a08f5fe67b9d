// SPDX-License-Identifier: GPL-3.0-or-later
// The mail check without a display: passes over several accounts against a real Dovecot on loopback (what is new,
// the notice's lines, failures and their causes, a silent server, a stop), the schedule, the question before a
// password goes in clear; the POP3 client and one mailbox's check against Dovecot and against a scripted server for
// missing commands, servers without TLS and TLS upgrades that go wrong; and reading what mail servers send.
#include "Pop3TestServer.h"
#include "mail/DialupRules.h"
#include "mail/MailCheck.h"
#include "mail/MailProgram.h"
#include "mail/MailText.h"
#include "mail/Pop3Client.h"
#include "mail/Pop3Mailbox.h"
#include "platform/Clock.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Bob's note n.
QByteArray note(int n)
{
    return mailMessage("Bob <bob@example.org>", "Note " + QByteArray::number(n));
}
// The rows of one table in mail_tables.txt, each split into its fields.
QList<QStringList> table(const QString &name)
{
    QFile file(QFINDTESTDATA("mail_tables.txt"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read mail_tables.txt");
    static const QRegularExpression outerBlanks(u"^ | $"_s);
    QList<QStringList> rows;
    bool inTable = false;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.startsWith(u'['))
            inTable = line.startsWith(u'[' + name + u']');
        else if (inTable && !line.isEmpty() && !line.startsWith(u'#'))
            rows << QString(line)
                        .replace(u"\\r"_s, u"\r"_s)
                        .replace(u"\\n"_s, u"\n"_s)
                        .replace(u"\\t"_s, u"\t"_s)
                        .split(u'|');
    }
    for (QStringList &row : rows)
        for (QString &field : row)
            field.remove(outerBlanks);
    return rows;
}
// A scripted server that answers as the table of that name in mail_tables.txt says.
void script(FakePop3Server &server, const QString &name)
{
    for (const QStringList &row : table(name))
        server.replies.insert(row[0].toLatin1(), row[1].toLatin1());
}
// The notice's entries for the notes given, with the account's tag.
QString entries(std::initializer_list<int> notes, const QString &tag = {})
{
    QString text;
    for (int n : notes)
        text += NoticeEntry(u"Bob <bob@example.org>"_s, u"Note %1"_s.arg(n), tag);
    return text;
}

// Waits for the outcome of the client's call: true when it worked, false when it failed.
bool settled(Pop3Client &client)
{
    QSignalSpy failed(&client, &Pop3Client::failed);
    QSignalSpy opened(&client, &Pop3Client::opened);
    QSignalSpy fetched(&client, &Pop3Client::headerFetched);
    QSignalSpy ended(&client, &Pop3Client::listingEnded);
    const bool came = QTest::qWaitFor(
        [&] { return !(failed.isEmpty() && opened.isEmpty() && fetched.isEmpty() && ended.isEmpty()); }, 20000);
    return came && failed.isEmpty();
}

// One mailbox's check to its end.
AccountCheckResult checkAccount(Pop3Mailbox &mailbox, MailboxMemory &memory, const MailAccount &account)
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

// Accounts as the test sets them; one without a password stands for one the keyring would not give. What an
// account learns is kept, as the settings keep it.
class TestAccounts : public MailAccounts {
public:
    int count() const override { return int(list.size()); }
    MailAccount account(int index) const override
    {
        MailAccount account = list.value(index);
        account.password.clear();
        return account;
    }
    void password(int index, QObject *, PasswordAnswer answer) override
    {
        if (withoutPassword.contains(index))
            answer(std::nullopt, u"The keyring did not give the password"_s);
        else
            answer(list.value(index).password, QString());
    }
    QList<MailAccount> list;
    QSet<int> withoutPassword;
};

// The engine over the test's accounts, its signals written down as they come.
struct Engine {
    Engine()
    {
        QObject::connect(&check, &MailCheck::accountStarted, &check,
                         [this](int index, const QString &) { events << u"start %1"_s.arg(index); });
        QObject::connect(&check, &MailCheck::accountChecked, &check, [this](int index, const QString &, int count) {
            events << u"checked %1: %2"_s.arg(index).arg(count);
        });
        QObject::connect(&check, &MailCheck::accountFailed, &check, [this](int index, const MailFailure &failure) {
            events << u"failed %1"_s.arg(index);
            failures << failure;
        });
        QObject::connect(&check, &MailCheck::encryptionLearnt, &check, [this](int index, const QString &learnt) {
            events << u"learnt %1"_s.arg(index);
            accounts.list[index].learnt = learnt;
        });
        QObject::connect(&check, &MailCheck::finished, &check, [this] { events << u"finished"_s; });
    }
    void add(const QString &server, const QString &user, const QString &password = u"secret"_s)
    {
        accounts.list.append({server, user, password, {}, {}});
    }
    // Runs a pass to its end; false when it never ended.
    bool pass()
    {
        events.clear();
        failures.clear();
        QSignalSpy finished(&check, &MailCheck::finished);
        return check.start() && finished.wait(30000);
    }

    TestAccounts accounts;
    MailCheck check{accounts};
    QStringList events;
    QList<MailFailure> failures;
};

} // namespace

class tst_MailCheck : public QObject {
    Q_OBJECT

    std::unique_ptr<DovecotServer> m_server;

#define REQUIRE_DOVECOT()                                                                                              \
    if (!m_server)                                                                                                     \
    QSKIP("Dovecot is not installed (scripts/install-deps.sh test installs it)")

    // "{plain}" and "{tls}" stand for Dovecot's ports.
    QString withPorts(QString server) const
    {
        return server.replace(u"{plain}"_s, QString::number(m_server->plainPort))
            .replace(u"{tls}"_s, QString::number(m_server->tlsPort));
    }
    QString plain() const
    {
        return withPorts(u"127.0.0.1:{plain}"_s);
    }
    qsizetype logged(const QString &pattern) const
    {
        return m_server->log().count(QRegularExpression(pattern));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!DovecotServer::installed())
            return;
        m_server = std::make_unique<DovecotServer>(true);
        // A user of its own for each test, with the password "secret".
        for (const char *user : {"bert", "cleo", "dora", "hank", "ivan", "jack", "kate", "lena"})
            m_server->addUser(QString::fromLatin1(user), u"secret"_s);
        for (int n = 1; n <= 3; ++n)
            QVERIFY(!m_server->deliver(u"ivan"_s, note(n)).isEmpty());
        QString why;
        QVERIFY2(m_server->start(&why), qPrintable(why));
    }
    void init()
    {
        // Dovecot's and the scripted server's certificate; a test of one not trusted drops it.
        Pop3Client::trustCertificates(QSslCertificate::fromPath(DovecotServer::Here.filePath(u"cert.pem"_s)));
    }

    // Each account in turn, tagged in the notice where there are several; what an account's server teaches about
    // TLS is told once. The same mail again is not new, and after forget() all of it is. A failing account is
    // told with its cause (the server's refusal, no password, the socket's own error) and the pass goes on; an
    // account without its password is never logged in to, and a failed account's mail is all new at its next
    // good check.
    void aPassChecksEveryAccountInTurn()
    {
        REQUIRE_DOVECOT();
        Engine engine;
        const QString pop3s = withPorts(u"pop3s://127.0.0.1:{tls}"_s);
        for (const QString &user : {u"bert"_s, u"cleo"_s, u"dora"_s}) {
            m_server->deliver(user, mailMessage(user.toUtf8() + "@example.org", "Hi " + user.toUtf8()));
            engine.add(user == u"dora"_s ? pop3s : plain(), user);
        }
        QVERIFY(engine.pass());
        QCOMPARE(engine.events,
                 (QStringList{u"start 0"_s, u"learnt 0"_s, u"checked 0: 1"_s, u"start 1"_s, u"learnt 1"_s,
                              u"checked 1: 1"_s, u"start 2"_s, u"learnt 2"_s, u"checked 2: 1"_s, u"finished"_s}));
        QCOMPARE(engine.accounts.list[2].learnt, u"TLS "_s + pop3s);
        const QString tag = u" ("_s + plain() + u')';
        const QString notice = NoticeEntry(u"bert@example.org"_s, u"Hi bert"_s, tag) +
                               NoticeEntry(u"cleo@example.org"_s, u"Hi cleo"_s, tag) +
                               NoticeEntry(u"dora@example.org"_s, u"Hi dora"_s, u" ("_s + pop3s + u')');
        QCOMPARE(engine.check.notice(), notice);
        QVERIFY(engine.check.newMail() && engine.check.allOk());
        QCOMPARE(engine.check.total(), 3);

        QVERIFY(engine.pass());
        QCOMPARE(engine.events.size(), 7); // nothing learnt again
        QVERIFY(!engine.check.newMail());
        QCOMPARE(engine.check.notice(), notice);
        engine.check.forget();
        QVERIFY(engine.pass());
        QVERIFY(engine.check.newMail());

        // A wrong password, no password, and a port nobody listens on.
        engine.accounts.list[1].password = u"guess"_s;
        engine.accounts.withoutPassword = {2};
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        engine.add(u"127.0.0.1:"_s + QString::number(closed.serverPort()), u"bert"_s);
        closed.close();
        QTRY_COMPARE(m_server->logins(u"dora"_s), 3); // once a pass; Dovecot logs a session once it is over
        QVERIFY(engine.pass());
        QCOMPARE(engine.events, (QStringList{u"start 0"_s, u"checked 0: 1"_s, u"start 1"_s, u"failed 1"_s, u"start 2"_s,
                                             u"failed 2"_s, u"start 3"_s, u"failed 3"_s, u"finished"_s}));
        QVERIFY(!engine.check.allOk());
        QCOMPARE(engine.failures[0].why, u"[AUTH] Authentication failed."_s);
        QCOMPARE(engine.failures[0].server, plain());
        QCOMPARE(engine.failures[0].socketError, QAbstractSocket::UnknownSocketError);
        QVERIFY(engine.failures[1].noPassword);
        QCOMPARE(engine.failures[1].why, u"The keyring did not give the password"_s);
        QCOMPARE(engine.failures[2].socketError, QAbstractSocket::ConnectionRefusedError);
        QVERIFY(!engine.failures[2].noPassword);
        QCOMPARE(engine.check.notice(), NoticeEntry(u"bert@example.org"_s, u"Hi bert"_s, tag));

        engine.accounts.list[1].password = u"secret"_s;
        engine.accounts.withoutPassword.clear();
        engine.accounts.list.removeLast();
        QVERIFY(engine.pass());
        QVERIFY(engine.check.newMail() && engine.check.allOk());
        QCOMPARE(engine.check.mailboxes[1].lastCount, 1);
        QTRY_COMPARE(m_server->logins(u"dora"_s), 4); // only now
    }

    // Each account's count: what its last good check found new, and what came since the user last read, which a
    // check the user asks for (everything told again) does not count twice; a failed check keeps the last count.
    void eachAccountCountsWhatCameSinceTheUserRead()
    {
        REQUIRE_DOVECOT();
        struct : platform::ClockSource {
            QDateTime now() const override { return {{2026, 12, 7}, {21, 4, 50}}; }
        } clock;
        platform::Clock::install(&clock);
        const auto restore = qScopeGuard([] { platform::Clock::install(nullptr); });
        Engine engine;
        engine.add(plain(), u"kate"_s);
        engine.add(plain(), u"lena"_s);
        const auto counts = [&engine]() -> QString {
            QStringList seen;
            for (int index : {0, 1})
                seen << u"%1/%2"_s.arg(engine.check.news(index).fresh).arg(engine.check.news(index).sinceRead);
            return seen.join(u' ') + u" = "_s + QString::number(engine.check.newSinceRead());
        };
        m_server->deliver(u"kate"_s, note(1));
        QVERIFY(engine.pass());
        QCOMPARE(counts(), u"1/1 0/0 = 1"_s);
        QCOMPARE(engine.check.news(1).checked, clock.now());

        m_server->deliver(u"kate"_s, note(2));
        m_server->deliver(u"lena"_s, note(3));
        QVERIFY(engine.pass());
        QCOMPARE(counts(), u"1/2 1/1 = 3"_s);
        engine.check.forget();
        QVERIFY(engine.pass());
        QCOMPARE(counts(), u"2/2 1/1 = 3"_s);

        engine.check.markRead();
        QCOMPARE(engine.check.newSinceRead(), 0);
        engine.check.forget();
        m_server->deliver(u"lena"_s, note(4));
        engine.accounts.list[0].password = u"guess"_s;
        QVERIFY(engine.pass());
        QCOMPARE(counts(), u"2/0 2/1 = 1"_s);
    }

    // A server that never answers ends its own account's check in time, with events running meanwhile; the next
    // account is still checked. A pass runs one at a time; a stopped one says nothing more and a new one runs.
    void aSilentServerEndsOnlyItsAccountAndAStopEndsThePass()
    {
        REQUIRE_DOVECOT();
        QTcpServer silent; // takes the connection and never says a word
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        Engine engine;
        engine.check.timeoutMs = 700;
        engine.add(u"127.0.0.1:"_s + QString::number(silent.serverPort()), u"hank"_s);
        engine.add(plain(), u"hank"_s);
        int ticks = 0;
        QTimer alive;
        QObject::connect(&alive, &QTimer::timeout, &alive, [&ticks] { ++ticks; });
        alive.start(50);

        QVERIFY(engine.pass());
        QCOMPARE(engine.events, (QStringList{u"start 0"_s, u"failed 0"_s, u"start 1"_s, u"learnt 1"_s,
                                             u"checked 1: 0"_s, u"finished"_s}));
        QCOMPARE(engine.failures[0].socketError, QAbstractSocket::SocketTimeoutError);
        QVERIFY2(engine.failures[0].why.startsWith(u"No answer"_s), qPrintable(engine.failures[0].why));
        QVERIFY(ticks >= 10);

        engine.events.clear();
        QVERIFY(engine.check.start());
        QVERIFY(!engine.check.start());
        QTRY_COMPARE(engine.events, QStringList{u"start 0"_s});
        engine.check.stop();
        QVERIFY(!engine.check.isChecking());
        QTest::qWait(1500); // past the silent server's time-out
        QCOMPARE(engine.events, QStringList{u"start 0"_s});
        engine.accounts.list.removeFirst();
        QVERIFY(engine.pass());
        QCOMPARE(engine.events, (QStringList{u"start 0"_s, u"checked 0: 0"_s, u"finished"_s}));
    }

    // Every "minutes"-th minute is due, none with 0; quiet hours and a pass still running skip a due minute.
    void theScheduleCountsMinutes()
    {
        Engine engine;
        QList<bool> due;
        for (int minute = 0; minute < 3; ++minute)
            due << engine.check.minutePassed(0, false);
        for (int minute = 0; minute < 6; ++minute)
            due << engine.check.minutePassed(3, minute == 5);
        QCOMPARE(due, (QList<bool>{false, false, false, false, false, true, false, false, false}));
        engine.add(u"- Internetaddress to mailserver"_s, QString());
        QVERIFY(engine.check.start());
        QVERIFY(!engine.check.minutePassed(1, false));
        QTRY_VERIFY(!engine.check.isChecking());
        QCOMPARE(engine.events, QStringList{u"finished"_s}); // a fresh install's placeholder is never tried
        QVERIFY(engine.check.minutePassed(1, false));
    }

    // A server elsewhere without TLS: the question comes before the password would go, the answer is kept with
    // the server, and a kept answer is not asked again. Answered inside the question's signal, as a message box
    // would.
    void theQuestionBeforeAPasswordGoesInClear()
    {
        FakePop3Server server;
        script(server, u"without TLS"_s);
        Engine engine;
        engine.check.trustLoopback = false;
        engine.add(server.address(), u"anna"_s, u"pw"_s);
        QStringList asked;
        bool answer = false;
        QObject::connect(&engine.check, &MailCheck::clearTextQuestion, &engine.check, [&](const QString &host) {
            asked << host;
            engine.check.answerClearText(answer);
        });
        QVERIFY(engine.pass());
        QCOMPARE(asked, QStringList{u"127.0.0.1"_s});
        QVERIFY2(engine.failures.value(0).why.contains(u"not sent unencrypted"_s),
                 qPrintable(engine.events.join(u',')));
        QCOMPARE(engine.accounts.list[0].learnt, u"NoClear "_s + server.address());
        QVERIFY(!server.commands.join(' ').contains("PASS"));

        engine.accounts.list[0].learnt.clear();
        answer = true;
        QVERIFY(engine.pass());
        QCOMPARE(engine.events, (QStringList{u"start 0"_s, u"learnt 0"_s, u"checked 0: 0"_s, u"finished"_s}));
        QCOMPARE(engine.accounts.list[0].learnt, u"Clear "_s + server.address());
        QVERIFY(engine.pass());
        QCOMPARE(asked.size(), 2);
        QCOMPARE(server.commands.count("PASS pw"), 2);
    }

    // "EmailPath" as the properties store it: a command, a desktop launcher (its field codes out), or the
    // placeholder, which starts nothing.
    void theMailProgram()
    {
        QTemporaryDir dir;
        const QString launcher = dir.filePath(u"mail.desktop"_s);
        QFile file(launcher);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Action Compose]\nExec=wrong\n[Desktop Entry]\nName=Mail\nExec=thunderbird -mail %u\n");
        file.close();
        QCOMPARE(MailProgramCommand(u" /usr/bin/mutt -y "_s), u"/usr/bin/mutt -y"_s);
        QCOMPARE(MailProgramCommand(launcher), u"thunderbird -mail"_s);
        QCOMPARE(MailProgramCommand(u"- Path to your emailprogram"_s), QString());
        QCOMPARE(MailProgramCommand(dir.filePath(u"gone.desktop"_s)), dir.filePath(u"gone.desktop"_s));
    }

    // A failing row shows whole, the case first.
    void serverAddresses()
    {
        for (const QStringList &row : table(u"addresses"_s)) {
            const std::optional<PopAddress> parsed = ParsePopAddress(row[1]);
            const QString read =
                parsed
                    ? u"%1 %2%3"_s.arg(parsed->host).arg(parsed->port).arg(parsed->implicitTls ? u" TLS"_s : QString())
                    : QString();
            QCOMPARE(QStringList({row[0], row[1], read}).join(u'|'), row.join(u'|'));
        }
    }

    // What the sessions below do not show: answers a server should not give.
    void answers()
    {
        QCOMPARE(ParsePopStatus("-ERR [AUTH] Authentication failed.\r\n")->text, u"[AUTH] Authentication failed."_s);
        QVERIFY(!ParsePopStatus("* OK IMAP4rev1\r\n"));
        QVERIFY(!ParseStatCount(u"many"_s));

        QVERIFY(!ParseMultiLine("1 abc\r\n2 def\r\n"));
        QCOMPARE(*ParseMultiLine(".\r\n"), QList<QByteArray>());
        QCOMPARE(*ParseMultiLine("Subject: x\r\n..hidden dot\r\n\r\n.\r\n"),
                 (QList<QByteArray>{"Subject: x", ".hidden dot", ""}));
        QVERIFY(!ParseUidl({"1 aaa", "3 bbb"}, 2));
        QVERIFY(!ParseUidl({"1 aaa"}, 2));
    }

    void headers()
    {
        for (const QStringList &row : table(u"headers"_s)) {
            const QByteArray header = row[1].toLatin1();
            QCOMPARE(
                QStringList({row[0], row[1], HeaderField(header, "From"), HeaderField(header, "Subject")}).join(u'|'),
                row.join(u'|'));
        }
    }

    void theNewMailRule()
    {
        // New mail with unique ids is the mailbox check's; here the rest.
        MailboxMemory box;
        Remember(box, 3, {u"a"_s, u"b"_s, u"c"_s});
        box.headers.insert(u"b"_s, {u"x"_s, u"y"_s});
        Remember(box, 2, {u"a"_s, u"c"_s});
        QVERIFY(!box.headers.contains(u"b"_s));
        // Without unique ids, the count decides.
        MailboxMemory old;
        Remember(old, 2, {});
        QVERIFY(!HasNewMail(old, 2, {}));
        QVERIFY(HasNewMail(old, 3, {}));
        // How many are new: by id, by the count without ids, and by the count once UIDVALIDITY changed.
        MailboxMemory now;
        Remember(now, 3, {u"a"_s, u"d"_s, u"e"_s});
        QCOMPARE(NewMessages(box, now), 2);
        QCOMPARE(NewMessages(old, now), 1);
        MailboxMemory recreated = now;
        recreated.uidValidity = 7;
        Remember(recreated, 4, {u"a"_s, u"b"_s, u"c"_s, u"d"_s});
        QCOMPARE(NewMessages(now, recreated), 1);
        QCOMPARE(QList<int>({CheckMinutes(u"0 (=never)"_s), CheckMinutes(u"10"_s), CheckMinutes(u"minute"_s)}),
                 QList<int>({0, 10, 0}));
    }

    void blockedHours()
    {
        for (const QStringList &row : table(u"blocked hours"_s)) {
            QStringList seen;
            for (int hour = 0; hour < 24; ++hour) {
                if (ForbiddenHour(hour, row[0].toInt(), row[1].toInt()))
                    seen << QString::number(hour);
            }
            QCOMPARE(seen.join(u' '), row[2]);
        }
    }

    // Every form of address reads the same mailbox, encrypted, by the headers alone. Nothing is read from a server
    // whose certificate is not trusted, nor after the server refused the password; a failed handshake ends the
    // session at once, never by a time-out.
    void dovecotSessions_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("error"); // empty: the mailbox is read
        for (const QStringList &row : table(u"dovecot sessions"_s))
            QTest::newRow(qPrintable(row[0])) << row[1] << row[2] << row[3];
    }
    void dovecotSessions()
    {
        REQUIRE_DOVECOT();
        QFETCH(QString, server);
        QFETCH(QString, password);
        QFETCH(QString, error);
        if (error == u"certificate"_s)
            Pop3Client::trustCertificates({});
        // Dovecot logs each session's login and, at its end, what was read.
        const QString login = DovecotServer::loginPattern(u"ivan"_s), tlsLogin = login + u".*, TLS"_s,
                      headersOnly = u"pop3\\(ivan\\).*top=3/\\d+, retr=0/0"_s;
        const qsizetype logins = logged(login), tlsLogins = logged(tlsLogin), sessions = logged(headersOnly);
        Pop3Mailbox mailbox;
        mailbox.timeoutMs = 5'000;
        MailboxMemory memory;
        const AccountCheckResult result =
            checkAccount(mailbox, memory, {withPorts(server), u"ivan"_s, password, {}, {}});
        QVERIFY2(error.isEmpty() ? result.ok : result.error.contains(error, Qt::CaseInsensitive),
                 qPrintable(result.error));
        QCOMPARE(result.notice, error.isEmpty() ? entries({1, 2, 3}) : QString());
        QTRY_COMPARE(logged(tlsLogin), tlsLogins + error.isEmpty());
        QTRY_COMPARE(logged(headersOnly), sessions + error.isEmpty());
        QCOMPARE(logged(login), logins + error.isEmpty());
    }

    // Mail is new when the mailbox holds a message the last check did not see, whatever the count does. What was
    // learnt of the server's TLS counts only with the server it came from.
    void newMailIsWhatWasNotThereBefore()
    {
        REQUIRE_DOVECOT();
        const QString server = plain();
        QStringList files;
        for (int n = 1; n <= 3; ++n)
            files << m_server->deliver(u"jack"_s, note(n));
        Pop3Mailbox mailbox;
        MailboxMemory memory;
        MailAccount account{server, u"jack"_s, u"secret"_s, {}, u" (b)"_s};
        // The first check and the same mail again are the pass's test; here what the count cannot tell.
        AccountCheckResult result = checkAccount(mailbox, memory, account);
        QCOMPARE(result.count, 3);

        // One read elsewhere and one come in: the count is the same, the mail is new all the same.
        QVERIFY(m_server->remove(u"jack"_s, files[0]));
        m_server->deliver(u"jack"_s, note(4));
        result = checkAccount(mailbox, memory, account);
        QVERIFY(result.newMail);
        QCOMPARE(result.notice, entries({2, 3, 4}, u" (b)"_s));
        // Only one read elsewhere: nothing new.
        QVERIFY(m_server->remove(u"jack"_s, files[1]));
        result = checkAccount(mailbox, memory, account);
        QVERIFY(!result.newMail);
        QCOMPARE(result.count, 2);

        // What was learnt from another server counts for nothing here.
        account.learnt = u"TLS mail.example.org"_s;
        QCOMPARE(checkAccount(mailbox, memory, account).learnt, u"TLS "_s + server);
    }

    void headerByRetrWhereTopIsRefused()
    {
        FakePop3Server server;
        script(server, u"without TOP"_s);
        Pop3Client client;
        client.timeoutMs = 2'000;
        client.open(server.address(), u"anna"_s, u"pw"_s, {});
        QVERIFY2(settled(client), qPrintable(client.errorString()));
        QCOMPARE(client.uniqueIds(), (QStringList{u"first-id"_s, u"second-id"_s}));
        client.fetchHeader(1);
        QVERIFY2(settled(client), qPrintable(client.errorString()));
        QVERIFY(!client.header().contains("Body"));
        QCOMPARE(HeaderField(client.header(), "From"), u"Jörg <j@example.org>"_s);
        QCOMPARE(HeaderField(client.header(), "Subject"), u"By RETR"_s);
        // Refused once, TOP is not asked for again.
        client.fetchHeader(2);
        QVERIFY(settled(client));
        client.endListing();
        QVERIFY(settled(client));
        QCOMPARE(server.commands.join(' ').count("TOP"), 1);
        QCOMPARE(server.commands.constLast(), "QUIT");
        // Opened again, the client starts afresh on a connection of its own.
        client.open(server.address(), u"anna"_s, u"pw"_s, {});
        QVERIFY(settled(client));
        QCOMPARE(client.uniqueIds().size(), 2);
        // A header asked for after the server has gone is left out, not read as an empty one.
        client.close();
        client.fetchHeader(1);
        QVERIFY(!settled(client));
        QVERIFY(client.header().isEmpty());
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
        for (const QStringList &row : table(u"stls"_s))
            QTest::newRow(qPrintable(row[0])) << row[1].toLatin1() << row[2].toLatin1() << row[3] << row[4];
    }
    void stls()
    {
        QFETCH(QByteArray, capa);
        QFETCH(QByteArray, stls);
        QFETCH(QString, learnt);
        QFETCH(QString, error);
        FakePop3Server server;
        server.replies = {{"CAPA", capa},      {"STLS", stls},           {"USER", "+OK\r\n"},
                          {"PASS", "+OK\r\n"}, {"STAT", "+OK 1 20\r\n"}, {"UIDL", "+OK\r\n1 x\r\n.\r\n"}};
        int asked = 0;
        Pop3Client client;
        client.trustLoopback = false;
        QObject::connect(&client, &Pop3Client::clearTextQuestion, &client, [&] {
            ++asked;
            client.answerClearText(true);
        });
        client.open(server.address(), u"anna"_s, u"pw"_s, learnt);
        const bool opened = settled(client);
        QCOMPARE(asked, 0);
        if (!error.isEmpty()) {
            QVERIFY2(!opened && client.errorString().contains(error), qPrintable(client.errorString()));
            const QByteArray heard = server.commands.join(' ');
            QVERIFY2(!heard.contains("USER") && !heard.contains("PASS"), heard.constData());
            return;
        }
        QVERIFY2(opened, qPrintable(client.errorString()));
        QCOMPARE(client.encryption(), u"TLS"_s);
        QCOMPARE(client.uniqueIds(), QStringList{u"x"_s});
        QCOMPARE(server.commands,
                 (QByteArrayList{"CAPA", "STLS", "tls:CAPA", "tls:USER anna", "tls:PASS pw", "tls:STAT", "tls:UIDL"}));
    }
};

QTEST_GUILESS_MAIN(tst_MailCheck)
#include "tst_MailCheck.moc"
