// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>
#include <memory>

class ImapClient;
class QListWidget;
class QListWidgetItem;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Email properties": up to ten POP3 accounts, the mail program, how often to check, and the modem settings.
// The accounts are edited live; Ok saves everything, Cancel puts the accounts back as they were at opening.
class form_Properties : public QWidget {
    Q_OBJECT
public:
    explicit form_Properties(QWidget *parent = nullptr);
    ~form_Properties() override;

    void Form_Load();
    void combo_POPservers_Click();
    void combo_POPservers_LostFocus();
    void combo_Protocol_Click();
    void c_Folders_Click();
    void list_Folders_ItemCheck(QListWidgetItem *item);
    void text_UserName_Change();
    void text_Password_Change();
    void c_NewAccount_Click();
    void c_DeleteAccount_Click();
    void c_Browse_Click();
    void c_More_Click();
    void option_RAS_Click(int Index);
    void combo_RasConnections_Click();
    void c_Ok_Click();
    void c_Cancel_Click();

    QComboBox *combo_POPservers;
    QLineEdit *text_UserName;
    QLineEdit *text_Password;
    QComboBox *combo_Protocol;
    // An IMAP account's folders besides INBOX, ticked to be checked too; the server's list comes on "Folders...".
    QPushButton *c_Folders;
    QListWidget *list_Folders;
    QLabel *label_Folders;
    QPushButton *c_NewAccount;
    QPushButton *c_DeleteAccount;
    QLineEdit *text_EmailPath;
    QPushButton *c_Browse;
    QComboBox *combo_CheckTime;
    QCheckBox *check_MailNotify;
    QLabel *label_NoNotifications;
    QPushButton *c_Ok;
    QPushButton *c_Cancel;
    QPushButton *c_More;
    QGroupBox *frame_Modem;
    QRadioButton *option_RAS[2];
    QComboBox *combo_RasConnections;
    QLabel *label_NoDialup;
    QLineEdit *text_RasUserName;
    QLineEdit *text_RasPassword;
    QCheckBox *check_LimitRas;
    QComboBox *combo_FirstHour;
    QComboBox *combo_LastHour;

Q_SIGNALS:
    // Ok saved the settings: the accounts may have changed.
    void saved();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void buildModemFrame();
    void fillServers(int select);
    // The desktop notification choice, open only while a notification server is there.
    void notificationsAvailable(bool available);

    // Shows the account's ticked folders, and the server's others once listed; hidden for a POP3 account.
    void showFolders(const QList<QByteArray> &listed = {});
    // Writes the folder keys that differ from the file's: a file without folders stays without.
    void saveFolders();

    int m_account = 0;       // the account shown, 0-based
    bool m_unfolded = false; // the modem settings are shown
    int m_savedCount = 1;
    std::array<QString, 10> m_savedServers;
    std::array<QString, 10> m_savedUsers;
    std::array<QString, 10> m_savedPasswords;
    std::array<QString, 10> m_savedFolders;
    // What the file holds, which only accounts that had folders write to.
    std::array<QString, 10> m_storedFolders;
    // Lists the server's folders for the account shown; made on the first "Folders...".
    std::unique_ptr<ImapClient> m_lister;
    bool m_fillingFolders = false;
    QList<QWidget *> m_rasControls;
};
