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

// A dial-up link listening to a dialer the test drives, recording the checks it starts.
struct Link {
    Link()
    {
        platform::installDialer(&dialer); // before the link, which listens to it
        link = std::make_unique<DialupLink>();
        link->CheckMail = [this] { checks << u"scheduled"_s; };
        link->CheckNow = [this] { checks << u"now"_s; };
    }
    ~Link() { platform::installDialer(nullptr); }
    QString status() const { return link->statusWindow()->label_Status->text(); }

    TestEnvironment env;
    FakeDialer dialer;
    std::unique_ptr<DialupLink> link;
    QStringList checks;
};

} // namespace

class tst_Dialup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void blockedHours()
    {
        // The first hour, how many, and the hours blocked.
        const std::tuple<int, int, QString> blocks[] = {
            {22, 3, u"0 22 23"_s}, // runs past midnight
            {22, 2, u"22 23"_s},   // ends at midnight
            {5, 0, QString()},
            {23, 7, u"0 1 2 3 4 5 23"_s}, // the first start's block
            {0, 24, u"0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23"_s}};
        for (const auto &[first, count, blocked] : blocks) {
            QStringList seen;
            for (int hour = 0; hour < 24; ++hour) {
                if (ForbiddenHour(hour, first, count))
                    seen << QString::number(hour);
            }
            QCOMPARE(seen.join(u' '), blocked);
        }
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
        Link link;
        Settings().RasConnection = u"Provider"_s;
        Settings().RasUserName = u"anna"_s;
        Settings().RasPassword = u"secret"_s;
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
