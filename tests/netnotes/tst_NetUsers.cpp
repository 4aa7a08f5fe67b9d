// SPDX-License-Identifier: GPL-3.0-or-later
// The network user directory: its file, the editor and the send dialog.
#include "../notes/NoteSamples.h"
#include "TestEnvironment.h"
#include "netnotes/HostPicker.h"
#include "netnotes/NetUserStore.h"
#include "netnotes/form_NetUsers.h"
#include "netnotes/form_SendTo.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using NoteSamples::writeFile;

// A file's bytes, or "(missing)".
QByteArray readFile(const QString &path)
{
    return QFile::exists(path) ? NoteSamples::fileBytes(path) : "(missing)";
}

QStringList lines(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

} // namespace

class tst_NetUsers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theFileIsReadLineByLine()
    {
        TestEnvironment env;
        ReadNetUsers();
        QCOMPARE(NetUserTable(), QList<NetUser>{NetUser{}});

        // Split at the first comma, blanks dropped; blank lines skipped; Windows-1252 from older copies.
        QVERIFY(writeFile(NetUsersFilePath(),
                  "pc1 , Anna\r\n\r\n 192.168.1.20,Bob, the boss \r\nnocomma\nJ\xf6rg-PC , J\xf6rg\r\n"));
        ReadNetUsers();
        QCOMPARE(NetUserTable(), (QList<NetUser>{{u"pc1"_s, u"Anna"_s},
                                                 {u"192.168.1.20"_s, u"Bob, the boss"_s},
                                                 {u"nocomma"_s, QString()},
                                                 {u"Jörg-PC"_s, u"Jörg"_s}}));
        QCOMPARE(netUserFromLine(netUserLine({u"pc1"_s, u"Anna, the boss"_s})),
                 (NetUser{u"pc1"_s, u"Anna, the boss"_s}));

        // A stray byte-order mark before the first name is a blank: kept, it would vanish at the next save and
        // read, since a file's leading mark is dropped.
        const QByteArray strayMark = " \xef\xbb\xbfkst\r\n\r\n  %\n10.0.0.";
        const QList<NetUser> decoded = decodeNetUsers(strayMark);
        QCOMPARE(decoded.value(0), (NetUser{u"kst"_s, QString()}));
        QStringList lines;
        for (const NetUser &user : decoded)
            lines << netUserLine(user);
        QCOMPARE(decodeNetUsers(encodeNetUserLines(lines)), decoded);
    }

    void theEditorAddsDeletesAndSavesOnlyOnOk()
    {
        TestEnvironment env;
        QVERIFY(writeFile(NetUsersFilePath(), "pc1 , Anna\r\n , nobody\r\n"));
        ReadNetUsers();
        form_NetUsers editor;
        int saves = 0;
        editor.saved = [&saves] { ++saves; };
        editor.Form_Load();
        QCOMPARE(lines(editor.list_Users), QStringList{u"pc1 , Anna"_s});
        QVERIFY(editor.option_FriendlyName->isChecked());
        QVERIFY(!editor.text_IP[0]->isEnabled() && editor.text_FriendlyName->isEnabled());

        env.messages.expect(platform::MsgAnswer::Ok);
        editor.c_Add->click();
        QCOMPARE(env.messages.shown().constLast().text, u"You have to type a computer name"_s);
        QCOMPARE(editor.list_Users->count(), 1);

        // Without a nickname the address stands in for it.
        QTest::keyClicks(editor.text_FriendlyName, u"pc2"_s);
        editor.c_Add->click();
        editor.option_IP->click();
        QVERIFY(editor.text_IP[0]->isEnabled() && !editor.text_FriendlyName->isEnabled() &&
                !editor.c_Browse->isEnabled());
        for (int i = 0; i < 4; ++i)
            QTest::keyClicks(editor.text_IP[size_t(i)], QString::number(10 + i) + u"x"_s);
        QTest::keyClicks(editor.text_Nickname, u"Cleo"_s);
        editor.c_Add->click();
        QCOMPARE(lines(editor.list_Users), (QStringList{u"pc1 , Anna"_s, u"pc2 , pc2"_s, u"10.11.12.13 , Cleo"_s}));
        QCOMPARE(readFile(NetUsersFilePath()), "pc1 , Anna\r\n , nobody\r\n"); // nothing written yet

        editor.list_Users->setCurrentRow(0);
        editor.c_Delete->click();
        editor.c_Ok->click();
        QCOMPARE(saves, 1);
        QVERIFY(!editor.isVisible());
        QCOMPARE(readFile(NetUsersFilePath()), "pc2 , pc2\r\n10.11.12.13 , Cleo\r\n");
        QCOMPARE(readFile(NetUsersBackupPath()), "pc1 , Anna\r\n , nobody\r\n");
        QCOMPARE(NetUserTable(), (QList<NetUser>{{u"pc2"_s, u"pc2"_s}, {u"10.11.12.13"_s, u"Cleo"_s}}));

        // An empty list writes an empty file and keeps the last one as the backup.
        editor.Form_Load();
        editor.list_Users->clear();
        editor.c_Ok->click();
        QCOMPARE(readFile(NetUsersFilePath()), QByteArray());
        QCOMPARE(readFile(NetUsersBackupPath()), "pc2 , pc2\r\n10.11.12.13 , Cleo\r\n");
        QCOMPARE(NetUserTable(), QList<NetUser>{NetUser{}});
    }

    void theSendDialogSendsToTheClickedEntry()
    {
        TestEnvironment env;
        QVERIFY(writeFile(NetUsersFilePath(), "pc1 , Anna\r\n , ghost\r\npc3 , Carl\r\npc4 ,\r\n"));
        ReadNetUsers();
        form_SendTo dialog;
        QStringList sentTo;
        dialog.sendTo = [&sentTo](const QString &address) { sentTo << address; };
        dialog.Form_Load();
        dialog.show();
        QCOMPARE(lines(dialog.list_NetUsers), (QStringList{u"Anna"_s, u"Carl"_s, u"pc4"_s}));
        for (int row = 0; row < 3; ++row) {
            dialog.list_NetUsers->setCurrentRow(row);
            dialog.list_NetUsers_Click();
        }
        QCOMPARE(sentTo, (QStringList{u"pc1"_s, u"pc3"_s, u"pc4"_s}));
        QVERIFY(!dialog.isVisible());
    }

    void theBrowserFillsTheComputerName()
    {
        TestEnvironment env;
        const QString hosts = env.root() + u"/hosts"_s;
        QVERIFY(writeFile(hosts, "127.0.0.1\tlocalhost\n::1 localhost ip6-localhost ip6-loopback\n"
                         "192.168.1.20  pc1.lan pc1 # Anna\n# 10.0.0.1 old\n192.168.1.21 printer\n"));
        QCOMPARE(HostPicker::hostsFileNames(readFile(hosts)), (QStringList{u"pc1.lan"_s, u"pc1"_s, u"printer"_s}));
        ReadNetUsers();
        form_NetUsers editor;
        editor.hostsFile = hosts;
        editor.Form_Load();
        editor.c_Browse->click();
        QVERIFY(editor.picker && editor.picker->isVisible());
        QCOMPARE(editor.picker->list_Hosts->count(), 3);
        editor.picker->list_Hosts->setCurrentItem(editor.picker->list_Hosts->findItems(u"printer"_s, {}).value(0));
        editor.picker->accept();
        QCOMPARE(editor.text_FriendlyName->text(), u"printer"_s);
    }
};

QTEST_MAIN(tst_NetUsers)
#include "tst_NetUsers.moc"
