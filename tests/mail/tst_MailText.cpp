// SPDX-License-Identifier: GPL-3.0-or-later
// Reading what mail servers send: addresses, status lines, multi-line answers, and headers with encoded words.
#include "mail/MailText.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_MailText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void serverAddresses_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("address"); // empty: not an address
        QTest::newRow("host") << u"pop.example.org"_s << u"pop.example.org 110"_s;
        QTest::newRow("host:port") << u" pop.example.org:1110 "_s << u"pop.example.org 1110"_s;
        QTest::newRow("pop3s") << u"pop3s://pop.example.org"_s << u"pop.example.org 995 TLS"_s;
        QTest::newRow("pop3s with port") << u"POP3S://127.0.0.1:9995/"_s << u"127.0.0.1 9995 TLS"_s;
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

    void answers()
    {
        QCOMPARE(ParsePopStatus("+OK 3 1200\r\n")->text, u"3 1200"_s);
        QVERIFY(!ParsePopStatus("-ERR [AUTH] Authentication failed.\r\n")->ok);
        QCOMPARE(ParsePopStatus("-ERR [AUTH] Authentication failed.\r\n")->text, u"[AUTH] Authentication failed."_s);
        QVERIFY(!ParsePopStatus("* OK IMAP4rev1\r\n"));
        QCOMPARE(ParseStatCount(u"3 1200"_s), std::optional<int>(3));
        QVERIFY(!ParseStatCount(u"many"_s));

        QVERIFY(!ParseMultiLine("1 abc\r\n2 def\r\n"));
        QCOMPARE(*ParseMultiLine("Subject: x\r\n..hidden dot\r\n\r\n.\r\n"),
                 (QList<QByteArray>{"Subject: x", ".hidden dot", ""}));
        QCOMPARE(*ParseMultiLine(".\r\n"), QList<QByteArray>());
        QCOMPARE(ParseUidl({"1 aaa", "2 bbb"}, 2), std::optional<QStringList>({u"aaa"_s, u"bbb"_s}));
        QVERIFY(!ParseUidl({"1 aaa", "3 bbb"}, 2));
        QVERIFY(!ParseUidl({"1 aaa"}, 2));
    }

    void headers_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("subject");
        QTest::newRow("plain") << "From: Anna <anna@example.org>\r\nSubject: Lunch\r\n"_ba
                               << u"Anna <anna@example.org>"_s << u"Lunch"_s;
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
};

QTEST_GUILESS_MAIN(tst_MailText)
#include "tst_MailText.moc"
