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
    QString error;
    return platform::secretStore().read(key, &error).value_or(u"<failed: "_s + error + u'>');
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
    FrozenKeyring() : m_pid(qEnvironmentVariableIntValue("TARNIBE_TEST_KEYRING_PID"))
    {
        qputenv("TARNIBE_KEYRING_TIMEOUT_MS", "1500");
        ::kill(m_pid, SIGSTOP);
    }
    ~FrozenKeyring()
    {
        ::kill(m_pid, SIGCONT);
        qunsetenv("TARNIBE_KEYRING_TIMEOUT_MS");
    }

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

        QCOMPARE(fromKeyring(u"PassWord"_s), u"Ann's s3cret ÆØÅ"_s);
        QCOMPARE(fromKeyring(u"PassWord10"_s), u"tenth"_s);
        QCOMPARE(fromKeyring(u"RasPassword"_s), u"modem pw"_s);
        for (const QString &key : {u"PassWord"_s, u"PassWord10"_s, u"RasPassword"_s})
            QCOMPARE(inFile(key), std::optional<QString>(QString()));

        restart();
        QCOMPARE(Settings().PassWord[0], u"Ann's s3cret ÆØÅ"_s);
        QCOMPARE(Settings().PassWord[9], u"tenth"_s);
        QCOMPARE(Settings().RasPassword, u"modem pw"_s);

        // A password cleared by the user leaves the keyring too.
        Settings().PassWord[9].clear();
        WriteGlobalVariables();
        QCOMPARE(fromKeyring(u"PassWord10"_s), QString());
        restart();
        QCOMPARE(Settings().PassWord[9], QString());
        QCOMPARE(Settings().PassWord[0], u"Ann's s3cret ÆØÅ"_s);
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
        QCOMPARE(fromKeyring(u"PassWord2"_s), u"from the old file"_s);
        QCOMPARE(inFile(u"PassWord2"_s), std::optional<QString>(QString()));
        restart();
        QCOMPARE(Settings().PassWord[1], u"from the old file"_s);
    }

    void aFailedKeyringWriteKeepsThePasswordInTheFile()
    {
        TestEnvironment env;
        platform::installSecretStore(nullptr);
        WriteToRegistry();
        SetGlobalVariables();
        Settings().POPServer[2] = u"pop.example.org"_s;
        Settings().PassWord[2] = u"before"_s;
        WriteGlobalVariables();
        QCOMPARE(fromKeyring(u"PassWord3"_s), u"before"_s);

        const QString password = u"Never-In-A-Log-7"_s;
        {
            FrozenKeyring frozen;
            Settings().PassWord[2] = password;
            WriteGlobalVariables();
        }
        QCOMPARE(inFile(u"PassWord3"_s), EncodeStoredPassword(password));
        QVERIFY(env.logLines().constLast().startsWith(u"err_Bas_Keyring PassWord3"_s) ||
                env.logLines().constLast().contains(u"err_Bas_Keyring PassWord3"_s));

        // At the next start the keyring answers again: the password moves in and leaves the file.
        restart();
        QCOMPARE(Settings().PassWord[2], password);
        QCOMPARE(fromKeyring(u"PassWord3"_s), password);
        QCOMPARE(inFile(u"PassWord3"_s), std::optional<QString>(QString()));

        // A start that finds the keyring hung moves nothing and loses nothing.
        {
            platform::IniStore file(platform::settingsFile());
            file.setValue(u"Settings"_s, u"PassWord3"_s, *EncodeStoredPassword(u"second"_s));
            QVERIFY(file.sync());
        }
        {
            FrozenKeyring frozen;
            restart();
        }
        QCOMPARE(Settings().PassWord[2], u"second"_s);
        QCOMPARE(inFile(u"PassWord3"_s), EncodeStoredPassword(u"second"_s));

        // At the session's end nothing waits for the keyring: a hung one costs no time, and the file keeps the
        // password for the next start.
        {
            FrozenKeyring frozen;
            Settings().PassWord[2] = u"at the end"_s;
            QElapsedTimer timer;
            timer.start();
            WriteGlobalVariables(KeyringWait::No);
            QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        }
        QCOMPARE(inFile(u"PassWord3"_s), EncodeStoredPassword(u"at the end"_s));

        QFile log(env.logPath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QVERIFY(text.contains("err_Bas_Keyring"));
        for (const QString &secret : {password, u"second"_s, u"before"_s}) {
            QVERIFY2(!text.contains(secret.toUtf8()), qPrintable(secret));
            QVERIFY2(!text.contains(EncodeStoredPassword(secret)->toUtf8()), qPrintable(secret));
        }
    }
};

QTEST_MAIN(tst_Keyring)
#include "tst_Keyring.moc"
