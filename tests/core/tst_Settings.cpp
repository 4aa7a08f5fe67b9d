// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "core/Password.h"
#include "core/Registry.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "platform/IniStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>
#include <filesystem>

using namespace Qt::StringLiterals;

class tst_Settings : public QObject {
    Q_OBJECT

private:
    // Writes a settings file by hand, as another program or an older copy might have left it.
    static void writeStore(const QString &path, const QByteArray &body)
    {
        QFile file(path);
        QVERIFY(QFileInfo(path).dir().mkpath(u"."_s));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(body);
    }
    static QString stored(const QString &key)
    {
        return SettingsStore().value(u"Settings"_s, key).value_or(u"<missing>"_s);
    }

private Q_SLOTS:
    void firstStartWritesEveryDefaultThenReadsThem()
    {
        TestEnvironment env;
        QVERIFY(IsFirstStart());
        WriteToRegistry();
        QVERIFY(!IsFirstStart());
        SetGlobalVariables();

        const SettingsRecord &s = Settings();
        QCOMPARE(s.StartNotes + s.StartClock + s.StartCalc + s.StartEmail, 4);
        QVERIFY(s.PlaySound && s.CalcOnTop && s.ShowContainer && s.AcceptNotes);
        QVERIFY(!s.ClockActive && !s.UseRas && !s.EndByEnd);
        QCOMPARE(s.POPServer[0], u"- Internetaddress to mailserver"_s);
        QCOMPARE(s.POPServer[9], u"- Internetaddress to mailserver 10"_s);
        QCOMPARE(s.UserName[1], u"- Mailserver username 2"_s);
        QCOMPARE(s.CheckTime, u"0 (=never)"_s);
        QCOMPARE(s.EmailPath, u"- Path to your emailprogram"_s);
        QCOMPARE(s.ClockLastSyncTime, QDateTime(QDate(1990, 1, 1), QTime(0, 0)));
        QCOMPARE(s.RasTime1, 23);
        QCOMPARE(s.RasTime2, 7);
        QVERIFY(env.logLines().isEmpty());

        // Every key of the store is present, written once, and nothing else is.
        QSettings raw(env.settingsPath(), QSettings::IniFormat);
        raw.beginGroup(u"Settings"_s);
        QCOMPARE(raw.childKeys().size(), 45 + 3 * MaxMailAccounts);
    }

    void onlyTheOwnerMayReadTheFile()
    {
        TestEnvironment env;
        WriteToRegistry();
        SetGlobalVariables();
        Settings().PassWord[0] = u"secret"_s;
        WriteGlobalVariables();
        namespace fs = std::filesystem;
        QCOMPARE(fs::status(env.settingsPath().toStdString()).permissions(),
                 fs::perms::owner_read | fs::perms::owner_write);
        QVERIFY(!env.settingsText().contains(u"secret"_s));
    }

    void eachUnreadableValueCostsOneLogLineAndNothingElse()
    {
        TestEnvironment env;
        WriteToRegistry();
        const QList<std::pair<const char *, QString>> stored = {
            {"CalcSize", u"abc"_s}, {"CalcFont", u"5"_s},     {"NoteSender", u"Åsa, at home"_s},
            {"HoursOff", u"-3"_s},  {"RasTime1", u"40000"_s}, {"PlaySound", u"0"_s},
            {"UseRas", u"-1"_s},    {"totStart", u"40000"_s}, {"LastGet", u"31-Feb-2001"_s}};
        for (const auto &[key, value] : stored)
            SettingsStore().setValue(u"Settings"_s, QString::fromLatin1(key), value);
        QVERIFY(SettingsStore().sync());
        ResetSettings();
        Settings().CalcSize = 4; // what the field held before: it must stay
        SetGlobalVariables();

        QCOMPARE(Settings().CalcSize, 4);
        QCOMPARE(Settings().CalcFont, 5);
        QCOMPARE(Settings().NoteSender, u"Åsa, at home"_s);
        QCOMPARE(Settings().HoursOff, -3);
        QCOMPARE(Settings().RasTime1, 23);
        QVERIFY(!Settings().PlaySound);
        QVERIFY(Settings().UseRas);
        QCOMPARE(Settings().totStart, 40000);
        QCOMPARE(Settings().LastGet, QDate(1990, 1, 1));
        // In reading order: CalcSize, LastGet, RasTime1.
        const QStringList log = env.logLines();
        QCOMPARE(log.size(), 3);
        QVERIFY(log[0].startsWith(u"\"err_Bas_SetGlobalVariables 13 Type mismatch"_s));
        QVERIFY(log[0].section(u"\",\""_s, 0, 0).endsWith(u"EXTRA:On getting registry info"_s));
        QVERIFY(log[1].contains(u" 13 Type mismatch"_s));
        QVERIFY(log[2].contains(u" 6 Overflow"_s));
    }

    void keyNamesMatchWhateverTheirCase()
    {
        TestEnvironment env;
        WriteToRegistry(); // writes "NbrOfAccounts"
        SettingsStore().setValue(u"Settings"_s, u"NbrofAccounts"_s, u"7"_s);
        QVERIFY(SettingsStore().sync());
        SetGlobalVariables();
        QCOMPARE(Settings().NbrofAccounts, 7);
        QCOMPARE(stored(u"NBROFACCOUNTS"_s), u"7"_s);
        const QString text = env.settingsText();
        QCOMPARE(text.count(u"nbrofaccounts="_s, Qt::CaseInsensitive), 1);

        // The server keys are read as "POPserver" and written as "POPServer": still one value each.
        Settings().POPServer[2] = u"pop.example.org"_s;
        WriteGlobalVariables();
        ResetSettings();
        SetGlobalVariables();
        QCOMPARE(Settings().POPServer[2], u"pop.example.org"_s);
        QCOMPARE(env.settingsText().count(u"popserver3="_s, Qt::CaseInsensitive), 1);
    }

    void aStoreWithoutStartNotesIsAFirstStart()
    {
        TestEnvironment env;
        writeStore(env.settingsPath(), "[Settings]\r\nStartClock=0\r\nUserName=alice\r\nPOPServer2=mail.example.org\r\n"
                                       "CheckTime=15 min\r\n");
        QVERIFY(IsFirstStart());
        WriteToRegistry();
        SetGlobalVariables();
        QCOMPARE(Settings().StartClock, 1);
        QCOMPARE(Settings().UserName[0], u"- Mailserver username"_s);
        QCOMPARE(Settings().POPServer[1], u"- Internetaddress to mailserver 2"_s);
        QCOMPARE(Settings().CheckTime, u"0 (=never)"_s);
    }

    void passwordsRoundTrip_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::newRow("empty") << QString();
        QTest::newRow("one") << u"x"_s;
        QTest::newRow("ten") << u"abcdefghij"_s;
        QTest::newRow("eleven") << u"abcdefghijk"_s;
        QTest::newRow("forty") << u"Pa55w0rd with spaces, commas; \"quotes\" ä"_s.leftJustified(40, u'z');
    }
    void passwordsRoundTrip()
    {
        QFETCH(QString, plain);
        const auto encoded = EncodeStoredPassword(plain);
        QVERIFY(encoded);
        QCOMPARE(encoded->size(), plain.size());
        if (!plain.isEmpty())
            QVERIFY(*encoded != plain);
        QCOMPARE(DecodeStoredPassword(*encoded), std::optional<QString>(plain));

        // And through the settings file.
        TestEnvironment env;
        WriteToRegistry();
        SetGlobalVariables();
        Settings().PassWord[4] = plain;
        Settings().RasPassword = plain;
        WriteGlobalVariables();
        QCOMPARE(stored(u"PassWord5"_s), *encoded);
        ResetSettings();
        SetGlobalVariables();
        QCOMPARE(Settings().PassWord[4], plain);
        QCOMPARE(Settings().RasPassword, plain);
    }

    void passwordsOutsideTheByteRangeAreLoggedNotStored()
    {
        // Positions beyond the tenth all take the tenth shift.
        const auto encoded = EncodeStoredPassword(u"aaaaaaaaaaaaa"_s);
        QCOMPARE(encoded->mid(9), QString(4, encoded->at(9)));

        TestEnvironment env;
        WriteToRegistry();
        SetGlobalVariables();
        QVERIFY(!EncodeStoredPassword(u"\u00ff"_s));
        QVERIFY(!DecodeStoredPassword(QString(QChar(1))));
        Settings().PassWord[0] = u"€uro"_s;
        Settings().NoteSender = u"still written"_s;
        WriteGlobalVariables();
        QCOMPARE(stored(u"NoteSender"_s), u"still written"_s);
        QCOMPARE(stored(u"PassWord"_s), QString());
        QCOMPARE(env.logLines().size(), 1);
        QVERIFY(env.logLines()[0].startsWith(u"\"err_Bas_WriteGlobalVariables 5 "_s));
    }

    void withoutAKeyringPasswordsStayEncodedAndThePanelSaysSo()
    {
        TestEnvironment env;
        WriteToRegistry();
        SetGlobalVariables();
        WriteGlobalVariables();
        // No account, no password: the keyring is not even looked for.
        QCOMPARE(env.secrets.m_probes, 0);
        Settings().PassWord[1] = u"plain"_s;
        WriteGlobalVariables();
        QCOMPARE(env.secrets.m_probes, 1);
        QCOMPARE(TraceText(), u"No keyring: passwords are kept encoded in the settings file"_s);
        QCOMPARE(stored(u"PassWord2"_s), *EncodeStoredPassword(u"plain"_s));
        QCOMPARE(env.secrets.m_writes, 0);
        // The next start finds the encoded password and looks once.
        ResetSettings();
        SetGlobalVariables();
        QCOMPARE(env.secrets.m_probes, 2);
        QCOMPARE(Settings().PassWord[1], u"plain"_s);
    }

    void aFailingKeyringIsAskedOncePerPassAndLosesNothing()
    {
        TestEnvironment env;
        env.secrets.m_available = true;
        WriteToRegistry();
        SetGlobalVariables();
        env.secrets.m_failing = true;
        for (int i = 0; i < 3; ++i)
            Settings().PassWord[size_t(i)] = u"pw"_s + QString::number(i);
        WriteGlobalVariables();
        QCOMPARE(env.secrets.m_writes, 1);
        QCOMPARE(env.logLines().size(), 1);
        QVERIFY(env.logLines()[0].contains(u"err_Bas_Keyring PassWord The keyring is locked"_s));
        QCOMPARE(stored(u"PassWord"_s), *EncodeStoredPassword(u"pw0"_s));
        QCOMPARE(stored(u"PassWord3"_s), *EncodeStoredPassword(u"pw2"_s));

        // Once it answers, the next start moves all three in.
        env.secrets.m_failing = false;
        ResetSettings();
        SetGlobalVariables();
        QCOMPARE(env.secrets.m_entries.value(u"PassWord2"_s), u"pw1"_s);
        QCOMPARE(stored(u"PassWord2"_s), QString());
        QCOMPARE(Settings().PassWord[2], u"pw2"_s);
    }

    // A keyring that wants its password shows one prompt: one call is out at a time, and the rest wait for its
    // answer with the passwords in the file. A dismissed prompt means the file for the rest of the run.
    void oneKeyringCallAtATimeAndARefusalLastsTheRun()
    {
        TestEnvironment env;
        env.secrets.m_available = true;
        env.secrets.m_holding = true;
        env.secrets.m_entries.insert(u"PassWord4"_s, u"kept"_s);
        WriteToRegistry();
        SettingsStore().setValue(u"Settings"_s, u"POPServer4"_s, u"pop.example.org"_s);
        SetGlobalVariables();
        for (int i = 0; i < 3; ++i)
            Settings().PassWord[size_t(i)] = u"pw"_s + QString::number(i);
        WriteGlobalVariables();
        QCOMPARE(env.secrets.m_calls, QStringList{u"read PassWord4"_s});
        for (int i = 0; i < 3; ++i)
            QCOMPARE(stored(u"PassWord"_s + (i ? QString::number(i + 1) : QString())),
                     *EncodeStoredPassword(u"pw"_s + QString::number(i)));

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
        QCOMPARE(stored(u"PassWord"_s), *EncodeStoredPassword(u"typed after"_s));

        // The next start asks again, and everything moves in.
        env.secrets.m_refusing = false;
        ResetSettings();
        SetGlobalVariables();
        QCOMPARE(Settings().PassWord[3], u"kept"_s);
        QCOMPARE(env.secrets.m_entries.value(u"PassWord"_s), u"typed after"_s);
        QCOMPARE(stored(u"PassWord"_s), QString());
        QCOMPARE(stored(u"PassWord3"_s), QString());
    }

    void anEntryThatCouldNotBeReadIsNeverOverwritten()
    {
        TestEnvironment env;
        env.secrets.m_available = true;
        env.secrets.m_entries.insert(u"PassWord"_s, u"kept"_s);
        WriteToRegistry();
        SettingsStore().setValue(u"Settings"_s, u"POPServer"_s, u"pop.example.org"_s);
        env.secrets.m_failing = true;
        SetGlobalVariables();
        QCOMPARE(Settings().PassWord[0], QString());
        env.secrets.m_failing = false;
        WriteGlobalVariables(); // the empty password it holds is no news for the keyring
        QCOMPARE(env.secrets.m_entries.value(u"PassWord"_s), u"kept"_s);
        QCOMPARE(env.secrets.m_writes, 0);
        ResetSettings();
        SetGlobalVariables();
        QCOMPARE(Settings().PassWord[0], u"kept"_s);
        // Untouched first-start accounts are not asked for at all.
        QCOMPARE(Settings().PassWord[1], QString());
    }

    void runningTimeCountsEachMinuteOnce()
    {
        TestEnvironment env;
        WriteToRegistry();
        SettingsStore().setValue(u"Settings"_s, u"totRunningTime"_s, u"1000"_s);
        env.clock.set(QDateTime(QDate(2026, 12, 6), QTime(10, 0, 40)));
        SetGlobalVariables();
        StartRunningTime();
        WriteGlobalVariables();
        QCOMPARE(stored(u"RunningTime"_s), u"0"_s);
        QCOMPARE(stored(u"totRunningTime"_s), u"1000"_s);
        env.clock.advanceMinutes(45);
        WriteGlobalVariables();
        env.clock.advanceMinutes(45);
        WriteGlobalVariables();
        QCOMPARE(stored(u"RunningTime"_s), u"90"_s);
        QCOMPARE(stored(u"totRunningTime"_s), u"1090"_s);

        // 10:00:40 to 10:01:10 crosses one minute boundary: it counts as a minute.
        TestEnvironment again;
        again.clock.set(QDateTime(QDate(2026, 12, 6), QTime(10, 0, 40)));
        WriteToRegistry();
        SetGlobalVariables();
        StartRunningTime();
        again.clock.advanceSeconds(30);
        WriteGlobalVariables();
        QCOMPARE(stored(u"RunningTime"_s), u"1"_s);
    }

    void everyFieldSurvivesAWriteAndARead()
    {
        TestEnvironment env;
        WriteToRegistry();
        SetGlobalVariables();
        SettingsRecord &s = Settings();
        s.StartCalc = 0;
        s.ClockActive = true;
        s.LastGet = QDate(2024, 2, 29);
        s.ClockLastSyncTime = QDateTime(QDate(2026, 3, 1), QTime(23, 59, 58));
        s.CustomTimeserver = u"time.example.net"_s;
        s.EmailPath = u"thunderbird -mail \"a b\""_s;
        s.CheckTime = u"10"_s;
        s.totMissedAlarms = 123456;
        s.EndByEnd = true;
        WriteGlobalVariables();
        const SettingsRecord before = s;
        ResetSettings();
        SetGlobalVariables();
        QCOMPARE(Settings().StartCalc, 0);
        QVERIFY(Settings().ClockActive);
        QCOMPARE(Settings().LastGet, before.LastGet);
        QCOMPARE(Settings().ClockLastSyncTime, before.ClockLastSyncTime);
        QCOMPARE(Settings().CustomTimeserver, before.CustomTimeserver);
        QCOMPARE(Settings().EmailPath, before.EmailPath);
        QCOMPARE(Settings().CheckTime, u"10"_s);
        QCOMPARE(Settings().totMissedAlarms, 123456);
        QVERIFY(Settings().EndByEnd);
        QVERIFY(!Settings().ComputerName.isEmpty());
    }

    void registryValuesLiveInTheirOwnGroup()
    {
        TestEnvironment env;
        const QString path = u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"_s;
        QCOMPARE(Reg_QueryValue(path, u"EnableAutoDial"_s), std::optional<qint32>());
        Reg_SetKeyValue(path, u"EnableAutoDial"_s, u"1"_s, RegType::Dword);
        Reg_SetKeyValue(path, u"Name"_s, u"42"_s, RegType::String);
        Reg_SetKeyValue(path, u"Text"_s, u"not a number"_s, RegType::String);
        QCOMPARE(Reg_QueryValue(path, u"enableautodial"_s), std::optional<qint32>(1));
        QCOMPARE(Reg_QueryValue(path, u"Name"_s), std::optional<qint32>(42));
        QCOMPARE(Reg_QueryValue(path, u"Text"_s), std::optional<qint32>());
        QCOMPARE(env.logLines().size(), 1);
        QVERIFY(IsFirstStart()); // nothing of the settings group was touched
    }
};

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_Settings.moc"
