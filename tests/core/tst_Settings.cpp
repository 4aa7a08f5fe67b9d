// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "core/Password.h"
#include "core/Settings.h"
#include "core/SettingsCodec.h"
#include "core/Trace.h"
#include "platform/IniStore.h"

#include <QFile>
#include <QSettings>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A suite that has started once: the first start's defaults written and read back.
struct Started : TestEnvironment {
    explicit Started(bool keyring = false)
    {
        secrets.m_available = keyring;
        WriteToRegistry();
        SetGlobalVariables();
    }
};

// The next start on the same files.
void restart()
{
    ResetSettings();
    SetGlobalVariables();
}

// Writes values ("key=value") into the settings file, as another program or an older copy might have left them.
void put(const QStringList &values)
{
    for (const QString &value : values)
        SettingsStore().setValue(u"Settings"_s, value.section(u'=', 0, 0), value.section(u'=', 1));
    QVERIFY(SettingsStore().sync());
}

QString stored(const QString &key)
{
    return SettingsStore().value(u"Settings"_s, key).value_or(u"<missing>"_s);
}

QString encoded(const QString &plain)
{
    return EncodeStoredPassword(plain).value_or(u"<none>"_s);
}

QString passwordKey(int account)
{
    return u"PassWord"_s + (account ? QString::number(account + 1) : QString());
}

// Three accounts typed in this session: "pw0", "pw1", "pw2".
void typeThreePasswords()
{
    for (int i = 0; i < 3; ++i)
        Settings().PassWord[size_t(i)] = u"pw"_s + QString::number(i);
    WriteGlobalVariables();
}

} // namespace

class tst_Settings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A store without StartNotes, whatever else it holds, gets every default written over it.
    void firstStartWritesEveryDefault()
    {
        TestEnvironment env;
        put({u"StartClock=0"_s, u"UserName=alice"_s});
        QVERIFY(IsFirstStart());
        WriteToRegistry();
        QVERIFY(!IsFirstStart());
        SetGlobalVariables();
        const SettingsRecord &s = Settings();
        QCOMPARE(s.StartNotes + s.StartClock + s.StartCalc + s.StartEmail, 4);
        QCOMPARE(s.UserName[0], u"- Mailserver username"_s);
        QVERIFY(env.logLines().isEmpty());
        QSettings raw(env.settingsPath(), QSettings::IniFormat);
        raw.beginGroup(u"Settings"_s);
        QCOMPARE(raw.childKeys().size(), 45 + 3 * MaxMailAccounts);
    }

    void eachUnreadableValueCostsOneLogLineAndNothingElse()
    {
        Started env;
        put({u"CalcSize=abc"_s, u"CalcFont=5"_s, u"NoteSender=Åsa, at home"_s, u"HoursOff=-3"_s, u"RasTime1=40000"_s,
             u"PlaySound=0"_s, u"UseRas=-1"_s, u"totStart=40000"_s, u"LastGet=31-Feb-2001"_s});
        ResetSettings();
        Settings().CalcSize = 4; // what the field held before: it must stay
        SetGlobalVariables();
        const SettingsRecord &s = Settings();
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

    void storedPasswordsAreShiftedAndOnlyBytesAreStored()
    {
        // The form older copies wrote and read: shifts 3 1 4 1 5 2 6 5 3 5, every later position taking the tenth.
        QCOMPARE(encoded(u"abcdefghijkl"_s), u"dcgejhmmlopq"_s);
        QCOMPARE(DecodeStoredPassword(u"dcgejhmmlopq"_s), std::optional<QString>(u"abcdefghijkl"_s));
        QVERIFY(!EncodeStoredPassword(u"\u00ff"_s));
        QVERIFY(!DecodeStoredPassword(QString(QChar(1))));

        Started env;
        Settings().PassWord[0] = u"€uro"_s;
        Settings().NoteSender = u"still written"_s;
        WriteGlobalVariables();
        QCOMPARE(stored(u"NoteSender"_s), u"still written"_s);
        QCOMPARE(stored(u"PassWord"_s), QString());
        QCOMPARE(env.logLines().size(), 1);
        QVERIFY(env.logLines()[0].startsWith(u"\"err_Bas_WriteGlobalVariables 5 "_s));
    }

    void everyFieldSurvivesAWriteAndARead()
    {
        Started env;
        SettingsRecord &s = Settings();
        s.StartCalc = 0;
        s.ClockActive = s.EndByEnd = true;
        s.LastGet = QDate(2024, 2, 29);
        s.ClockLastSyncTime = QDateTime(QDate(2026, 3, 1), QTime(23, 59, 58));
        s.CustomTimeserver = u"time.example.net"_s;
        s.EmailPath = u"thunderbird -mail \"a b\""_s;
        s.CheckTime = u"10"_s;
        s.totMissedAlarms = 123456;
        // The server keys are read as "POPserver" and written as "POPServer": still one value each.
        s.POPServer[2] = u"pop.example.org"_s;
        const QString password = u"Pa55w0rd with spaces, commas; \"quotes\" ä"_s;
        s.PassWord[4] = s.RasPassword = password;
        WriteGlobalVariables();
        QCOMPARE(stored(u"PassWord5"_s), encoded(password));
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

    void withoutAKeyringPasswordsStayEncodedAndThePanelSaysSo()
    {
        Started env;
        WriteGlobalVariables();
        // No account, no password: the keyring is not even looked for.
        QCOMPARE(env.secrets.m_probes, 0);
        Settings().PassWord[1] = u"plain"_s;
        WriteGlobalVariables();
        QCOMPARE(env.secrets.m_probes, 1);
        QCOMPARE(TraceText(), u"No keyring: passwords are kept encoded in the settings file"_s);
        QCOMPARE(env.secrets.m_writes, 0);
        // The next start finds the encoded password and looks once.
        restart();
        QCOMPARE(env.secrets.m_probes, 2);
    }

    void aFailingKeyringIsAskedOncePerPassAndLosesNothing()
    {
        Started env(true);
        env.secrets.m_failing = true;
        typeThreePasswords();
        QCOMPARE(env.secrets.m_writes, 1);
        QCOMPARE(env.logLines().size(), 1);
        // The keyring's reason, and never the password.
        QCOMPARE(env.logLines()[0].section(u"\",\""_s, 0, 0), u"\"err_Bas_Keyring PassWord The keyring is locked"_s);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(stored(passwordKey(i)), encoded(u"pw"_s + QString::number(i)));

        // Once it answers, the next start moves all three in.
        env.secrets.m_failing = false;
        restart();
        QCOMPARE(env.secrets.m_entries.value(u"PassWord2"_s), u"pw1"_s);
        QCOMPARE(stored(u"PassWord2"_s), QString());
        QCOMPARE(Settings().PassWord[2], u"pw2"_s);
    }

    // A keyring that wants its password shows one prompt: one call is out at a time, and the rest wait for its
    // answer with the passwords in the file. A dismissed prompt means the file for the rest of the run.
    void oneKeyringCallAtATimeAndARefusalLastsTheRun()
    {
        Started env(true);
        env.secrets.m_holding = true;
        env.secrets.m_entries.insert(u"PassWord4"_s, u"kept"_s);
        put({u"POPServer4=pop.example.org"_s});
        restart();
        typeThreePasswords();
        QCOMPARE(env.secrets.m_calls, QStringList{u"read PassWord4"_s});
        for (int i = 0; i < 3; ++i)
            QCOMPARE(stored(passwordKey(i)), encoded(u"pw"_s + QString::number(i)));

        env.secrets.m_refusing = true;
        env.secrets.answerHeld();
        QCOMPARE(env.secrets.m_calls.size(), 1);
        QCOMPARE(TraceText(),
                 u"The keyring was refused: passwords are kept encoded in the settings file until the next start"_s);
        Settings().PassWord[0] = u"typed after"_s;
        WriteGlobalVariables();
        QString why;
        QCOMPARE(PasswordForCheck(3, &why), std::nullopt);
        QVERIFY2(why.contains(u"refused"_s), qPrintable(why));
        QCOMPARE(env.secrets.m_calls.size(), 1);
        QCOMPARE(stored(u"PassWord"_s), encoded(u"typed after"_s));

        // The next start asks again, and everything moves in.
        env.secrets.m_refusing = false;
        restart();
        QCOMPARE(Settings().PassWord[3], u"kept"_s);
        QCOMPARE(env.secrets.m_entries.value(u"PassWord"_s), u"typed after"_s);
        QCOMPARE(stored(u"PassWord"_s), QString());
        QCOMPARE(stored(u"PassWord3"_s), QString());
    }

    void anEntryThatCouldNotBeReadIsNeverOverwritten()
    {
        Started env(true);
        env.secrets.m_entries.insert(u"PassWord"_s, u"kept"_s);
        put({u"POPServer=pop.example.org"_s});
        env.secrets.m_failing = true;
        restart();
        QCOMPARE(Settings().PassWord[0], QString());
        env.secrets.m_failing = false;
        WriteGlobalVariables(); // the empty password it holds is no news for the keyring
        QCOMPARE(env.secrets.m_entries.value(u"PassWord"_s), u"kept"_s);
        QCOMPARE(env.secrets.m_writes, 0);
        restart();
        QCOMPARE(Settings().PassWord[0], u"kept"_s);
        // Untouched first-start accounts are not asked for at all.
        QCOMPARE(Settings().PassWord[1], QString());
    }

    // 10:00:40 to 10:01:10 crosses one minute boundary: it counts as a minute.
    void runningTimeCountsEachMinuteOnce()
    {
        Started env;
        put({u"totRunningTime=1000"_s});
        env.clock.set(QDateTime(QDate(2026, 12, 6), QTime(10, 0, 40)));
        restart();
        StartRunningTime();
        const std::pair<int, const char *> steps[] = {{0, "0"}, {30, "1"}, {45 * 60, "46"}, {45 * 60, "91"}};
        for (const auto &[seconds, minutes] : steps) {
            env.clock.advanceSeconds(seconds);
            WriteGlobalVariables();
            QCOMPARE(stored(u"RunningTime"_s), QString::fromLatin1(minutes));
        }
        QCOMPARE(stored(u"totRunningTime"_s), u"1091"_s);
    }
};

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_Settings.moc"
