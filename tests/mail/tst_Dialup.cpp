// SPDX-License-Identifier: GPL-3.0-or-later
// The dial-up layer the mail check uses: blocked hours, autodial suppression and a dialer driven by the test.
#include "TestEnvironment.h"
#include "core/AutodialFlags.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "mail/DialupLink.h"
#include "mail/DialupRules.h"
#include "mail/form_RASstatus.h"
#include "platform/Dialer.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Link {
    ~Link() { platform::installDialer(nullptr); }
    FakeDialer dialer;
    // Made once the dialer is in place, so that it listens to it.
    std::unique_ptr<DialupLink> link = [this] {
        platform::installDialer(&dialer);
        auto made = std::make_unique<DialupLink>();
        made->CheckMail = [this] { checks << u"scheduled"_s; };
        made->CheckNow = [this] { checks << u"now"_s; };
        return made;
    }();
    QStringList checks;
    QString status() const { return link->statusWindow()->label_Status->text(); }
};

} // namespace

class tst_Dialup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void blockedHours_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("blocked");
        QTest::newRow("22+3 runs past midnight") << 22 << 3 << QList<int>{0, 22, 23};
        QTest::newRow("22+2 ends at midnight") << 22 << 2 << QList<int>{22, 23};
        QTest::newRow("5+0 blocks nothing") << 5 << 0 << QList<int>{};
        QTest::newRow("23+7, the first-start block") << 23 << 7 << QList<int>{0, 1, 2, 3, 4, 5, 23};
        QTest::newRow("0+24 blocks the whole day") << 0 << 24 << [] {
            QList<int> all;
            for (int h = 0; h < 24; ++h)
                all << h;
            return all;
        }();
    }
    void blockedHours()
    {
        QFETCH(int, first);
        QFETCH(int, count);
        QFETCH(QList<int>, blocked);
        QList<int> seen;
        for (int hour = 0; hour < 24; ++hour) {
            if (ForbiddenHour(hour, first, count))
                seen << hour;
        }
        QCOMPARE(seen, blocked);
    }

    void autodialIsRestoredOnceNobodyNeedsItOff()
    {
        TestEnvironment env;
        AutodialFlagsRecord &flags = AutodialFlags();
        flags.ClockSyncActive = true;
        DisableAutodial();
        QCOMPARE(TraceText(), u"Disabled"_s);
        SetTrace(QString());
        flags.MailCheckActive = true;
        DisableAutodial(); // already off: nothing changes
        QCOMPARE(TraceText(), QString());
        RestoreAutoDial(); // both still busy
        QVERIFY(flags.AutodialDisabled);
        flags.ClockSyncActive = false;
        RestoreAutoDial();
        QVERIFY(!flags.AutodialDisabled);
        QCOMPARE(TraceText(), u"Reostored 1"_s);
    }

    void aDialTheUserStartedIsFollowedAndChecksOnce()
    {
        TestEnvironment env;
        Settings().RasConnection = u"Provider"_s;
        Settings().RasUserName = u"anna"_s;
        Settings().RasPassword = u"secret"_s;
        Link link;
        link.link->RasConnectAndCheckMail(false);
        QCOMPARE(link.dialer.dialled, QStringList{u"Provider|anna|secret"_s});
        form_RASstatus *window = link.link->statusWindow();
        QVERIFY(window->isVisible());
        // The dialer's error shows in the window.
        Q_EMIT link.dialer.LastError(691, u"Access denied"_s);
        QCOMPARE(link.status(), u"Access denied"_s);
        QVERIFY(link.checks.isEmpty());

        // One check, 5 seconds after the line is up, and the status window goes.
        link.dialer.connected = true;
        Q_EMIT link.dialer.Connect();
        QVERIFY(AutodialFlags().RasDialedByCheck);
        QVERIFY(link.link->timer_Wait5secAndGetMail.isActive());
        QVERIFY(link.checks.isEmpty());
        link.link->timer_Wait5secAndGetMail_Timer(); // the timer firing
        QCOMPARE(link.checks, QStringList{u"now"_s});
        QVERIFY(!window->isVisible());
        QVERIFY(!link.link->timer_Wait5secAndGetMail.isActive());
    }

    void scheduledChecksDialQuietlyOrCheckAtOnce()
    {
        TestEnvironment env;
        Link link;
        link.link->RasConnectAndCheckMail(true);
        QCOMPARE(link.dialer.dialled.size(), 1);
        QVERIFY(!link.link->statusWindow()->isVisible());
        Q_EMIT link.dialer.Status(5); // no window, nothing to show
        QCOMPARE(link.status(), u"Connecting..."_s);
        Q_EMIT link.dialer.Connect();
        link.link->timer_Wait5secAndGetMail_Timer();
        QCOMPARE(link.checks, QStringList{u"scheduled"_s});

        // A line that is up already: no dial, the check at once.
        link.dialer.connected = true;
        link.link->RasConnectAndCheckMail(true);
        link.link->RasConnectAndCheckMail(false);
        QCOMPARE(link.checks, (QStringList{u"scheduled"_s, u"scheduled"_s, u"now"_s}));
        QCOMPARE(link.dialer.dialled.size(), 1);
    }

    void cancelHangsUpAndNoCheckRuns()
    {
        TestEnvironment env;
        Link link;
        link.link->RasConnectAndCheckMail(false);
        link.link->statusWindow()->c_Close->click();
        QCOMPARE(link.dialer.hangUps, 1);
        QVERIFY(!link.link->statusWindow()->isVisible());
        QCoreApplication::processEvents();
        QVERIFY(link.checks.isEmpty() && !link.link->timer_Wait5secAndGetMail.isActive());
    }

    void theSystemHasNoDialUp()
    {
        TestEnvironment env;
        platform::Dialer &dialer = platform::dialer();
        QVERIFY(!dialer.available());
        QCOMPARE(dialer.RasEntryCount(), 0);
        QSignalSpy errors(&dialer, &platform::Dialer::LastError);
        dialer.RasDial();
        QVERIFY(errors.isEmpty()); // the outcome comes after the call, as with any dialer
        QTRY_COMPARE(errors.size(), 1);
        QVERIFY(errors.at(0).at(1).toString().contains(u"not available"_s));
    }
};

QTEST_MAIN(tst_Dialup)
#include "tst_Dialup.moc"
