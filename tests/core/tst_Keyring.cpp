// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "core/Password.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "platform/IniStore.h"
#include "platform/Paths.h"
#include "platform/Secrets.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <signal.h>

using namespace Qt::StringLiterals;

namespace {

std::optional<QString> inFile(const QString &key)
{
    return platform::IniStore(platform::settingsFile()).value(u"Settings"_s, key);
}

QString fromKeyring(const QString &key)
{
    auto reply = std::make_shared<std::optional<platform::SecretReply>>();
    platform::secretStore().read(key, [reply](const platform::SecretReply &r) { *reply = r; });
    if (!QTest::qWaitFor([&] { return reply->has_value(); }, 10000))
        return u"<no answer>"_s;
    return (*reply)->ok ? (*reply)->text : u"<failed: "_s + (*reply)->error + u'>';
}

// A fresh start of the suite on the same files: the record is read again from the settings file and the keyring.
void restart()
{
    ResetSettings();
    SetGlobalVariables();
}

// The daemon stops answering, as a hung keyring would, until the guard ends.
class FrozenKeyring {
public:
    FrozenKeyring() : m_pid(qEnvironmentVariableIntValue("TARNIBE_TEST_KEYRING_PID")) { ::kill(m_pid, SIGSTOP); }
    ~FrozenKeyring() { ::kill(m_pid, SIGCONT); }

private:
    pid_t m_pid;
};

} // namespace

// Against GNOME Keyring on a private session bus (ctest runs this under with_keyring.sh).
class tst_Keyring : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIntValue("TARNIBE_TEST_KEYRING_PID") <= 0)
            QSKIP("needs the private keyring of with_keyring.sh");
    }

    void passwordsLiveInTheKeyringNotTheFile()
    {
        TestEnvironment env;
        platform::installSecretStore(nullptr);
        WriteToRegistry();
        SetGlobalVariables();
        QVERIFY(platform::secretStore().available());
        SettingsRecord &s = Settings();
        s.POPServer[0] = u"pop.example.org"_s;
        s.UserName[0] = u"ann"_s;
        s.PassWord[0] = u"Ann's s3cret ÆØÅ"_s;
        s.POPServer[9] = u"pop3s://mail.example.net"_s;
        s.PassWord[9] = u"tenth"_s;
        s.RasUserName = u"dialer"_s;
        s.RasPassword = u"modem pw"_s;
        WriteGlobalVariables();
        // The file keeps each password until the keyring has confirmed it.
        for (const QString &key : {u"PassWord"_s, u"PassWord10"_s, u"RasPassword"_s})
            QTRY_COMPARE(inFile(key), std::optional<QString>(QString()));

        QCOMPARE(fromKeyring(u"PassWord"_s), u"Ann's s3cret ÆØÅ"_s);
        QCOMPARE(fromKeyring(u"PassWord10"_s), u"tenth"_s);
        QCOMPARE(fromKeyring(u"RasPassword"_s), u"modem pw"_s);

        // The passwords arrive when the keyring answers, not before the start goes on.
        restart();
        QTRY_COMPARE(Settings().PassWord[0], u"Ann's s3cret ÆØÅ"_s);
        QTRY_COMPARE(Settings().PassWord[9], u"tenth"_s);
        QTRY_COMPARE(Settings().RasPassword, u"modem pw"_s);

        // A password cleared by the user leaves the keyring too.
        Settings().PassWord[9].clear();
        WriteGlobalVariables();
        QTRY_COMPARE(fromKeyring(u"PassWord10"_s), QString());
        restart();
        QTRY_COMPARE(Settings().PassWord[0], u"Ann's s3cret ÆØÅ"_s);
        QCOMPARE(Settings().PassWord[9], QString());
    }

    void anEncodedPasswordMovesIntoTheKeyring()
    {
        TestEnvironment env;
        platform::installSecretStore(nullptr);
        WriteToRegistry();
        {
            platform::IniStore file(platform::settingsFile());
            file.setValue(u"Settings"_s, u"POPServer2"_s, u"pop.example.org"_s);
            file.setValue(u"Settings"_s, u"PassWord2"_s, *EncodeStoredPassword(u"from the old file"_s));
            QVERIFY(file.sync());
        }
        restart();
        QCOMPARE(Settings().PassWord[1], u"from the old file"_s);
        QTRY_COMPARE(inFile(u"PassWord2"_s), std::optional<QString>(QString()));
        QCOMPARE(fromKeyring(u"PassWord2"_s), u"from the old file"_s);
        restart();
        QTRY_COMPARE(Settings().PassWord[1], u"from the old file"_s);
    }

    // A keyring that answers nothing (a hung daemon, or a prompt nobody answers) costs no time and loses nothing:
    // the file keeps every password until the keyring wakes up and confirms it.
    void aHungKeyringCostsNoTimeAndLosesNothing()
    {
        TestEnvironment env;
        platform::installSecretStore(nullptr);
        WriteToRegistry();
        SetGlobalVariables();
        Settings().POPServer[2] = u"pop.example.org"_s;
        Settings().PassWord[2] = u"before"_s;
        WriteGlobalVariables();
        QTRY_COMPARE(inFile(u"PassWord3"_s), std::optional<QString>(QString()));

        const QString password = u"Never-In-A-Log-7"_s;
        QElapsedTimer timer;
        {
            FrozenKeyring frozen;
            timer.start();
            Settings().PassWord[2] = password;
            WriteGlobalVariables();
            QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
            QCOMPARE(inFile(u"PassWord3"_s), EncodeStoredPassword(password));

            // A start while it hangs goes on at once, with the password from the file.
            timer.restart();
            restart();
            QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
            QCOMPARE(Settings().PassWord[2], password);

            // So does the session's end, and the file keeps what the keyring was not given.
            Settings().PassWord[2] = u"at the end"_s;
            timer.restart();
            WriteGlobalVariables(KeyringWait::No);
            QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
            QCOMPARE(inFile(u"PassWord3"_s), EncodeStoredPassword(u"at the end"_s));
            Settings().PassWord[2] = password;
            WriteGlobalVariables();
        }
        // Woken up, the keyring takes the password and only then does the file let it go.
        QTRY_COMPARE_WITH_TIMEOUT(inFile(u"PassWord3"_s), std::optional<QString>(QString()), 20000);
        QCOMPARE(fromKeyring(u"PassWord3"_s), password);
        restart();
        QTRY_COMPARE(Settings().PassWord[2], password);

        QFile log(env.logPath());
        if (log.open(QIODevice::ReadOnly)) {
            const QByteArray text = log.readAll();
            for (const QString &secret : {password, u"at the end"_s, u"before"_s}) {
                QVERIFY2(!text.contains(secret.toUtf8()), qPrintable(secret));
                QVERIFY2(!text.contains(EncodeStoredPassword(secret)->toUtf8()), qPrintable(secret));
            }
        }
    }
};

QTEST_MAIN(tst_Keyring)
#include "tst_Keyring.moc"
