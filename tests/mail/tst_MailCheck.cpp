// SPDX-License-Identifier: GPL-3.0-or-later
// The mail check against a real Dovecot on loopback: what counts as new mail, the notice, the progress window.
#include "Pop3TestServer.h"
#include "TestEnvironment.h"
#include "core/AutodialFlags.h"
#include "core/Password.h"
#include "core/Settings.h"
#include "mail/MailIcons.h"
#include "mail/form_Checking.h"
#include "mail/form_NotifyMail.h"
#include "platform/IniStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSslCertificate>
#include <QTest>
#include <memory>
#include <signal.h>

using platform::MsgAnswer;

namespace {

class Lifecycle : public ProgramLifecycle {
public:
    void exitProgram(Program, TrayOwner *, const std::function<void()> &unload) override { unload(); }
    void showControlPanel() override {}
    void openHelp(const QString &) override {}
};

QByteArray message(const QByteArray &from, const QByteArray &subject)
{
    return "From: " + from + "\r\nSubject: " + subject + "\r\nDate: Sun, 6 Dec 2026 10:00:00 +0000\r\n\r\nHello\r\n";
}

// One Dovecot with TLS, its certificate trusted, and the notifier pointed at its accounts.
struct Mail {
    Mail()
    {
        QString why;
        if (!MakeLocalhostCertificate(certificates.path(), &why) || !server.start(&why))
            failure = why;
        Pop3Client::trustCertificates(QSslCertificate::fromPath(certificates.path() + u"/cert.pem"_s));
        notify.Form_Load();
        notify.timer_CheckMail.stop();
    }
    ~Mail() { Pop3Client::trustCertificates({}); }
    void accounts(const QStringList &users)
    {
        SettingsRecord &s = Settings();
        s.NbrofAccounts = int(users.size());
        for (int i = 0; i < users.size(); ++i) {
            s.POPServer[size_t(i)] = u"127.0.0.1:"_s + QString::number(server.plainPort);
            s.UserName[size_t(i)] = users[i];
            s.PassWord[size_t(i)] = u"secret"_s;
        }
    }
    // Runs a scheduled check; true when it announced new mail (the notice came up).
    bool check()
    {
        notify.hide();
        notify.CheckMail();
        notify.timer_DisableAutoDial_Timer();
        return notify.isVisible();
    }
    QString notice() const { return notify.text_Display ? notify.text_Display->toPlainText() : QString(); }

    QTemporaryDir certificates;
    DovecotServer server{true, certificates.path()};
    QString failure;
    Lifecycle lifecycle;
    form_NotifyMail notify{lifecycle};
};

QString entry(const QString &from, const QString &subject, const QString &tag = {})
{
    return u"From:  "_s + from + u"\nSubject:  "_s + subject + tag + u"\n\n"_s;
}

} // namespace

class tst_MailCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (!DovecotServer::installed())
            QSKIP("Dovecot is not installed (scripts/install-deps.sh test installs it)");
    }

    void newMailIsWhatWasNotThereBefore()
    {
        TestEnvironment env;
        Mail mail;
        QVERIFY2(mail.failure.isEmpty(), qPrintable(mail.failure));
        mail.server.addUser(u"anna"_s, u"secret"_s);
        mail.accounts({u"anna"_s});
        QStringList files;
        for (int i = 1; i <= 3; ++i)
            files << mail.server.deliver(u"anna"_s, message("Bob <bob@example.org>", "Note " + QByteArray::number(i)));

        QVERIFY(mail.check());
        QCOMPARE(mail.notice(), entry(u"Bob <bob@example.org>"_s, u"Note 1"_s) +
                                    entry(u"Bob <bob@example.org>"_s, u"Note 2"_s) +
                                    entry(u"Bob <bob@example.org>"_s, u"Note 3"_s));
        QCOMPARE(mail.notify.label_Email->text(), u"3"_s);
        // The server had TLS: the account remembers it, with the server it learnt it from.
        QCOMPARE(Settings().Encryption[0], u"TLS "_s + Settings().POPServer[0]);
        QCOMPARE(platform::IniStore(env.settingsPath()).value(u"Settings"_s, u"Encryption"_s),
                 Settings().Encryption[0]);
        QCOMPARE(env.sound.m_played.constLast().fileName, u"new.wav"_s);
        QVERIFY(mail.notify.timer_Blink.isActive());

        QVERIFY(!mail.check()); // the same three
        mail.server.deliver(u"anna"_s, message("=?UTF-8?B?SsO2cmc=?= <j@example.org>", "=?ISO-8859-1?Q?Gr=FC=DFe?="));
        QVERIFY(mail.check());
        QVERIFY(mail.notice().startsWith(entry(u"Bob <bob@example.org>"_s, u"Note 1"_s)));
        QVERIFY(mail.notice().endsWith(entry(u"Jörg <j@example.org>"_s, u"Grüße"_s)));

        // One read elsewhere and one come in: the count is the same, the mail is new all the same.
        QVERIFY(mail.server.remove(u"anna"_s, files[0]));
        mail.server.deliver(u"anna"_s, message("Cleo <c@example.org>", "Folded\r\n subject"));
        QVERIFY(mail.check());
        QCOMPARE(mail.notify.label_Email->text(), u"4"_s);
        QVERIFY(mail.notice().endsWith(entry(u"Cleo <c@example.org>"_s, u"Folded subject"_s)));
        QVERIFY(!mail.notice().contains(u"Note 1"_s));

        // A check the user asks for announces everything there is.
        QVERIFY(!mail.check());
        mail.notify.CheckNow();
        QVERIFY(mail.notify.isVisible());
        QVERIFY(!mail.notify.checkingWindow()->isVisible());
        mail.notify.timer_DisableAutoDial_Timer();
        QVERIFY(!AutodialFlags().MailCheckActive);
    }

    void accountsAreTaggedAndAFailingOneIsReported()
    {
        TestEnvironment env;
        Mail mail;
        QVERIFY2(mail.failure.isEmpty(), qPrintable(mail.failure));
        for (const QString &user : {u"anna"_s, u"bert"_s, u"cleo"_s}) {
            mail.server.addUser(user, u"secret"_s);
            mail.server.deliver(user, message(user.toUtf8() + "@example.org", "Hi from " + user.toUtf8()));
        }
        mail.accounts({u"anna"_s, u"bert"_s, u"cleo"_s});
        const QString server = u"127.0.0.1:"_s + QString::number(mail.server.plainPort);
        // The third account speaks POP3S.
        Settings().POPServer[2] = u"pop3s://127.0.0.1:"_s + QString::number(mail.server.tlsPort);
        QVERIFY(mail.check());
        QCOMPARE(mail.notice(),
                 entry(u"anna@example.org"_s, u"Hi from anna"_s, u" ("_s + server + u")"_s) +
                     entry(u"bert@example.org"_s, u"Hi from bert"_s, u" ("_s + server + u")"_s) +
                     entry(u"cleo@example.org"_s, u"Hi from cleo"_s, u" ("_s + Settings().POPServer[2] + u")"_s));

        // A wrong password in a check the user asked for: the progress window stays, top left, with the error.
        Settings().NbrofAccounts = 2;
        const QString wrong = u"Wr0ng-Pa55-Q7"_s;
        Settings().PassWord[1] = wrong;
        mail.notify.hide();
        mail.notify.CheckNow();
        form_Checking *progress = mail.notify.checkingWindow();
        QVERIFY(progress->isVisible());
        QCOMPARE(progress->pos(), QPoint(0, 0));
        QCOMPARE(progress->label_Data[0]->text(), u"Error(s) from some servers occurred"_s);
        QVERIFY(progress->c_Close->isVisible());
        QStringList lines;
        for (int i = 0; i < progress->list_Display->count(); ++i)
            lines << progress->list_Display->item(i)->text();
        QCOMPARE(lines.value(0), u"- Checking :"_s + server);
        QCOMPARE(lines.value(1), u"- Success"_s);
        QCOMPARE(lines.value(2), QString(37, u'-'));
        QVERIFY2(lines.value(4).startsWith(u"- Error: "_s), qPrintable(lines.join(u'|')));
        QVERIFY(!mail.notify.MailAllOk);
        // Neither the log nor the window repeats the password, plain or in the settings file's encoding.
        WriteGlobalVariables();
        QFile log(env.logPath());
        const QByteArray logged = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
        for (const QString &form : {wrong, *EncodeStoredPassword(wrong)}) {
            QVERIFY(!logged.contains(form.toUtf8()));
            QVERIFY(!lines.join(u'\n').contains(form));
        }
        progress->c_Close->click();
        QVERIFY(!progress->isVisible());

        // The failed account's messages are all new at its next good check.
        mail.notify.timer_DisableAutoDial_Timer();
        QVERIFY(!mail.check());
        Settings().PassWord[1] = u"secret"_s;
        QVERIFY(mail.check());
    }

    // A fresh install holds placeholders where the servers go: no check tries them or reports them as failing.
    void accountsNobodySetUpAreNotChecked()
    {
        TestEnvironment env;
        Mail mail;
        QVERIFY2(mail.failure.isEmpty(), qPrintable(mail.failure));
        mail.server.addUser(u"anna"_s, u"secret"_s);
        mail.server.deliver(u"anna"_s, message("bob@example.org", "Hi"));
        const QString server = u"127.0.0.1:"_s + QString::number(mail.server.plainPort);
        Settings().NbrofAccounts = 3;
        Settings().POPServer = {u"- Internetaddress to mailserver"_s, server, u"- Internetaddress to mailserver 3"_s};
        Settings().UserName[1] = u"anna"_s;
        Settings().PassWord[1] = u"secret"_s;
        mail.notify.CheckNow();
        QVERIFY(mail.notify.MailAllOk);
        QVERIFY(mail.notify.isVisible());
        QCOMPARE(mail.notice(), entry(u"bob@example.org"_s, u"Hi"_s, u" ("_s + server + u")"_s));
        mail.notify.timer_DisableAutoDial_Timer();

        // With nothing set up, a check the user asks for says so instead of opening its window.
        Settings().POPServer[1] = u"- Internetaddress to mailserver 2"_s;
        env.messages.expect(MsgAnswer::Ok);
        mail.notify.CheckNow();
        QVERIFY(!mail.notify.checkingWindow()->isVisible());
        QCOMPARE(env.messages.shown().constLast().title, u"Mailbox"_s);
        QVERIFY(env.messages.shown().constLast().text.startsWith(u"No mailbox is set up yet."_s));
        mail.check();
        QVERIFY(mail.notify.MailAllOk);
        QVERIFY(!env.logLines().join(u'\n').contains(u"mailserver"_s));
    }

    // A failed check shows where the user looks, in the tray's tip and icon, until a check succeeds.
    void aFailedCheckShowsInTheTray()
    {
        TestEnvironment env;
        Mail mail;
        QVERIFY2(mail.failure.isEmpty(), qPrintable(mail.failure));
        mail.server.addUser(u"anna"_s, u"secret"_s);
        mail.accounts({u"anna"_s});
        const QString server = Settings().POPServer[0];
        const TrayOwner *owner = &mail.notify;
        const auto tip = [&] { return env.tray.tips().value(0); };
        QCOMPARE(tip(), u"Email check (doubleclick to check)"_s);

        Settings().PassWord[0] = u"Wr0ng-Pa55"_s;
        env.clock.set(QDateTime({2026, 12, 6}, {14, 5, 30}));
        mail.check();
        QVERIFY2(tip().startsWith(u"Email check (doubleclick to check)\nLast check failed 14:05: "_s),
                 qPrintable(tip()));
        QVERIFY(tip().endsWith(u" ("_s + server + u")"_s));
        QCOMPARE(env.tray.icon(owner).cacheKey(), MailFailedIcon().cacheKey());
        QVERIFY(env.logLines().join(u'\n').contains(u"err_Notify_CheckMail "_s));

        Settings().PassWord[0] = u"secret"_s;
        mail.check();
        QCOMPARE(tip(), u"Email check (doubleclick to check)"_s);
        QVERIFY(env.tray.icon(owner).cacheKey() != MailFailedIcon().cacheKey());
    }

    // A settings file that chose dial-up, on a system that cannot dial: the scheduled checks still run.
    void storedDialupWithoutDialerStillChecks()
    {
        TestEnvironment env;
        Mail mail;
        QVERIFY2(mail.failure.isEmpty(), qPrintable(mail.failure));
        mail.server.addUser(u"anna"_s, u"secret"_s);
        mail.server.deliver(u"anna"_s, message("bob@example.org", "Hi"));
        mail.accounts({u"anna"_s});
        Settings().UseRas = true;
        Settings().CheckTime = u"1"_s;
        const QString login = u"Login: user=<anna>"_s;
        const qsizetype logins = mail.server.log().count(login);
        mail.notify.timer_CheckMail_Timer(); // the minute is up
        QTRY_COMPARE(mail.server.log().count(login), logins + 1);
        QVERIFY(mail.notify.isVisible());
        QVERIFY(Settings().UseRas);
    }

    // A password the keyring has not given (locked, hung, its prompt still open) is waited for briefly at the
    // check; until it comes the account is not logged into with an empty password, and the tray says why. The read
    // still out gives it to the next check.
    void aPasswordTheKeyringKeptIsAskedForAtTheCheck()
    {
        TestEnvironment env;
        Mail mail;
        QVERIFY2(mail.failure.isEmpty(), qPrintable(mail.failure));
        mail.server.addUser(u"anna"_s, u"secret"_s);
        mail.server.deliver(u"anna"_s, message("bob@example.org", "Hi"));
        env.secrets.m_available = true;
        env.secrets.m_entries.insert(u"PassWord"_s, u"secret"_s);
        env.secrets.m_holding = true;
        qputenv("TARNIBE_KEYRING_TIMEOUT_MS", "300");
        // The file as an earlier run left it: the password lives in the keyring only.
        WriteToRegistry();
        SettingsStore().setValue(u"Settings"_s, u"POPServer"_s,
                                 u"127.0.0.1:"_s + QString::number(mail.server.plainPort));
        SettingsStore().setValue(u"Settings"_s, u"UserName"_s, u"anna"_s);
        SettingsStore().setValue(u"Settings"_s, u"PassWord"_s, QString());
        SetGlobalVariables();
        QCOMPARE(Settings().PassWord[0], QString());

        QElapsedTimer waited;
        waited.start();
        QVERIFY(!mail.check());
        QVERIFY2(waited.elapsed() < 3000, qPrintable(QString::number(waited.elapsed())));
        QVERIFY(!mail.check());
        qunsetenv("TARNIBE_KEYRING_TIMEOUT_MS");
        QTest::qWait(500); // Dovecot logs a refused login once the connection is gone
        QVERIFY2(!mail.server.log().contains(u"user=<anna>"_s), qPrintable(mail.server.log()));
        QVERIFY(mail.notify.lastFailure().contains(u"The keyring did not give the password"_s));
        QCOMPARE(env.secrets.m_calls, QStringList{u"read PassWord"_s});

        env.secrets.answerHeld();
        QCOMPARE(Settings().PassWord[0], u"secret"_s);
        QVERIFY(mail.check());
        QCOMPARE(mail.server.log().count(u"Login: user=<anna>"_s), 1);
        QVERIFY(mail.notify.lastFailure().isEmpty());
    }

    // Against the real keyring of with_keyring.sh: one stopped at the start (SIGSTOP, as one still coming up or
    // hung) holds up nothing, no check logs in without the password, and the password comes once it wakes.
    void aKeyringStoppedAtStartGivesThePasswordOnceAwake()
    {
        const pid_t keyringPid = qEnvironmentVariableIntValue("TARNIBE_TEST_KEYRING_PID");
        if (keyringPid <= 0)
            QSKIP("needs the private keyring of with_keyring.sh");
        TestEnvironment env;
        platform::installSecretStore(nullptr);
        Mail mail;
        QVERIFY2(mail.failure.isEmpty(), qPrintable(mail.failure));
        mail.server.addUser(u"anna"_s, u"secret"_s);
        mail.server.deliver(u"anna"_s, message("bob@example.org", "Hi"));
        WriteToRegistry();
        SetGlobalVariables();
        mail.accounts({u"anna"_s});
        WriteGlobalVariables();
        const auto inFile = [&] { return platform::IniStore(env.settingsPath()).value(u"Settings"_s, u"PassWord"_s); };
        QTRY_COMPARE(inFile(), std::optional<QString>(QString()));

        ResetSettings();
        std::unique_ptr<void, void (*)(void *)> resume(reinterpret_cast<void *>(intptr_t(keyringPid)),
                                                       [](void *pid) { ::kill(pid_t(intptr_t(pid)), SIGCONT); });
        ::kill(keyringPid, SIGSTOP);
        QElapsedTimer started;
        started.start();
        SetGlobalVariables();
        QVERIFY2(started.elapsed() < 500, qPrintable(QString::number(started.elapsed())));
        QCOMPARE(Settings().PassWord[0], QString());
        qputenv("TARNIBE_KEYRING_TIMEOUT_MS", "500");
        QVERIFY(!mail.check());
        qunsetenv("TARNIBE_KEYRING_TIMEOUT_MS");
        QVERIFY(mail.notify.lastFailure().contains(u"The keyring did not give the password"_s));

        resume.reset();
        QTRY_COMPARE(Settings().PassWord[0], u"secret"_s);
        QVERIFY(mail.check());
        QTest::qWait(500); // Dovecot logs a refused login once the connection is gone
        QCOMPARE(mail.server.log().count(u"Login: user=<anna>"_s), 1);
        QVERIFY2(!mail.server.log().contains(u"auth failed"_s), qPrintable(mail.server.log()));
    }

    void aSilentServerEndsItsAccountOnlyAndNothingMeansNoNews()
    {
        TestEnvironment env;
        Mail mail;
        QVERIFY2(mail.failure.isEmpty(), qPrintable(mail.failure));
        mail.server.addUser(u"anna"_s, u"secret"_s);
        mail.accounts({u"anna"_s, u"anna"_s});
        QTcpServer silent; // takes the connection and never says a word
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        Settings().POPServer[0] = u"127.0.0.1:"_s + QString::number(silent.serverPort());
        mail.notify.FreePOP1.timeoutMs = 700;
        int ticks = 0;
        QTimer alive;
        QObject::connect(&alive, &QTimer::timeout, &alive, [&ticks] { ++ticks; });
        alive.start(50);
        // The progress window is made by the first check that shows it, not at the start.
        const auto progressWindows = [] {
            int n = 0;
            for (QWidget *w : QApplication::topLevelWidgets())
                n += qobject_cast<form_Checking *>(w) != nullptr;
            return n;
        };
        QCOMPARE(progressWindows(), 0);

        env.messages.expect(MsgAnswer::Ok);
        mail.notify.CheckNow();
        QCOMPARE(progressWindows(), 1);
        QVERIFY(ticks >= 10); // the window kept its events running through the wait
        QVERIFY(mail.notify.checkingWindow()->isVisible());
        QCOMPARE(mail.notify.checkingWindow()->list_Display->item(3)->text(),
                 u"- Checking :127.0.0.1:"_s + QString::number(mail.server.plainPort));
        QCOMPARE(mail.notify.checkingWindow()->list_Display->item(4)->text(), u"- Success"_s);

        // With no errors and nothing anywhere, the user hears so.
        Settings().NbrofAccounts = 1;
        Settings().POPServer[0] = Settings().POPServer[1];
        mail.notify.timer_DisableAutoDial_Timer();
        mail.notify.CheckNow();
        QCOMPARE(env.messages.shown().constLast().title, u"Mailbox"_s);
        QCOMPARE(env.messages.shown().constLast().text, u"You have no new emails...."_s);
    }
};

QTEST_MAIN(tst_MailCheck)
#include "tst_MailCheck.moc"
