// SPDX-License-Identifier: GPL-3.0-or-later
// IMAP accounts without a display: the server addresses, reading what IMAP servers send, and one INBOX's check
// against a real Dovecot on loopback and against a scripted server for what no real server does on demand.
#include "mail/ImapResponse.h"
#include "mail/MailText.h"

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

} // namespace

class tst_Imap : public QObject {
    Q_OBJECT

private Q_SLOTS:
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
              QByteArray(QByteArray(500, '(') + "\r\n"), QByteArray("hello\r\n"), QByteArray("* 1 FETCH (UID 1\r\n")}) {
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
};

QTEST_GUILESS_MAIN(tst_Imap)
#include "tst_Imap.moc"
