// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "core/Password.h"
#include "core/Settings.h"
#include "platform/IniStore.h"
#include "platform/Paths.h"
#include "platform/Secrets.h"

#include <QElapsedTimer>
#include <QTest>
#include <signal.h>

using namespace Qt::StringLiterals;

namespace {

// A started suite on the real keyring.
struct RealKeyring : TestEnvironment {
    RealKeyring()
    {
        platform::installSecretStore(nullptr);
        WriteToRegistry();
        SetGlobalVariables();
    }
};

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

// The next start on the same files: the record is read again from the settings file and the keyring.
void restart()
{
    ResetSettings();
    SetGlobalVariables();
}

qint64 msTaken(const std::function<void()> &step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    return timer.elapsed();
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
        RealKeyring env;
        QVERIFY(platform::secretStore().available());
        const std::pair<QString, QString> passwords[] = {
            {u"PassWord"_s, u"Ann's s3cret ÆØÅ"_s}, {u"PassWord10"_s, u"tenth"_s}, {u"RasPassword"_s, u"modem pw"_s}};
        SettingsRecord &s = Settings();
        s.POPServer[0] = u"pop.example.org"_s;
        s.POPServer[9] = u"pop3s://mail.example.net"_s;
        s.RasUserName = u"dialer"_s;
        s.PassWord[0] = passwords[0].second;
        s.PassWord[9] = passwords[1].second;
        s.RasPassword = passwords[2].second;
        WriteGlobalVariables();
        // The file keeps each password until the keyring has confirmed it.
        for (const auto &[key, password] : passwords) {
            QTRY_COMPARE(inFile(key), std::optional<QString>(QString()));
            QCOMPARE(fromKeyring(key), password);
        }
        // The passwords arrive when the keyring answers, not before the start goes on.
        restart();
        QTRY_COMPARE(Settings().PassWord[0], passwords[0].second);
        QTRY_COMPARE(Settings().PassWord[9], passwords[1].second);
        QTRY_COMPARE(Settings().RasPassword, passwords[2].second);

        // A password cleared by the user leaves the keyring too.
        Settings().PassWord[9].clear();
        WriteGlobalVariables();
        QTRY_COMPARE(fromKeyring(u"PassWord10"_s), QString());
        restart();
        QTRY_COMPARE(Settings().PassWord[0], passwords[0].second);
        QCOMPARE(Settings().PassWord[9], QString());
    }

    // A keyring that answers nothing (a hung daemon, or a prompt nobody answers) costs no time and loses nothing:
    // the file keeps every password until the keyring wakes up and confirms it.
    void aHungKeyringCostsNoTimeAndLosesNothing()
    {
        RealKeyring env;
        Settings().POPServer[2] = u"pop.example.org"_s;
        Settings().PassWord[2] = u"before"_s;
        WriteGlobalVariables();
        QTRY_COMPARE(inFile(u"PassWord3"_s), std::optional<QString>(QString()));

        const QString password = u"Never-In-A-Log-7"_s;
        {
            FrozenKeyring frozen;
            Settings().PassWord[2] = password;
            QCOMPARE_LT(msTaken([] { WriteGlobalVariables(); }), 500);
            QCOMPARE(inFile(u"PassWord3"_s), EncodeStoredPassword(password));
            // A start while it hangs goes on at once, with the password from the file.
            QCOMPARE_LT(msTaken(restart), 500);
            QCOMPARE(Settings().PassWord[2], password);
            WriteGlobalVariables();
        }
        // Woken up, the keyring takes the password and only then does the file let it go.
        QTRY_COMPARE_WITH_TIMEOUT(inFile(u"PassWord3"_s), std::optional<QString>(QString()), 20000);
        QCOMPARE(fromKeyring(u"PassWord3"_s), password);
        restart();
        QTRY_COMPARE(Settings().PassWord[2], password);
    }
};

QTEST_MAIN(tst_Keyring)
#include "tst_Keyring.moc"
