// SPDX-License-Identifier: GPL-3.0-or-later
// The mail program's windows without a server: the properties dialog, the tray icon and the notice's buttons.
#include "TestEnvironment.h"
#include "core/AutodialFlags.h"
#include "core/Settings.h"
#include "mail/NewMail.h"
#include "mail/form_Checking.h"
#include "mail/form_NotifyMail.h"
#include "mail/form_Properties.h"
#include "platform/IniStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;
using platform::MsgAnswer;

namespace {

class Lifecycle : public ProgramLifecycle {
public:
    void exitProgram(Program, TrayOwner *, const std::function<void()> &unload) override { unload(); }
    void showControlPanel() override {}
    void openHelp(const QString &) override {}
};

QString stored(const QString &key)
{
    return SettingsStore().value(u"Settings"_s, key).value_or(u"(none)"_s);
}

QStringList servers(const form_Properties &dialog)
{
    QStringList list;
    for (int i = 0; i < dialog.combo_POPservers->count(); ++i)
        list << dialog.combo_POPservers->itemText(i);
    return list;
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

class tst_MailWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theNewMailRule()
    {
        // New mail with unique ids is the account check's; here the rest.
        MailboxMemory box;
        QVERIFY(!HasNewMail(box, 0, {}));
        Remember(box, 3, {u"a"_s, u"b"_s, u"c"_s});
        box.headers.insert(u"b"_s, {u"x"_s, u"y"_s});
        Remember(box, 2, {u"a"_s, u"c"_s});
        QVERIFY(!box.headers.contains(u"b"_s));
        // Without unique ids, the count decides.
        MailboxMemory old;
        Remember(old, 2, {});
        QVERIFY(!HasNewMail(old, 2, {}));
        QVERIFY(HasNewMail(old, 3, {}));
        box.reset();
        QVERIFY(HasNewMail(box, 1, {u"a"_s}));
        QCOMPARE(QList<int>({CheckMinutes(u"0 (=never)"_s), CheckMinutes(u"10"_s), CheckMinutes(u"minute"_s)}),
                 QList<int>({0, 10, 0}));
    }

    void accountsAreAddedDeletedRenamedAndRestored()
    {
        TestEnvironment env;
        WriteToRegistry();
        accounts(3);
        form_Properties dialog;
        dialog.Form_Load();
        QCOMPARE(servers(dialog), (QStringList{u"pop1.example.org"_s, u"pop2.example.org"_s, u"pop3.example.org"_s}));
        QCOMPARE(dialog.text_UserName->text(), u"user1"_s);

        // Typing a new name and leaving the list renames the shown account.
        dialog.combo_POPservers->setCurrentIndex(1);
        dialog.combo_POPservers_Click();
        QCOMPARE(dialog.text_Password->text(), u"pw2"_s);
        dialog.combo_POPservers->setEditText(u"pop3s://renamed.example.org"_s);
        dialog.combo_POPservers_LostFocus();
        QCOMPARE(Settings().POPServer[1], u"pop3s://renamed.example.org"_s);
        QTest::keyClicks(dialog.text_UserName, u"x"_s);
        QCOMPARE(Settings().UserName[1], u"user2x"_s);

        // Deleting account 2 of 3: account 3 moves up, slot 3 gets its placeholders, saved at once.
        env.messages.expect(MsgAnswer::No);
        dialog.c_DeleteAccount->click();
        QCOMPARE(Settings().NbrofAccounts, 3);
        env.messages.expect(MsgAnswer::Yes);
        dialog.combo_POPservers->setCurrentIndex(1);
        dialog.c_DeleteAccount->click();
        QCOMPARE(env.messages.shown().constLast().text,
                 u"Do you really want to delete pop3s://renamed.example.org ?"_s);
        QCOMPARE(servers(dialog), (QStringList{u"pop1.example.org"_s, u"pop3.example.org"_s}));
        QCOMPARE(stored(u"POPServer2"_s), u"pop3.example.org"_s);
        QCOMPARE(stored(u"POPServer3"_s), u"- Internetaddress to mailserver 3"_s);
        QCOMPARE(stored(u"UserName3"_s), u"- Mailserver username 3"_s);
        QCOMPARE(stored(u"NbrofAccounts"_s), u"2"_s);

        // Cancel puts back the accounts as they were at opening (the deleted one too).
        dialog.c_Cancel->click();
        QCOMPARE(Settings().NbrofAccounts, 3);
        QCOMPARE(Settings().POPServer[1], u"pop2.example.org"_s);
        QCOMPARE(Settings().UserName[1], u"user2"_s);
    }

    void limitsOkAndTheModemPart()
    {
        TestEnvironment env;
        FakeDialer dialer;
        platform::installDialer(&dialer);
        WriteToRegistry();
        accounts(10);
        form_Properties dialog;
        dialog.Form_Load();
        env.messages.expect(MsgAnswer::Ok);
        dialog.c_NewAccount->click();
        QCOMPARE(Settings().NbrofAccounts, 10);

        accounts(1);
        Settings().POPServer[1] = u"- Internetaddress to mailserver 2"_s;
        dialog.Form_Load();
        env.messages.expect(MsgAnswer::Ok);
        dialog.c_DeleteAccount->click();
        QCOMPARE(env.messages.shown().constLast().title, u"Could not delete account"_s);

        dialog.c_NewAccount->click();
        QCOMPARE(dialog.combo_POPservers->currentText(), u"- Internetaddress to mailserver 2"_s);
        QVERIFY(!dialog.frame_Modem->isVisibleTo(&dialog));
        dialog.c_More->click();
        QVERIFY(dialog.frame_Modem->isVisibleTo(&dialog));
        QVERIFY(!dialog.combo_RasConnections->isEnabled());
        dialog.option_RAS[1]->click();
        QVERIFY(dialog.combo_RasConnections->isEnabled() && dialog.check_LimitRas->isEnabled());
        dialog.combo_CheckTime->setCurrentText(u"0 (=never)"_s);
        dialog.combo_FirstHour->setCurrentText(u"late"_s); // no number: logged, the rest still saved
        dialog.combo_LastHour->setCurrentText(u"5"_s);
        dialog.c_Ok->click();
        QCOMPARE(stored(u"CheckTime"_s), u"0 (=never)"_s);
        QCOMPARE(stored(u"UseRas"_s), u"True"_s);
        QCOMPARE(stored(u"RasTime2"_s), u"5"_s);
        QCOMPARE(stored(u"RasTime1"_s), u"23"_s);
        QVERIFY(env.logLines().constLast().startsWith(u"\"err_Prop_c_Ok_Click 13"_s));
        QCOMPARE(Settings().NbrofAccounts, 2);
        platform::installDialer(nullptr);
    }

    // Nothing here can dial: the stored choice is shown but cannot be made and says why, the quiet hours are
    // still set, and Ok keeps the stored choice for a system that can dial.
    void withoutDialerTheModemChoiceSaysWhy()
    {
        TestEnvironment env;
        WriteToRegistry();
        accounts(1);
        Settings().UseRas = true;
        form_Properties dialog;
        dialog.Form_Load();
        dialog.c_More->click();
        QVERIFY(!dialog.option_RAS[1]->isEnabled());
        QVERIFY(dialog.label_NoDialup->isVisibleTo(&dialog));
        QVERIFY(!dialog.combo_RasConnections->isEnabled());
        QVERIFY(dialog.check_LimitRas->isEnabled() && dialog.combo_FirstHour->isEnabled());
        dialog.check_LimitRas->setChecked(true);
        dialog.combo_FirstHour->setCurrentText(u"22"_s);
        dialog.c_Ok->click();
        QCOMPARE(stored(u"UseRas"_s), u"True"_s);
        QCOMPARE(stored(u"RasTime1"_s), u"22"_s);
        QCOMPARE(stored(u"RasCheckLimited"_s), u"1"_s);
    }

    void theTrayAndTheNotice()
    {
        TestEnvironment env;
        WriteToRegistry();
        Lifecycle lifecycle;
        form_NotifyMail notify(lifecycle);
        notify.Form_Load();
        const auto *owner = static_cast<TrayOwner *>(&notify);

        // A double click while a check holds the network does nothing.
        AutodialFlags().MailCheckActive = true;
        env.tray.click(owner, platform::LeftDoubleClick);
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
        notify.c_ReadLater->click();
        QVERIFY(notify.timer_Blink.isActive());
        notify.c_ReadNow->click();
        QVERIFY(!notify.timer_Blink.isActive());
        QCOMPARE(notify.trayImage(), 0);
        // The placeholder is no program: the desktop's mail program opens.
        QCOMPARE(env.launcher.m_urls, QList<QUrl>{QUrl(u"mailto:"_s)});
        QCOMPARE(Settings().totEmail, 2);

        Settings().EmailPath = u"/usr/bin/no-such-mailer --compose"_s;
        env.launcher.m_programsStart = false;
        env.messages.expect(MsgAnswer::Ok);
        notify.c_ReadNow->click();
        QCOMPARE(env.launcher.m_commands, QStringList{u"/usr/bin/no-such-mailer --compose"_s});
        QCOMPARE(env.messages.shown().constLast().text, u"Can not find your standard email program..."_s);

        // The title bar's close only puts the notice away.
        notify.showNormal();
        notify.close();
        QTRY_VERIFY(!notify.isVisible());
        QCOMPARE(env.tray.count(), 1);
    }
};

QTEST_MAIN(tst_MailWindows)
#include "tst_MailWindows.moc"
