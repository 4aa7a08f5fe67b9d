// SPDX-License-Identifier: GPL-3.0-or-later
// The real program after the system resumes, as the mock logind of with_logind.sh announces it, under a window
// manager with a tray.
#include "Desktop.h"
#include "Pop3TestServer.h"
#include "SystemEventsDriver.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_DesktopResume : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A check every 30 minutes: mail that came while the computer slept shows within 10 s of the resume, not half
    // an hour later.
    void mailIsCheckedAfterAResume()
    {
        if (!DovecotServer::installed())
            QSKIP("Dovecot is not installed (scripts/install-deps.sh test)");
        if (qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS"))
            QSKIP("needs the mock logind of with_logind.sh");
        Desktop desktop;
        AnnsMailbox mailbox;
        QVERIFY2(mailbox.failure().isEmpty() && desktop.error().isEmpty(),
                 qPrintable(mailbox.failure() + desktop.error()));
        desktop.writeMailAccount(mailbox.dovecot.plainPort, u"secret"_s, u"30"_s, false);
        desktop.startSuite();
        QCOMPARE(desktop.waitTrayIcons(1).size(), 1);
        QVERIFY(!mailbox.dovecot.deliver(u"ann"_s, mailMessage("bob@example.org", "While you slept")).isEmpty());
        QCOMPARE(announceSleep(true), QString());
        // Asleep nothing is checked.
        QCOMPARE(desktop.waitWindow(u"^You have new email !$"_s, 5000), 0ULL);

        QCOMPARE(announceSleep(false), QString());
        QElapsedTimer since;
        since.start();
        const qulonglong notice = desktop.waitWindow(u"^You have new email !$"_s, 10000);
        QVERIFY2(notice, qPrintable(mailbox.dovecot.log()));
        qInfo("resume to the notice: %.1f s", double(since.elapsed()) / 1000);
        Desktop::pause(500);
        if (const QString shots = qEnvironmentVariable("TARNIBE_SHOTS"); !shots.isEmpty())
            QGuiApplication::primaryScreen()->grabWindow(0).save(shots + u"/mail-after-resume-"_s + desktop.name() +
                                                                 u".png"_s);
        QVERIFY(desktop.terminate() >= 0);
    }
};

QTEST_MAIN(tst_DesktopResume)
#include "tst_DesktopResume.moc"
