// SPDX-License-Identifier: GPL-3.0-or-later
// The mail program: its check against a real Dovecot on loopback (the notice, the progress window, the keyring, the
// tray); its windows without a server (the properties dialog, the tray icon and the notice's buttons); the dial-up
// layer the check uses (blocked hours, autodial suppression and a dialer driven by the test); reading what mail
// servers send; and the POP3 client and one account's check against Dovecot, and against a scripted server for
// missing commands, servers without TLS and TLS upgrades that go wrong.
#include "Pop3TestServer.h"
#include "SystemEventsDriver.h"
#include "TestEnvironment.h"
#include "core/AutodialFlags.h"
#include "core/Password.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "mail/DialupLink.h"
#include "mail/DialupRules.h"
#include "mail/MailCheck.h"
#include "mail/MailIcons.h"
#include "mail/Pop3Client.h"
#include "mail/form_Checking.h"
#include "mail/form_NotifyMail.h"
#include "mail/form_Properties.h"
#include "mail/form_RASstatus.h"
#include "platform/IniStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <signal.h>

using platform::MsgAnswer;

namespace {

// A test's environment and the notifier, pointed at accounts of the test case's Dovecot (if the test has it), which
// has TLS and a trusted certificate.
struct Mail {
    // `systemsOwnEvents`: the notifier hears logind and the kernel rather than the environment's quiet stand-in.
    explicit Mail(DovecotServer *server = nullptr, bool systemsOwnEvents = false)
        : server(server), events(systemsOwnEvents && (platform::installSystemEvents(nullptr), true))
    {
        notify.Form_Load();
        notify.timer_CheckMail.stop();
    }
    // Each user's mailbox gets a message from "<user>@example.org", subject "Hi <user>".
    void accounts(const QStringList &users, bool withMail = true)
    {
        SettingsRecord &s = Settings();
        s.NbrofAccounts = int(users.size());
        for (int i = 0; i < users.size(); ++i) {
            if (withMail && !users.first(i).contains(users[i]))
                server->deliver(users[i], mailMessage(users[i].toUtf8() + "@example.org", "Hi " + users[i].toUtf8()));
            s.POPServer[size_t(i)] = address();
            s.UserName[size_t(i)] = users[i];
            s.PassWord[size_t(i)] = u"secret"_s;
        }
    }
    QString address() const { return u"127.0.0.1:"_s + QString::number(server->plainPort); }
    // Runs a scheduled check as the minute timer starts it; true when it announced new mail (the notice came up).
    // Dial-up is chosen, as a settings file from a computer with a modem has it: without a dialer here, the
    // scheduled checks still run.
    bool check()
    {
        notify.hide();
        Settings().UseRas = true;
        Settings().CheckTime = u"1"_s;
        QSignalSpy finished(&notify.engine(), &MailCheck::finished);
        notify.timer_CheckMail_Timer();
        if (!finished.wait(30000))
            return false;
        notify.timer_DisableAutoDial_Timer();
        return notify.isVisible();
    }
    // A check the user asked for, to its end: the progress window and any message box are up by then.
    void checkNow()
    {
        QSignalSpy finished(&notify.engine(), &MailCheck::finished);
        notify.CheckNow();
        if (notify.isChecking())
            QVERIFY(finished.wait(30000));
    }
    QString notice() const
    {
        const auto *text = notify.findChild<QPlainTextEdit *>(u"text_Display"_s);
        return text ? text->toPlainText() : QString();
    }
    QStringList progressLines()
    {
        QStringList lines;
        const auto *list = notify.checkingWindow()->findChild<QListWidget *>(u"list_Display"_s);
        for (int i = 0; i < list->count(); ++i)
            lines << list->item(i)->text();
        return lines;
    }

    TestEnvironment env;
    DovecotServer *server;
    bool events;
    PanelStandIn lifecycle;
    form_NotifyMail notify{lifecycle};
};

QString entry(const QString &from, const QString &subject, const QString &tag = {})
{
    return u"From:  "_s + from + u"\nSubject:  "_s + subject + tag + u"\n\n"_s;
}

// Typing over what an editable list shows.
void typeOver(QComboBox *list, const QString &text)
{
    list->lineEdit()->selectAll();
    QTest::keyClicks(list->lineEdit(), text);
}

QStringList servers(const form_Properties &dialog)
{
    const auto *list = control<QComboBox>(dialog, u"combo_POPservers"_s);
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

void accounts(int count)
{
    SettingsRecord &s = Settings();
    s.NbrofAccounts = count;
    for (int i = 0; i < count; ++i) {
        s.POPServer[size_t(i)] = u"pop%1.example.org"_s.arg(i + 1);
        s.UserName[size_t(i)] = u"user%1"_s.arg(i + 1);
        s.PassWord[size_t(i)] = u"pw%1"_s.arg(i + 1);
    }
}

} // namespace

class tst_Mail : public QObject {
    Q_OBJECT

    std::unique_ptr<DovecotServer> m_server;

#define REQUIRE_DOVECOT()                                                                                              \
    if (!m_server)                                                                                                     \
    QSKIP("Dovecot is not installed (scripts/install-deps.sh test installs it)")

private Q_SLOTS:
    void initTestCase()
    {
        if (!DovecotServer::installed())
            return;
        m_server = std::make_unique<DovecotServer>(true);
        // A user of its own for each test, with the password "secret".
        for (const char *user : {"bert", "cleo", "dora", "fred", "gina", "hank", "ivy", "jack", "iris"})
            m_server->addUser(QString::fromLatin1(user), u"secret"_s);
        QString why;
        QVERIFY2(m_server->start(&why), qPrintable(why));
    }
    void init()
    {
        // Dovecot's and the scripted server's certificate; a test of one not trusted drops it.
        Pop3Client::trustCertificates(QSslCertificate::fromPath(DovecotServer::Here.filePath(u"cert.pem"_s)));
    }
    // New mail brings the notice up, sounding and blinking, untagged for a single account; a check the user asks for
    // announces everything there is (what is new is the engine's test). A failing account is reported in the
    // progress window and on the tray, never with its password, until a check succeeds.
    void theNoticeTagsNewMailAndAFailingAccountIsReported()
    {
        REQUIRE_DOVECOT();
        Mail mail(m_server.get());
        mail.accounts({u"bert"_s, u"cleo"_s, u"dora"_s});
        Settings().NbrofAccounts = 1;
        QVERIFY(mail.check());
        QCOMPARE(mail.notice(), entry(u"bert@example.org"_s, u"Hi bert"_s));
        // Several accounts' entries and their tags are the engine's test; here the count the notice shows.
        Settings().NbrofAccounts = 3;
        QVERIFY(mail.check());
        QCOMPARE(control<QLabel>(mail.notify, u"label_Email"_s)->text(), u"3"_s);
        QCOMPARE(mail.env.sound.m_played.constLast().fileName, u"new.wav"_s);
        QVERIFY(mail.notify.timer_Blink.isActive());

        // A wrong password in a check the user asked for: the progress window stays, top left, with the error.
        Settings().NbrofAccounts = 2;
        const QString wrong = u"Wr0ng-Pa55-Q7"_s;
        Settings().PassWord[1] = wrong;
        mail.env.clock.set(QDateTime({2026, 12, 6}, {14, 5, 30}));
        mail.notify.hide();
        mail.checkNow();
        QVERIFY(mail.notify.isVisible());
        form_Checking *progress = mail.notify.checkingWindow();
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->pos(), QPoint(0, 0));
        const QStringList lines = mail.progressLines();
        QCOMPARE(lines.mid(0, 2), (QStringList{u"- Checking :"_s + mail.address(), u"- Success"_s}));
        QVERIFY2(lines.value(4).startsWith(u"- Error: "_s), qPrintable(lines.join(u'|')));
        const QString tip = mail.env.tray.tips().value(0);
        QVERIFY2(tip.startsWith(u"Email check (doubleclick to check)\nLast check failed 14:05: "_s), qPrintable(tip));
        QCOMPARE(mail.env.tray.icon(static_cast<TrayOwner *>(&mail.notify)).cacheKey(), MailFailedIcon().cacheKey());
        // Neither the log nor the window repeats the password, plain or in the settings file's encoding.
        saveSettings();
        const QString logged = mail.env.logLines().join(u'\n');
        for (const QString &form : {wrong, *EncodeStoredPassword(wrong)}) {
            QVERIFY(!logged.contains(form));
            QVERIFY(!lines.join(u'\n').contains(form));
        }
        click(*progress, u"c_Close"_s);
        QVERIFY(!progress->isVisible());

        // The failed account's messages are all new at its next good check, and the tray is clear again; its tip
        // counts each account's mail since it was last read.
        mail.notify.timer_DisableAutoDial_Timer();
        Settings().PassWord[1] = u"secret"_s;
        QVERIFY(mail.check());
        const QString account = u"\n"_s + mail.address() + u": 1 new, last checked 14:05"_s;
        QCOMPARE(mail.env.tray.tips(), QStringList{u"Email check (doubleclick to check)"_s + account + account});
        QVERIFY(mail.env.tray.icon(static_cast<TrayOwner *>(&mail.notify)).cacheKey() != MailFailedIcon().cacheKey());
    }

    // With the choice made and a notification server there, a check's new mail goes there instead of the notice:
    // one notification per new message up to five, one summary beyond; an earlier check's messages never again.
    // "Read later" takes them all away, a click on one opens the notice without a second chime, and a check the user
    // asked for says no "no new emails" over them. Without a server the notice comes as before. (What the actions do
    // on a real desktop is tst_DesktopMail's.)
    void newMailGoesToTheDesktopsNotifications()
    {
        REQUIRE_DOVECOT();
        Mail mail(m_server.get());
        FakeDesktopNotifications &desktop = mail.env.notifications;
        const QList<platform::DesktopNotifications::Notification> &sent = desktop.m_sent;
        Settings().MailNotify = true;
        desktop.setAvailable(true);
        mail.accounts({u"iris"_s});
        QVERIFY(!mail.check());
        QCOMPARE(sent.size(), 1);
        QCOMPARE(std::pair(sent[0].summary, sent[0].body), std::pair(u"iris@example.org"_s, u"Hi iris"_s));
        QStringList keys;
        for (const auto &[key, label] : sent[0].actions)
            keys << key + u'=' + label;
        QCOMPARE(keys,
                 (QStringList{u"open=Open mail program"_s, u"later=Read later"_s, u"default=Show the new mail"_s}));
        QCOMPARE(sent[0].pictureRgba.size(), sent[0].pictureWidth * sent[0].pictureHeight * 4);
        QVERIFY(sent[0].pictureWidth > 0);

        // Five more: one each, the first not again.
        for (int i = 1; i <= 5; ++i)
            m_server->deliver(u"iris"_s, mailMessage("m" + QByteArray::number(i) + "@example.org", "Five"));
        QVERIFY(!mail.check());
        QCOMPARE(sent.size(), 6);
        QCOMPARE(sent[1].summary, u"m1@example.org"_s);
        QCOMPARE(sent[5].summary, u"m5@example.org"_s);
        // Six more: one summary.
        for (int i = 1; i <= 6; ++i)
            m_server->deliver(u"iris"_s, mailMessage("s" + QByteArray::number(i % 2) + "@example.org", "Six"));
        QVERIFY(!mail.check());
        QCOMPARE(sent.size(), 7);
        QCOMPARE(std::pair(sent[6].summary, sent[6].body),
                 std::pair(u"6 new messages"_s, u"From s1@example.org, s0@example.org"_s));

        // "Read later" takes every notification away and leaves the icon blinking, as the notice's button does.
        desktop.invoke(3, u"later"_s);
        QCOMPARE(desktop.m_closed.size(), 7);
        QCOMPARE(Settings().cntEmail, 1);
        QVERIFY(mail.notify.timer_Blink.isActive());
        QVERIFY(!mail.notify.isVisible());
        // An action on a notification gone does nothing.
        desktop.invoke(3, u"open"_s);
        QVERIFY(mail.env.launcher.m_urls.isEmpty());

        // A check the user asked for: everything is new; a click on the summary opens the notice, silently.
        mail.checkNow();
        QCOMPARE(sent.size(), 8);
        QCOMPARE(sent[7].summary, u"12 new messages"_s);
        QVERIFY(!mail.notify.isVisible());
        const qsizetype sounds = mail.env.sound.m_played.size();
        desktop.invoke(8, platform::DesktopNotifications::DefaultAction);
        QVERIFY(mail.notify.isVisible());
        QCOMPARE(mail.notice().count(u"From:  "_s), 12);
        QCOMPARE(mail.env.sound.m_played.size(), sounds);

        // The server gone: the notice tells new mail again.
        desktop.setAvailable(false);
        m_server->deliver(u"iris"_s, mailMessage("late@example.org", "Late"));
        QVERIFY(mail.check());
        QCOMPARE(sent.size(), 8);
    }

    // IMAP push in the program: once Ok in the properties has saved an IMAP account, a message delivered brings the
    // notice up within 5 s on a 30-minute schedule; while the server is down the tray's tip says so, and it is clear
    // again once the connection is back.
    void pushShowsMailAtOnceAndTheTipSaysWhenItIsDown()
    {
        REQUIRE_DOVECOT();
        DovecotServer imap(true, true);
        imap.addUser(u"ivy"_s, u"secret"_s);
        QString why;
        QVERIFY2(imap.start(&why), qPrintable(why));
        Mail mail;
        SettingsRecord &s = Settings();
        const QString server = u"imap://127.0.0.1:"_s + QString::number(imap.imapPort);
        s.NbrofAccounts = 1;
        s.POPServer[0] = server;
        s.UserName[0] = u"ivy"_s;
        s.PassWord[0] = u"secret"_s;
        s.CheckTime = u"30"_s;
        QSignalSpy state(&mail.notify.engine(), &MailCheck::pushStateChanged);
        mail.notify.menu_Properties_Click();
        click(*mail.notify.propertiesWindow(), u"c_Ok"_s);
        QVERIFY(state.wait(5000));
        QCOMPARE(state.constFirst().at(1).toBool(), true);

        QVERIFY(!imap.deliver(u"ivy"_s, mailMessage("ivy@example.org", "Pushed")).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(mail.notify.isVisible(), 5000);
        QCOMPARE(mail.notice(), entry(u"ivy@example.org"_s, u"Pushed"_s));

        const QString plain = u"Email check (doubleclick to check)"_s;
        const QString counted = u"\n"_s + server + u": 1 new, last checked 09:30"_s;
        imap.stop();
        QTRY_VERIFY_WITH_TIMEOUT(
            mail.env.tray.tips().value(0).startsWith(plain + u"\nPush connection lost, retrying in 2 s: "_s), 5000);
        QVERIFY2(mail.env.tray.tips().value(0).endsWith(u" ("_s + server + u')' + counted),
                 qPrintable(mail.env.tray.tips()[0]));
        QVERIFY2(imap.start(&why), qPrintable(why));
        QTRY_COMPARE_WITH_TIMEOUT(mail.env.tray.tips(), QStringList{plain + counted}, 10000);
    }

    // A password the keyring has not given (locked, hung, its prompt still open) is waited for briefly at the
    // check, asked for once, and the tray says why. What comes of the read still out is the real keyring's test.
    void aPasswordTheKeyringKeptIsAskedForAtTheCheck()
    {
        REQUIRE_DOVECOT();
        Mail mail(m_server.get());
        mail.server->deliver(u"fred"_s, mailMessage("bob@example.org", "Hi"));
        mail.env.secrets.m_available = true;
        mail.env.secrets.m_entries.insert(u"PassWord"_s, u"secret"_s);
        mail.env.secrets.m_holding = true;
        qputenv("TARNIBE_KEYRING_TIMEOUT_MS", "300");
        // The file as an earlier run left it: the password lives in the keyring only.
        writeFirstStartDefaults();
        SettingsStore().setValue(u"Settings"_s, u"POPServer"_s, mail.address());
        SettingsStore().setValue(u"Settings"_s, u"UserName"_s, u"fred"_s);
        SettingsStore().setValue(u"Settings"_s, u"PassWord"_s, QString());
        loadSettings();
        QCOMPARE(Settings().PassWord[0], QString());

        QElapsedTimer waited;
        waited.start();
        QVERIFY(!mail.check());
        QVERIFY2(waited.elapsed() < 3000, qPrintable(QString::number(waited.elapsed())));
        QVERIFY(!mail.check());
        qunsetenv("TARNIBE_KEYRING_TIMEOUT_MS");
        QVERIFY(mail.notify.lastFailure().contains(u"The keyring did not give the password"_s));
        QCOMPARE(mail.env.secrets.m_calls, QStringList{u"read PassWord"_s});
    }

    // Against the real keyring of with_keyring.sh: one stopped at the start (SIGSTOP, as one still coming up or
    // hung) holds up nothing, no check logs in without the password, and the password comes once it wakes.
    void aKeyringStoppedAtStartGivesThePasswordOnceAwake()
    {
        REQUIRE_DOVECOT();
        const pid_t keyringPid = qEnvironmentVariableIntValue("TARNIBE_TEST_KEYRING_PID");
        if (keyringPid <= 0)
            QSKIP("needs the private keyring of with_keyring.sh");
        Mail mail(m_server.get());
        platform::installSecretStore(nullptr);
        writeFirstStartDefaults();
        loadSettings();
        mail.accounts({u"gina"_s});
        saveSettings();
        QTRY_COMPARE(platform::IniStore(mail.env.settingsPath()).value(u"Settings"_s, u"PassWord"_s), u""_s);

        ResetSettings();
        std::unique_ptr<void, void (*)(void *)> resume(reinterpret_cast<void *>(intptr_t(keyringPid)),
                                                       [](void *pid) { ::kill(pid_t(intptr_t(pid)), SIGCONT); });
        ::kill(keyringPid, SIGSTOP);
        QElapsedTimer started;
        started.start();
        loadSettings();
        QVERIFY2(started.elapsed() < 500, qPrintable(QString::number(started.elapsed())));
        QCOMPARE(Settings().PassWord[0], QString());
        qputenv("TARNIBE_KEYRING_TIMEOUT_MS", "500");
        QVERIFY(!mail.check());
        qunsetenv("TARNIBE_KEYRING_TIMEOUT_MS");
        QVERIFY(mail.notify.lastFailure().contains(u"The keyring did not give the password"_s));

        resume.reset();
        QTRY_COMPARE(Settings().PassWord[0], u"secret"_s);
        QVERIFY(mail.check());
        // Dovecot logs a session once it is over: by the login's line, any earlier attempt's is there.
        QTRY_COMPARE(mail.server->logins(u"gina"_s), 1);
        QCOMPARE(mail.server->log().count(u"user=<gina>"_s), 1);
    }

    // A server that never answers: its time-out shows in the progress window and the log. With no errors and
    // nothing anywhere, the user hears so. With nothing but the placeholders of a fresh install, a check the user
    // asks for says so instead of opening its window (that placeholders are never tried is the engine's test).
    void aTimeOutIsShownAndNoMailOrNoMailboxIsSaid()
    {
        REQUIRE_DOVECOT();
        Mail mail(m_server.get());
        mail.accounts({u"hank"_s, u"hank"_s}, false);
        QTcpServer silent; // takes the connection and never says a word
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        Settings().POPServer[0] = u"127.0.0.1:"_s + QString::number(silent.serverPort());
        mail.notify.engine().timeoutMs = 700;
        // That the time-out leaves the events running and the next account checked is the engine's test; here what
        // the user sees of it.
        mail.env.messages.expect(MsgAnswer::Ok);
        mail.checkNow();
        const QStringList lines = mail.progressLines();
        QVERIFY2(lines.value(1).startsWith(u"- Error: No answer"_s), qPrintable(lines.join(u'|')));
        // The log line numbers the failure from the socket's table: 10060, timed out.
        const QString logged = u"\"err_Notify_CheckMail 10060 No answer from the server within 0.7 seconds ("_s +
                               Settings().POPServer[0] + u")\","_s;
        QVERIFY2(mail.env.logLines().filter(logged).size() == 1, qPrintable(mail.env.logLines().join(u'\n')));

        Settings().NbrofAccounts = 1;
        Settings().POPServer[0] = mail.address();
        mail.notify.timer_DisableAutoDial_Timer();
        mail.checkNow();
        QCOMPARE(mail.env.messages.shown().constLast().text, u"You have no new emails...."_s);

        Settings().NbrofAccounts = 3;
        Settings().POPServer = {u"- Internetaddress to mailserver"_s, u"- Internetaddress to mailserver 2"_s,
                                u"- Internetaddress to mailserver 3"_s};
        mail.env.messages.expect(MsgAnswer::Ok);
        mail.checkNow();
        QVERIFY(!mail.notify.checkingWindow()->isVisible());
        QVERIFY(mail.env.messages.shown().constLast().text.startsWith(u"No mailbox is set up yet."_s));

        // The program ended (from the Control center, or at logout) while a server keeps silent: the check ends then
        // and there and gives autodial back (that a stopped pass says nothing more is the engine's test).
        Settings().POPServer[0] = u"127.0.0.1:"_s + QString::number(silent.serverPort());
        Settings().NbrofAccounts = 1;
        mail.notify.timer_DisableAutoDial_Timer();
        mail.notify.CheckNow();
        QTRY_COMPARE(mail.progressLines().size(), 1);
        mail.notify.UnloadWindows();
        QVERIFY(!mail.notify.isChecking());
        QTRY_VERIFY(!AutodialFlags().MailCheckActive);
    }

    // Accounts are renamed, deleted and, by Cancel, restored. At most ten accounts and at least one. The modem part
    // opens on "more", and with a dialer its choice can be made; where nothing can dial, the stored choice is shown
    // but cannot be made and says why, the quiet hours are still set, and Ok keeps the stored choice for a system
    // that can dial.
    // Run by with_time_servers.sh: the mock logind tells of a resume, and the namespace's loopback goes down and up.
    void aResumeAndTheNetworksReturnCheckEveryAccountWithinTenSeconds()
    {
        SKIP_OUTSIDE_THE_TIME_NAMESPACE();
        REQUIRE_DOVECOT();
        Mail mail(m_server.get(), true);
        mail.accounts({u"ivy"_s, u"jack"_s});
        Settings().CheckTime = u"30"_s;
        mail.notify.timer_CheckMail.start();
        QSignalSpy finished(&mail.notify.engine(), &MailCheck::finished);
        QSignalSpy woke(&mail.notify.engine(), &MailCheck::woke);
        const auto bothChecked = [&](int times) {
            return m_server->logins(u"ivy"_s) == times && m_server->logins(u"jack"_s) == times;
        };
        const QString tip = u"Email check (doubleclick to check)"_s;
        QElapsedTimer since;

        QCOMPARE(announceSleep(false), QString());
        since.start();
        QVERIFY(finished.wait(10'000));
        qInfo("resume to checked: %.1f s", double(since.elapsed()) / 1000);
        QTRY_VERIFY(bothChecked(1)); // Dovecot logs a session once it is over
        QCOMPARE(woke.size(), 1);
        QVERIFY(mail.notify.isVisible());

        // With no link up nobody is asked, and the tip says so once.
        QVERIFY(setLoopback(false));
        since.start();
        const QString account = u"\n"_s + mail.address() + u": 1 new, last checked 09:30"_s;
        QTRY_COMPARE_WITH_TIMEOUT(
            mail.env.tray.tips(),
            QStringList{tip + u"\nNetwork down: will check when it returns"_s + account + account}, 10'000);
        qInfo("loopback down to the tip: %.1f s", double(since.elapsed()) / 1000);
        QCOMPARE(finished.size(), 1);
        QVERIFY(setLoopback(true));
        since.start();
        QVERIFY(finished.wait(10'000));
        qInfo("loopback up to checked: %.1f s", double(since.elapsed()) / 1000);
        QTRY_VERIFY(bothChecked(2));
        QCOMPARE(mail.env.tray.tips(), QStringList{tip + account + account});

        // Servers with no route to them (nothing but loopback has one here) fail for the network: one line for both.
        Settings().POPServer[0] = u"192.0.2.1"_s;
        Settings().POPServer[1] = u"198.51.100.1"_s;
        QVERIFY(!mail.check());
        QCOMPARE(mail.env.tray.tips(), QStringList{tip + u"\nNetwork down: will check when it returns"_s});
        // One that refuses is the server's own failure.
        Settings().POPServer[1] = u"127.0.0.1:1"_s;
        QVERIFY(!mail.check());
        QVERIFY2(mail.env.tray.tips().value(0).startsWith(tip + u"\nLast check failed "_s),
                 qPrintable(mail.env.tray.tips().value(0)));
    }

    void thePropertiesDialog()
    {
        TestEnvironment env;
        FakeDialer dialer;
        platform::installDialer(&dialer);
        writeFirstStartDefaults();
        accounts(3);
        form_Properties dialog;
        dialog.Form_Load();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto *serverList = control<QComboBox>(dialog, u"combo_POPservers"_s);
        auto *userName = control<QLineEdit>(dialog, u"text_UserName"_s);
        const auto shown = [&dialog](const QString &name) { return control(dialog, name)->isVisibleTo(&dialog); };
        const auto enabled = [&dialog](const QString &name) { return control(dialog, name)->isEnabled(); };
        QCOMPARE(servers(dialog), (QStringList{u"pop1.example.org"_s, u"pop2.example.org"_s, u"pop3.example.org"_s}));
        QCOMPARE(userName->text(), u"user1"_s);

        // Typing a new name and leaving the list renames the shown account.
        serverList->setFocus();
        QTest::keyClick(serverList, Qt::Key_Down);
        QCOMPARE(control<QLineEdit>(dialog, u"text_Password"_s)->text(), u"pw2"_s);
        typeOver(serverList, u"pop3s://renamed.example.org"_s);
        QVERIFY(serverList->lineEdit()->hasFocus());
        QTest::mouseClick(userName, Qt::LeftButton, {}, QPoint(userName->width() - 4, userName->height() / 2));
        QVERIFY(userName->hasFocus());
        QCOMPARE(Settings().POPServer[1], u"pop3s://renamed.example.org"_s);
        QTest::keyClicks(userName, u"x"_s);
        QCOMPARE(Settings().UserName[1], u"user2x"_s);

        // The protocol beside it is the scheme of the server's text, and a choice writes it there.
        auto *protocol = control<QComboBox>(dialog, u"combo_Protocol"_s);
        QCOMPARE(protocol->currentIndex(), 1);

        protocol->setFocus();
        QTest::keyClick(protocol, Qt::Key_Down);
        QTest::keyClick(protocol, Qt::Key_Down);
        QCOMPARE(Settings().POPServer[1], u"imaps://renamed.example.org"_s);
        QCOMPARE(servers(dialog).value(1), u"imaps://renamed.example.org"_s);
        serverList->setFocus();
        typeOver(serverList, u"imap.example.org"_s);
        userName->setFocus();
        QCOMPARE(Settings().POPServer[1], u"imaps://imap.example.org"_s);
        protocol->setFocus();
        QTest::keyClick(protocol, Qt::Key_Home);
        QCOMPARE(Settings().POPServer[1], u"imap.example.org"_s);

        // Deleting account 2 of 3: account 3 moves up, slot 3 gets its placeholders, saved at once.
        env.messages.expect(MsgAnswer::No);
        click(dialog, u"c_DeleteAccount"_s);
        QCOMPARE(Settings().NbrofAccounts, 3);
        env.messages.expect(MsgAnswer::Yes);
        QCOMPARE(serverList->currentIndex(), 1);
        click(dialog, u"c_DeleteAccount"_s);
        QCOMPARE(env.messages.shown().constLast().text, u"Do you really want to delete imap.example.org ?"_s);
        QCOMPARE(servers(dialog), (QStringList{u"pop1.example.org"_s, u"pop3.example.org"_s}));
        QCOMPARE(storedSetting(u"POPServer2"_s), u"pop3.example.org"_s);
        QCOMPARE(storedSetting(u"POPServer3"_s), u"- Internetaddress to mailserver 3"_s);
        QCOMPARE(storedSetting(u"UserName3"_s), u"- Mailserver username 3"_s);
        QCOMPARE(storedSetting(u"NbrofAccounts"_s), u"2"_s);

        // Cancel puts back the accounts as they were at opening (the deleted one too).
        click(dialog, u"c_Cancel"_s);
        QCOMPARE(Settings().NbrofAccounts, 3);
        QCOMPARE(Settings().POPServer[1], u"pop2.example.org"_s);
        QCOMPARE(Settings().UserName[1], u"user2"_s);

        accounts(10);
        dialog.Form_Load();
        dialog.show();
        env.messages.expect(MsgAnswer::Ok);
        click(dialog, u"c_NewAccount"_s);
        QCOMPARE(Settings().NbrofAccounts, 10);

        accounts(1);
        Settings().POPServer[1] = u"- Internetaddress to mailserver 2"_s;
        dialog.Form_Load();
        env.messages.expect(MsgAnswer::Ok);
        click(dialog, u"c_DeleteAccount"_s);
        QCOMPARE(env.messages.shown().constLast().title, u"Could not delete account"_s);

        click(dialog, u"c_NewAccount"_s);
        QCOMPARE(serverList->currentText(), u"- Internetaddress to mailserver 2"_s);
        QVERIFY(!shown(u"frame_Modem"_s));
        click(dialog, u"c_More"_s);
        QVERIFY(shown(u"frame_Modem"_s));
        QVERIFY(!enabled(u"combo_RasConnections"_s));
        click(dialog, u"option_RAS1"_s);
        QVERIFY(enabled(u"combo_RasConnections"_s) && enabled(u"check_LimitRas"_s));
        typeOver(control<QComboBox>(dialog, u"combo_CheckTime"_s), u"0 (=never)"_s);
        typeOver(control<QComboBox>(dialog, u"combo_FirstHour"_s), u"late"_s); // no number: logged, the rest saved
        typeOver(control<QComboBox>(dialog, u"combo_LastHour"_s), u"5"_s);
        click(dialog, u"c_Ok"_s);
        QCOMPARE(storedSetting(u"CheckTime"_s), u"0 (=never)"_s);
        QCOMPARE(storedSetting(u"UseRas"_s), u"True"_s);
        QCOMPARE(storedSetting(u"RasTime2"_s), u"5"_s);
        QCOMPARE(storedSetting(u"RasTime1"_s), u"23"_s);
        QVERIFY(env.logLines().constLast().startsWith(u"\"err_Prop_c_Ok_Click 13"_s));
        QCOMPARE(Settings().NbrofAccounts, 2);

        platform::installDialer(nullptr);
        dialog.Form_Load();
        dialog.show();
        QVERIFY(!enabled(u"option_RAS1"_s) && shown(u"label_NoDialup"_s));
        QVERIFY(!enabled(u"combo_RasConnections"_s));
        QVERIFY(enabled(u"check_LimitRas"_s) && enabled(u"combo_FirstHour"_s));
        click(dialog, u"check_LimitRas"_s);
        typeOver(control<QComboBox>(dialog, u"combo_FirstHour"_s), u"22"_s);
        // No notification server: the choice is greyed and says why, until one comes up while the dialog is open.
        auto *notifyBox = control<QCheckBox>(dialog, u"check_MailNotify"_s);
        QVERIFY(!notifyBox->isEnabled() && shown(u"label_NoNotifications"_s));
        QCOMPARE(notifyBox->toolTip(), u"No notification service is running on this desktop"_s);
        env.notifications.setAvailable(true);
        QVERIFY(notifyBox->isEnabled() && !shown(u"label_NoNotifications"_s));
        click(dialog, u"check_MailNotify"_s);
        click(dialog, u"c_Ok"_s);
        QCOMPARE(storedSetting(u"UseRas"_s), u"True"_s);
        QCOMPARE(storedSetting(u"RasTime1"_s), u"22"_s);
        QCOMPARE(storedSetting(u"RasCheckLimited"_s), u"1"_s);
        QCOMPARE(storedSetting(u"MailNotify"_s), u"True"_s);
    }

    // An IMAP account's folders: none for POP3; the ticked ones shown, a listing that fails says why, and ticks go
    // with their account when another is deleted before it, Cancel putting them back.
    void foldersInTheProperties()
    {
        TestEnvironment env;
        writeFirstStartDefaults();
        accounts(2);
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const QString server = u"imap://127.0.0.1:"_s + QString::number(closed.serverPort());
        closed.close();
        Settings().POPServer[1] = server;
        Settings().Folders[1] = u"Lists\tEntw&APw-rfe"_s;
        form_Properties dialog;
        dialog.Form_Load();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        const auto shown = [&dialog](const QString &name) { return control(dialog, name)->isVisibleTo(&dialog); };
        QVERIFY(!shown(u"c_Folders"_s) && !shown(u"list_Folders"_s));
        auto *serverList = control<QComboBox>(dialog, u"combo_POPservers"_s);
        serverList->setCurrentIndex(1);
        Q_EMIT serverList->activated(1);
        auto *list = control<QListWidget>(dialog, u"list_Folders"_s);
        QVERIFY(shown(u"c_Folders"_s) && shown(u"list_Folders"_s));
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), u"Entw\u00fcrfe"_s);
        QCOMPARE(list->item(1)->checkState(), Qt::Checked);
        click(dialog, u"c_Folders"_s);
        auto *label = control<QLabel>(dialog, u"label_Folders"_s);
        QTRY_VERIFY(label->text().startsWith(u"The folders could not be listed: "_s));
        list->item(0)->setCheckState(Qt::Unchecked);
        QCOMPARE(Settings().Folders[1], u"Lists"_s);

        serverList->setCurrentIndex(0);
        Q_EMIT serverList->activated(0);
        env.messages.expect(MsgAnswer::Yes);
        click(dialog, u"c_DeleteAccount"_s);
        QCOMPARE(storedSetting(u"Folders"_s), u"Lists"_s);
        QCOMPARE(storedSetting(u"Folders2"_s), QString());
        click(dialog, u"c_Cancel"_s);
        QCOMPARE(Settings().Folders[1], u"Lists\tEntw&APw-rfe"_s);
        QVERIFY(Settings().Folders[0].isEmpty());
    }

    void theTrayAndTheNotice()
    {
        Mail mail;
        form_NotifyMail &notify = mail.notify;
        writeFirstStartDefaults();

        // A double click while a check holds the network does nothing.
        AutodialFlags().MailCheckActive = true;
        mail.env.tray.click(static_cast<TrayOwner *>(&notify), platform::TrayClick::Double);
        QVERIFY(!notify.checkingWindow()->isVisible());
        AutodialFlags().MailCheckActive = false;

        // Blinking until "Read now"; "Read later.." leaves it blinking.
        notify.timer_SpinMoon_Timer();
        notify.timer_Blink.start();
        notify.timer_Blink_Timer(); // from a moon frame: any icon but the idle one turns idle
        QCOMPARE(notify.trayImage(), 0);
        notify.timer_Blink_Timer();
        QCOMPARE(notify.trayImage(), 1);
        notify.setNotice(u"From: ann"_s, 1);
        notify.show();
        click(notify, u"c_ReadLater"_s);
        QVERIFY(notify.timer_Blink.isActive());
        QVERIFY(!notify.isVisible());
        notify.show();
        click(notify, u"c_ReadNow"_s);
        QVERIFY(!notify.timer_Blink.isActive());
        QCOMPARE(notify.trayImage(), 0);
        // The placeholder is no program: the desktop's mail program opens.
        QCOMPARE(mail.env.launcher.m_urls, QList<QUrl>{QUrl(u"mailto:"_s)});
        QCOMPARE(Settings().totEmail, 2);

        Settings().EmailPath = u"/usr/bin/no-such-mailer --compose"_s;
        mail.env.launcher.m_programsStart = false;
        mail.env.messages.expect(MsgAnswer::Ok);
        notify.show();
        click(notify, u"c_ReadNow"_s);
        QCOMPARE(mail.env.launcher.m_commands, QStringList{u"/usr/bin/no-such-mailer --compose"_s});
        QCOMPARE(mail.env.messages.shown().constLast().text, u"Can not find your standard email program..."_s);

        // The title bar's close only puts the notice away.
        notify.showNormal();
        notify.close();
        QTRY_VERIFY(!notify.isVisible());
        QCOMPARE(mail.env.tray.count(), 1);
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

    // A dial the user started shows its window with the dialer's errors, a scheduled one dials quietly; either way
    // one check follows, 5 seconds after the line is up, and a line up already is checked at once. Cancel hangs up
    // and no check runs. Where the system has no dialer, a dial fails afterwards, as with any dialer.
    void aDialIsFollowedByOneCheckAndCancelHangsUp()
    {
        TestEnvironment env;
        FakeDialer dialer;
        platform::installDialer(&dialer); // before the link, which listens to it
        const auto uninstall = qScopeGuard([] { platform::installDialer(nullptr); });
        DialupLink link;
        QStringList checks;
        QObject::connect(&link, &DialupLink::checkMail, &link, [&checks] { checks << u"scheduled"_s; });
        QObject::connect(&link, &DialupLink::checkNow, &link, [&checks] { checks << u"now"_s; });
        Settings().RasConnection = u"Provider"_s;
        Settings().RasUserName = u"anna"_s;
        Settings().RasPassword = u"secret"_s;
        link.RasConnectAndCheckMail(false);
        QCOMPARE(dialer.dialled, QStringList{u"Provider|anna|secret"_s});
        form_RASstatus *window = link.statusWindow();
        QVERIFY(window->isVisible());
        Q_EMIT dialer.LastError(691, u"Access denied"_s);
        QCOMPARE(control<QLabel>(*window, u"label_Status"_s)->text(), u"Access denied"_s);
        Q_EMIT dialer.Connect();
        QVERIFY(AutodialFlags().RasDialedByCheck);
        QVERIFY(link.timer_Wait5secAndGetMail.isActive());
        QVERIFY(checks.isEmpty());
        link.timer_Wait5secAndGetMail_Timer(); // the timer firing
        QCOMPARE(checks, QStringList{u"now"_s});
        QVERIFY(!window->isVisible());
        QVERIFY(!link.timer_Wait5secAndGetMail.isActive());

        link.RasConnectAndCheckMail(true);
        QCOMPARE(dialer.dialled.size(), 2);
        QVERIFY(!window->isVisible());
        Q_EMIT dialer.Status(5); // no window, nothing to show
        QCOMPARE(control<QLabel>(*window, u"label_Status"_s)->text(), u"Access denied"_s);
        Q_EMIT dialer.Connect();
        link.timer_Wait5secAndGetMail_Timer();
        dialer.connected = true;
        link.RasConnectAndCheckMail(true);
        link.RasConnectAndCheckMail(false);
        QCOMPARE(checks, (QStringList{u"now"_s, u"scheduled"_s, u"scheduled"_s, u"now"_s}));
        QCOMPARE(dialer.dialled.size(), 2);

        dialer.connected = false;
        link.RasConnectAndCheckMail(false);
        click(*window, u"c_Close"_s);
        QCOMPARE(dialer.hangUps, 1);
        QVERIFY(!window->isVisible());
        QCoreApplication::processEvents();
        QVERIFY(checks.size() == 4 && !link.timer_Wait5secAndGetMail.isActive());

        platform::installDialer(nullptr);
        platform::Dialer &none = platform::dialer();
        QCOMPARE(none.RasEntryCount(), 0);
        QSignalSpy errors(&none, &platform::Dialer::LastError);
        none.RasDial();
        QVERIFY(errors.isEmpty());
        QTRY_COMPARE(errors.size(), 1);
        QVERIFY(errors.at(0).at(1).toString().contains(u"not available"_s));
    }
};

QTEST_MAIN(tst_Mail)
#include "tst_Mail.moc"
