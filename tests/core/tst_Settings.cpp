// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "core/ErrorLog.h"
#include "core/Password.h"
#include "core/Settings.h"
#include "core/SettingsCodec.h"
#include "core/Trace.h"
#include "platform/IniStore.h"
#include "platform/Paths.h"
#include "platform/Secrets.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace {

// A suite that has started once, with a keyring in memory or none: the first start's defaults written and read back.
struct Started : TestEnvironment {
    explicit Started(bool keyring = false)
    {
        secrets.m_available = keyring;
        writeFirstStartDefaults();
        loadSettings();
    }
};

// The next start on the same files.
void restart()
{
    ResetSettings();
    loadSettings();
}

// A mail check's question for an account's password, and the answer once it came.
struct PasswordAsked : QObject {
    explicit PasswordAsked(int account)
    {
        passwordForCheck(account, this, [this](const std::optional<QString> &given, const QString &reason) {
            ++answers;
            password = given;
            why = reason;
        });
    }
    int answers = 0;
    std::optional<QString> password;
    QString why;
};

QString encoded(const QString &plain)
{
    return EncodeStoredPassword(plain).value_or(u"<none>"_s);
}

QString fromKeyring(const QString &key)
{
    auto reply = std::make_shared<std::optional<platform::SecretReply>>();
    platform::secretStore().read(key, [reply](const platform::SecretReply &r) { *reply = r; });
    if (!QTest::qWaitFor([&] { return reply->has_value(); }, 10000))
        return u"<no answer>"_s;
    return (*reply)->ok ? (*reply)->text : u"<failed: "_s + (*reply)->error + u'>';
}

// Three accounts typed in this session, "pw0", "pw1" and "pw2", which the file must then hold encoded.
void typeThreePasswordsIntoTheFile()
{
    for (int i = 0; i < 3; ++i)
        Settings().PassWord[size_t(i)] = u"pw"_s + QString::number(i);
    saveSettings();
    for (int i = 0; i < 3; ++i)
        QCOMPARE(storedSetting(u"PassWord"_s + (i ? QString::number(i + 1) : QString())),
                 encoded(u"pw"_s + QString::number(i)));
}

} // namespace

class tst_Settings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A store without StartNotes, whatever else it holds, gets every default written over it.
    void firstStartWritesEveryDefaultAndEachUnreadableValueCostsOneLogLine()
    {
        TestEnvironment env;
        storeSettings({u"StartClock=0"_s, u"UserName=alice"_s});
        QVERIFY(IsFirstStart());
        writeFirstStartDefaults();
        QVERIFY(!IsFirstStart());
        loadSettings();
        const SettingsRecord &s = Settings();
        QCOMPARE(s.StartNotes + s.StartClock + s.StartCalc + s.StartEmail, 4);
        QCOMPARE(s.UserName[0], u"- Mailserver username"_s);
        QVERIFY(env.logLines().isEmpty());
        QSettings raw(env.settingsPath(), QSettings::IniFormat);
        raw.beginGroup(u"Settings"_s);
        QCOMPARE(raw.childKeys().size(), 45 + 3 * MaxMailAccounts);

        // Each value that cannot be read costs one log line and nothing else.
        storeSettings({u"CalcSize=abc"_s, u"CalcFont=5"_s, u"NoteSender=Åsa, at home"_s, u"HoursOff=-3"_s,
                       u"RasTime1=40000"_s, u"PlaySound=0"_s, u"UseRas=-1"_s, u"totStart=40000"_s,
                       u"LastGet=31-Feb-2001"_s});
        ResetSettings();
        Settings().CalcSize = 4; // what the field held before: it must stay
        loadSettings();
        QCOMPARE(std::tuple(s.CalcSize, s.CalcFont, s.HoursOff, s.RasTime1, s.totStart),
                 std::tuple(4, 5, -3, 23, 40000));
        QCOMPARE(s.NoteSender, u"Åsa, at home"_s);
        QVERIFY(!s.PlaySound && s.UseRas);
        QCOMPARE(s.LastGet, QDate(1990, 1, 1));
        // In reading order: CalcSize, LastGet, RasTime1.
        const QStringList log = env.logLines();
        QCOMPARE(log.size(), 3);
        QVERIFY(log[0].startsWith(u"\"err_Bas_SetGlobalVariables 13 Type mismatch"_s));
        QVERIFY(log[0].section(u"\",\""_s, 0, 0).endsWith(u"EXTRA:On getting registry info"_s));
        QVERIFY(log[1].contains(u" 13 Type mismatch"_s));
        QVERIFY(log[2].contains(u" 6 Overflow"_s));
    }

    // Without a keyring, passwords stay in the file in the form older copies wrote and read: shifts 3 1 4 1 5 2 6 5 3
    // 5, every later position taking the tenth. Only bytes can be so stored; the panel says where they are.
    void withoutAKeyringPasswordsAreShiftedAndOnlyBytesAreStored()
    {
        QCOMPARE(encoded(u"abcdefghijkl"_s), u"dcgejhmmlopq"_s);
        QCOMPARE(DecodeStoredPassword(u"dcgejhmmlopq"_s), std::optional<QString>(u"abcdefghijkl"_s));
        QVERIFY(!EncodeStoredPassword(u"\u00ff"_s));
        QVERIFY(!DecodeStoredPassword(QString(QChar(1))));

        Started env;
        saveSettings();
        // No account, no password: the keyring is not even looked for.
        QCOMPARE(env.secrets.m_probes, 0);
        Settings().PassWord[0] = u"€uro"_s;
        Settings().PassWord[1] = u"plain"_s;
        Settings().NoteSender = u"still written"_s;
        saveSettings();
        QCOMPARE(env.secrets.m_probes, 1);
        QCOMPARE(TraceText(), u"No keyring: passwords are kept encoded in the settings file"_s);
        QCOMPARE(env.secrets.m_writes, 0);
        QCOMPARE(storedSetting(u"NoteSender"_s), u"still written"_s);
        QCOMPARE(storedSetting(u"PassWord"_s), QString());
        QCOMPARE(env.logLines().size(), 1);
        QVERIFY(env.logLines()[0].startsWith(u"\"err_Bas_WriteGlobalVariables 5 "_s));
        // The next start finds the encoded password and looks once.
        restart();
        QCOMPARE(env.secrets.m_probes, 2);
    }

    void everyFieldSurvivesAWriteAndARead()
    {
        Started env;
        SettingsRecord &s = Settings();
        s.StartCalc = 0;
        s.ClockActive = s.EndByEnd = true;
        s.LastGet = QDate(2024, 2, 29);
        s.ClockLastSyncTime = QDateTime(QDate(2026, 3, 1), QTime(23, 59, 58));
        // Text as the store must keep it: control characters, all of Unicode, an INI file's own signs, nothing.
        s.CustomTimeserver = u"time.example.net\u0001\u007f\u0080\u009f\u00ff"_s;
        s.NoteSender = u"Åsa Öberg €"_s;
        s.EmailPath = u"C:\\Program Files\\mail.exe;x=y #z -mail \"a b\""_s;
        s.UserName[0].clear();
        s.CheckTime = u"10"_s;
        s.totMissedAlarms = 123456;
        // The server keys are read as "POPserver" and written as "POPServer": still one value each.
        s.POPServer[2] = u"pop.example.org"_s;
        const QString password = u"Pa55w0rd with spaces, commas; \"quotes\" ä"_s;
        s.PassWord[4] = s.RasPassword = password;
        saveSettings();
        QCOMPARE(storedSetting(u"PassWord5"_s), encoded(password));
        const SettingsRecord before = s;
        restart();
        // Values, not their text: a text form that loses something (the seconds, say) reads back as itself.
        for (const QString &key : settingKeys(SettingsOrder::Read)) {
            const SettingField &f = *settingField(key);
            std::visit(
                [&](auto member) {
                    if constexpr (std::is_same_v<decltype(member), SettingField::Accounts SettingsRecord::*>)
                        QCOMPARE((Settings().*member)[size_t(f.account)], (before.*member)[size_t(f.account)]);
                    else
                        QCOMPARE(Settings().*member, before.*member);
                },
                f.member);
        }
        QFile file(env.settingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()).count(u"popserver3="_s, Qt::CaseInsensitive), 1);
    }

    void aFailingKeyringIsAskedOncePerPassAndLosesNothing()
    {
        Started env(true);
        env.secrets.m_failing = true;
        typeThreePasswordsIntoTheFile();
        QCOMPARE(env.secrets.m_writes, 1);
        QCOMPARE(env.logLines().size(), 1);
        // The keyring's reason, and never the password.
        QCOMPARE(env.logLines()[0].section(u"\",\""_s, 0, 0), u"\"err_Bas_Keyring PassWord The keyring is locked"_s);

        // Once it answers, the next start moves all three in.
        env.secrets.m_failing = false;
        restart();
        QCOMPARE(env.secrets.m_entries.value(u"PassWord2"_s), u"pw1"_s);
        QCOMPARE(storedSetting(u"PassWord2"_s), QString());
        QCOMPARE(Settings().PassWord[2], u"pw2"_s);
    }

    // A password the keyring has not given holds nothing up while a check waits for it: the answer comes once the
    // keyring gives it, else with the reason when the time is up, and never to a check that is gone.
    void aCheckWaitsForItsPasswordWithoutStopping()
    {
        Started env(true);
        env.secrets.m_entries.insert(u"PassWord"_s, u"secret"_s);
        storeSettings({u"POPServer=pop.example.org"_s, u"UserName=fred"_s});
        env.secrets.m_holding = true;
        restart();
        auto gone = std::make_unique<PasswordAsked>(0);
        PasswordAsked asked(0);
        QCOMPARE(asked.answers, 0);
        gone.reset();
        env.secrets.answerHeld();
        QTRY_COMPARE(asked.answers, 1);
        QCOMPARE(asked.password, u"secret"_s);
        QCOMPARE(env.secrets.m_calls, QStringList{u"read PassWord"_s});

        qputenv("TARNIBE_KEYRING_TIMEOUT_MS", "300");
        const auto unset = qScopeGuard([] { qunsetenv("TARNIBE_KEYRING_TIMEOUT_MS"); });
        env.secrets.m_holding = true;
        restart();
        QElapsedTimer waited;
        waited.start();
        PasswordAsked late(0);
        QTRY_COMPARE(late.answers, 1);
        QVERIFY2(waited.elapsed() >= 300, qPrintable(QString::number(waited.elapsed())));
        QCOMPARE(late.password, std::nullopt);
        QCOMPARE(late.why, u"The keyring did not give the password; it is asked for again at the next check"_s);
        // The read still out gives the password for the next check.
        env.secrets.answerHeld();
        PasswordAsked next(0);
        QCOMPARE(next.answers, 1);
        QCOMPARE(next.password, u"secret"_s);
        QTest::qWait(50);
        QCOMPARE(late.answers, 1);
    }

    // A keyring that wants its password shows one prompt: one call is out at a time, and the rest wait for its
    // answer with the passwords in the file. A dismissed prompt means the file for the rest of the run.
    void oneKeyringCallAtATimeAndARefusalLastsTheRun()
    {
        Started env(true);
        env.secrets.m_holding = true;
        env.secrets.m_entries.insert(u"PassWord4"_s, u"kept"_s);
        storeSettings({u"POPServer4=pop.example.org"_s});
        restart();
        typeThreePasswordsIntoTheFile();
        QCOMPARE(env.secrets.m_calls, QStringList{u"read PassWord4"_s});

        env.secrets.m_refusing = true;
        env.secrets.answerHeld();
        QCOMPARE(env.secrets.m_calls.size(), 1);
        QCOMPARE(TraceText(),
                 u"The keyring was refused: passwords are kept encoded in the settings file until the next start"_s);
        Settings().PassWord[0] = u"typed after"_s;
        saveSettings();
        PasswordAsked asked(3);
        QCOMPARE(asked.answers, 1);
        QCOMPARE(asked.password, std::nullopt);
        QVERIFY2(asked.why.contains(u"refused"_s), qPrintable(asked.why));
        QCOMPARE(env.secrets.m_calls.size(), 1);
        QCOMPARE(storedSetting(u"PassWord"_s), encoded(u"typed after"_s));

        // The next start asks again, and everything moves in.
        env.secrets.m_refusing = false;
        restart();
        QCOMPARE(Settings().PassWord[3], u"kept"_s);
        QCOMPARE(env.secrets.m_entries.value(u"PassWord"_s), u"typed after"_s);
        QCOMPARE(storedSetting(u"PassWord"_s), QString());
        QCOMPARE(storedSetting(u"PassWord3"_s), QString());
    }

    void anEntryThatCouldNotBeReadIsNeverOverwritten()
    {
        Started env(true);
        env.secrets.m_entries.insert(u"PassWord"_s, u"kept"_s);
        storeSettings({u"POPServer=pop.example.org"_s});
        env.secrets.m_failing = true;
        restart();
        QCOMPARE(Settings().PassWord[0], QString());
        env.secrets.m_failing = false;
        saveSettings(); // the empty password it holds is no news for the keyring
        QCOMPARE(env.secrets.m_entries.value(u"PassWord"_s), u"kept"_s);
        QCOMPARE(env.secrets.m_writes, 0);
        restart();
        QCOMPARE(Settings().PassWord[0], u"kept"_s);
        // Untouched first-start accounts are not asked for at all.
        QCOMPARE(Settings().PassWord[1], QString());
    }

    // Minutes of the calendar: 23:59:01 to 23:59:59 is none, to the next second one, into the next year.
    void runningTimeCountsEachMinuteOnce()
    {
        Started env;
        storeSettings({u"totRunningTime=1000"_s});
        env.clock.set(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 1)));
        restart();
        StartRunningTime();
        const std::pair<int, const char *> steps[] = {{0, "0"}, {58, "0"}, {1, "1"}, {45 * 60, "46"}, {45 * 60, "91"}};
        for (const auto &[seconds, minutes] : steps) {
            env.clock.advanceSeconds(seconds);
            saveSettings();
            QCOMPARE(storedSetting(u"RunningTime"_s), QString::fromLatin1(minutes));
        }
        QCOMPARE(storedSetting(u"totRunningTime"_s), u"1091"_s);
    }

    // The settings file as a store, written by hand at first: a list in it is one text, keys in any case are one
    // key that keeps the spelling first written, the file is the owner's alone, and a write that fails says so.
    void theStoreKeepsOneSpellingStaysPrivateAndReportsAFailedWrite()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Tarnibe.conf"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[Settings]\nEmailPath=mutt, -y\n") > 0);
        file.close();
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
        platform::IniStore store(path);
        QCOMPARE(store.value(u"Settings"_s, u"EmailPath"_s), std::optional<QString>(u"mutt,-y"_s));
        store.setValue(u"Settings"_s, u"NbrOfAccounts"_s, u"1"_s);
        store.setValue(u"Settings"_s, u"NBROFACCOUNTS"_s, u"3"_s);
        store.setValue(u"Settings"_s, u"Empty"_s, QString()); // is there, unlike a key never written
        QVERIFY(store.sync());
        QCOMPARE(store.value(u"Settings"_s, u"empty"_s), std::optional<QString>(QString()));
        QCOMPARE(store.value(u"Settings"_s, u"nbrofaccounts"_s), std::optional<QString>(u"3"_s));
        QCOMPARE(store.value(u"Other"_s, u"NbrOfAccounts"_s), std::optional<QString>());
        namespace fs = std::filesystem;
        QCOMPARE(fs::status(path.toStdString()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QCOMPARE(text.count("NbrOfAccounts=3"), 1);
        QVERIFY(!text.contains("NBROFACCOUNTS"));

        // Something that is no file now stands where the settings go; even root cannot replace it.
        file.close();
        QVERIFY(QFile::remove(path) && QDir().mkpath(path + u"/blocked"_s));
        store.setValue(u"Settings"_s, u"Key"_s, u"value"_s);
        QVERIFY(!store.sync());
    }

    // What the mail check learns between starts is written at once, that key alone; a password never goes this way.
    void oneSettingIsWrittenAloneButNeverAPassword()
    {
        TestEnvironment env;
        writeFirstStartDefaults();
        const QString userName = storedSetting(u"UserName2"_s), password = storedSetting(u"PassWord2"_s);
        Settings().Encryption[1] = u"TLS pop.example.org"_s;
        Settings().UserName[1] = u"changed"_s;
        Settings().PassWord[1] = u"Wr0ng-Pa55"_s;
        saveSetting(u"encryption2"_s);
        saveSetting(u"PassWord2"_s);
        QCOMPARE(storedSetting(u"Encryption2"_s), u"TLS pop.example.org"_s);
        QCOMPARE(storedSetting(u"UserName2"_s), userName);
        QCOMPARE(storedSetting(u"PassWord2"_s), password);

        // An IMAP account's folders go the same way, tab and all, and a whole write leaves them out.
        const QString folders = u"Lists\tEntw&APw-rfe\t\"A b\" [x]"_s;
        Settings().Folders[2] = folders;
        saveSetting(u"Folders3"_s);
        saveSettings();
        restart();
        QCOMPARE(Settings().Folders[2], folders);
        QFile file(env.settingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()).count(u"Folders"_s, Qt::CaseInsensitive), 1);
    }

    // The error log, the other file the suite writes: a message is written as it is, quotes and all; the line that
    // passes the limit deletes the log, and one that cannot be written is lost without harm.
    void theLogKeepsQuotedLinesUpToItsLimitAndIgnoresAnUnwritableFile()
    {
        TestEnvironment env;
        env.clock.set(QDateTime(QDate(1999, 9, 7), QTime(17, 33, 26)));
        logError(u"err_Bas_SaveAllNotes 53 a \"quoted\" word, and ünïcode"_s);
        logError(u"err_tb_Form_Load "_s, platform::ErrorKind::TypeMismatch);
        logError(u"err_tb_tcpClient_Connect "_s, 10061, u"Connection is forcefully rejected"_s);
        QFile file(env.logPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 u"\"err_Bas_SaveAllNotes 53 a \"quoted\" word, and ünïcode\",\"17:33:26 : 1999-09-07\"\r\n"
                 "\"err_tb_Form_Load 13 Type mismatch\",\"17:33:26 : 1999-09-07\"\r\n"
                 "\"err_tb_tcpClient_Connect 10061 Connection is forcefully rejected\","
                 "\"17:33:26 : 1999-09-07\"\r\n"_s.toUtf8());

        QVERIFY(file.remove());
        const QString filler(200, u'x');
        // Each line is 200 + 2 quotes + comma + 2 quotes + 21-character stamp + CR LF = 228 bytes.
        const qint64 lineBytes = 228;
        const qint64 linesToLimit = ErrorLogLimit / lineBytes; // 4385 lines stay at or below the limit
        for (qint64 i = 0; i < linesToLimit; ++i)
            logError(filler);
        QCOMPARE(QFile(env.logPath()).size(), linesToLimit * lineBytes);
        logError(filler); // passes 1,000,000 bytes
        QVERIFY(!QFile::exists(env.logPath()));
        logError(u"first of a new file"_s);
        QCOMPARE(env.logLines().size(), 1);
        QVERIFY(env.logLines()[0].startsWith(u"\"first of a new file\""_s));

        QVERIFY(QFile::remove(env.logPath()) && QDir().mkpath(env.logPath())); // a folder where the file should be
        logError(u"lost, silently"_s);
        QVERIFY(QFileInfo(env.logPath()).isDir());
    }

    // The file keeps every password until the keyring has confirmed it; a locked keyring is refused, not empty.
    void passwordsLiveInTheKeyringAndALockedOneIsRefused()
    {
        if (qEnvironmentVariableIntValue("TARNIBE_TEST_KEYRING_PID") <= 0)
            QSKIP("needs the private keyring of with_keyring.sh (ctest runs it as tst_Keyring)");
        Started env;
        platform::installSecretStore(nullptr); // the one with_keyring.sh started
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
        saveSettings();
        // The file keeps each password until the keyring has confirmed it.
        for (const auto &[key, password] : passwords) {
            QTRY_COMPARE(storedSetting(key), QString());
            QCOMPARE(fromKeyring(key), password);
        }
        // The passwords arrive when the keyring answers, not before the start goes on.
        restart();
        QTRY_COMPARE(Settings().PassWord[0], passwords[0].second);
        QTRY_COMPARE(Settings().PassWord[9], passwords[1].second);
        QTRY_COMPARE(Settings().RasPassword, passwords[2].second);

        // A password cleared by the user leaves the keyring too.
        Settings().PassWord[9].clear();
        saveSettings();
        QTRY_COMPARE(fromKeyring(u"PassWord10"_s), QString());
        restart();
        QTRY_COMPARE(Settings().PassWord[0], passwords[0].second);
        QCOMPARE(Settings().PassWord[9], QString());

        // Locked, and not unlocked (no prompter answers here, as when the user dismisses it): the entry it hides is
        // no empty password, the check says the keyring was refused, and nothing asks it again this run.
        QProcess lock;
        lock.start(u"gdbus"_s,
                   {u"call"_s, u"--session"_s, u"--dest"_s, u"org.freedesktop.secrets"_s, u"--object-path"_s,
                    u"/org/freedesktop/secrets"_s, u"--method"_s, u"org.freedesktop.Secret.Service.Lock"_s,
                    u"['/org/freedesktop/secrets/collection/login']"_s});
        QVERIFY(lock.waitForFinished(10000) && lock.exitCode() == 0);
        restart();
        PasswordAsked asked(0);
        QTRY_COMPARE_WITH_TIMEOUT(asked.answers, 1, 15000);
        QCOMPARE(asked.password, std::nullopt);
        QVERIFY2(asked.why.contains(u"refused"_s), qPrintable(asked.why));
    }
};

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_Settings.moc"
