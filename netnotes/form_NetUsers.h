// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>
#include <array>

class HostPicker;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// "Users": the directory editor. Entries are added and deleted in its list; only OK writes netusers.dat.
class form_NetUsers : public QWidget {
    Q_OBJECT
public:
    explicit form_NetUsers(QWidget *parent = nullptr);

    void Form_Load();
    void option_IP_Click();
    void option_FriendlyName_Click();
    void c_Add_Click();
    void c_Delete_Click();
    void c_Browse_Click();
    void c_Ok_Click();
    void c_Help_Click();

    // The hosts file the browser reads; tests give their own.
    QString hostsFile = QStringLiteral("/etc/hosts");

    QRadioButton *option_IP;
    QRadioButton *option_FriendlyName;
    std::array<QLineEdit *, 4> text_IP{};
    QLineEdit *text_FriendlyName;
    QPushButton *c_Browse;
    QLineEdit *text_Nickname;
    QPushButton *c_Add;
    QPushButton *c_Delete;
    QListWidget *list_Users;
    QPushButton *c_Ok;
    QPushButton *c_Help;
    QPointer<HostPicker> picker;

Q_SIGNALS:
    // After a save: the send dialog rebuilds its list when it is open.
    void saved();

private:
    void chooseOption(bool ip);
};
