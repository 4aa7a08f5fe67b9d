// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>

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

    void Form_Load();
    void combo_POPservers_Click();
    void combo_POPservers_LostFocus();
    void combo_Protocol_Click();
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
    QPushButton *c_NewAccount;
    QPushButton *c_DeleteAccount;
    QLineEdit *text_EmailPath;
    QPushButton *c_Browse;
    QComboBox *combo_CheckTime;
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

    int m_account = 0;       // the account shown, 0-based
    bool m_unfolded = false; // the modem settings are shown
    int m_savedCount = 1;
    std::array<QString, 10> m_savedServers;
    std::array<QString, 10> m_savedUsers;
    std::array<QString, 10> m_savedPasswords;
    QList<QWidget *> m_rasControls;
};
