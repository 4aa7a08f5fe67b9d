// The new-mail notice of the real program under a window manager, against a real Dovecot on loopback.
#include "Desktop.h"
#include "Pop3TestServer.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray message(const QByteArray &from, const QByteArray &subject)
{
    return "From: " + from + "\r\nTo: ann@example.org\r\nSubject: " + subject + "\r\n\r\nHello.\r\n";
}

class tst_DesktopMail : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noticeComesBackAfterReadLater()
    {
        if (!DovecotServer::installed())
            QSKIP("Dovecot is not installed (scripts/install-deps.sh test)");
        QTemporaryDir certificates;
        DovecotServer dovecot(false, certificates.path());
        dovecot.addUser(u"ann"_s, u"secret"_s);
        QString why;
        QVERIFY2(dovecot.start(&why), qPrintable(why));
        QVERIFY(!dovecot.deliver(u"ann"_s, message("bob@example.org", "First")).isEmpty());

        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        desktop.writeMailAccount(dovecot.plainPort, u"secret"_s, u"1"_s, false);
        // A scheduled check every "minute" of two seconds.
        desktop.startSuite({u"TARNIBE_MAIL_MINUTE_MS=2000"_s});
        QCOMPARE(desktop.waitTrayIcons(1).size(), 1);

        const qulonglong notice = desktop.waitWindow(u"^You have new email !$"_s, 15000);
        QVERIFY2(notice, "no notice for the first mail");
        const QRect box = desktop.geometry(notice);
        // The screen is 1280 × 800: the notice is centred.
        QVERIFY(qAbs(box.center().x() - 640) <= 2 && qAbs(box.center().y() - 400) <= 30);

        // "Read later..", the last button of the bottom row, puts the notice away.
        for (int round = 0; round < 2; ++round) {
            const QRect now = desktop.geometry(notice);
            desktop.click(QPoint(now.right() - 50, now.bottom() - 22));
            QVERIFY2(Desktop::waitFor([&] { return !desktop.isViewable(notice); }, 3000),
                     "Read later.. left the notice up");
            // New mail: the next scheduled check shows the notice again, in front and not minimised.
            QVERIFY(
                !dovecot.deliver(u"ann"_s, message("cleo@example.org", "More " + QByteArray::number(round))).isEmpty());
            QVERIFY2(Desktop::waitFor([&] { return desktop.isViewable(notice); }, 10000),
                     "the notice did not come back for new mail");
            QVERIFY(desktop.windowState(notice).contains(u"Normal"_s));
            Desktop::pause(500);
            QVERIFY2(desktop.isViewable(notice), "the notice went away again by itself");
        }
    }
};

} // namespace

QTEST_GUILESS_MAIN(tst_DesktopMail)
#include "tst_DesktopMail.moc"
