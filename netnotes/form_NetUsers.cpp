// SPDX-License-Identifier: GPL-3.0-or-later
#include "netnotes/form_NetUsers.h"

#include "core/ErrorLog.h"
#include "core/Named.h"
#include "core/Twips.h"
#include "netnotes/HostPicker.h"
#include "netnotes/NetUserStore.h"
#include "platform/Launcher.h"
#include "platform/MessageBox.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

form_NetUsers::form_NetUsers(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("form_NetUsers"));
    setWindowTitle(QStringLiteral("Users"));

    auto *frame = named(new QGroupBox(QStringLiteral("What is the users name on the network ?")), "frame_Name");
    option_IP = named(new QRadioButton(QStringLiteral("IP-address")), "option_IP");
    option_FriendlyName = named(new QRadioButton(QStringLiteral("Computername")), "option_FriendlyName");
    connect(option_IP, &QRadioButton::clicked, this, &form_NetUsers::option_IP_Click);
    connect(option_FriendlyName, &QRadioButton::clicked, this, &form_NetUsers::option_FriendlyName_Click);
    auto *ipRow = new QHBoxLayout;
    auto *octet = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this);
    for (size_t i = 0; i < text_IP.size(); ++i) {
        text_IP[i] = new QLineEdit;
        text_IP[i]->setObjectName(QStringLiteral("text_IP") + QString::number(i));
        text_IP[i]->setValidator(octet);
        text_IP[i]->setMaximumWidth(44);
        ipRow->addWidget(text_IP[i]);
        if (i + 1 < text_IP.size())
            ipRow->addWidget(new QLabel(QStringLiteral(".")));
    }
    ipRow->addStretch();
    text_FriendlyName = named(new QLineEdit, "text_FriendlyName");
    c_Browse = named(new QPushButton(QStringLiteral("...")), "c_Browse");
    c_Browse->setMaximumWidth(32);
    connect(c_Browse, &QPushButton::clicked, this, &form_NetUsers::c_Browse_Click);
    auto *nameRow = new QHBoxLayout;
    nameRow->addWidget(text_FriendlyName);
    nameRow->addWidget(c_Browse);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(option_IP);
    frameLayout->addLayout(ipRow);
    frameLayout->addWidget(option_FriendlyName);
    frameLayout->addLayout(nameRow);

    auto *nickLabel =
        named(new QLabel(QStringLiteral("Nickname to make the person easier to find:")), "label_Nickname");
    nickLabel->setWordWrap(true);
    text_Nickname = named(new QLineEdit, "text_Nickname");
    c_Add = named(new QPushButton(QStringLiteral("Add =>")), "c_Add");
    c_Delete = named(new QPushButton(QStringLiteral("<= Delete")), "c_Delete");
    connect(c_Add, &QPushButton::clicked, this, &form_NetUsers::c_Add_Click);
    connect(c_Delete, &QPushButton::clicked, this, &form_NetUsers::c_Delete_Click);
    list_Users = named(new QListWidget, "list_Users");
    list_Users->setMinimumWidth(200);
    c_Ok = named(new QPushButton(QStringLiteral("OK")), "c_Ok");
    c_Help = named(new QPushButton(QStringLiteral("Help")), "c_Help");
    connect(c_Ok, &QPushButton::clicked, this, &form_NetUsers::c_Ok_Click);
    connect(c_Help, &QPushButton::clicked, this, &form_NetUsers::c_Help_Click);

    auto *left = new QVBoxLayout;
    left->addWidget(frame);
    left->addWidget(nickLabel);
    left->addWidget(text_Nickname);
    auto *middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(c_Add);
    middle->addWidget(c_Delete);
    middle->addStretch();
    auto *top = new QHBoxLayout;
    top->addLayout(left);
    top->addLayout(middle);
    top->addWidget(list_Users, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(c_Help);
    bottom->addStretch();
    bottom->addWidget(c_Ok);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
}

void form_NetUsers::Form_Load()
{
    adjustSize();
    centreOnScreen(this);
    list_Users->clear();
    for (const NetUser &user : std::as_const(NetUserTable())) {
        if (!user.address.isEmpty())
            list_Users->addItem(netUserLine(user));
    }
    option_FriendlyName->setChecked(true);
    chooseOption(false);
}

void form_NetUsers::chooseOption(bool ip)
{
    for (QLineEdit *field : text_IP)
        field->setEnabled(ip);
    text_FriendlyName->setEnabled(!ip);
    c_Browse->setEnabled(!ip);
}

void form_NetUsers::option_IP_Click()
{
    chooseOption(true);
}

void form_NetUsers::option_FriendlyName_Click()
{
    chooseOption(false);
}

void form_NetUsers::c_Add_Click()
{
    const bool byName = option_FriendlyName->isChecked();
    // Blanks around a typed name are never part of it, and the file's reader would drop them anyway.
    const QString name = text_FriendlyName->text().trimmed();
    if (byName && name.isEmpty()) {
        platform::showMessage(QStringLiteral("You have to type a computer name"), QStringLiteral("info"),
                              platform::MsgIcon::Information);
        return;
    }
    QString address = name;
    if (!byName) {
        QStringList parts;
        for (const QLineEdit *field : text_IP)
            parts << field->text();
        address = parts.join(u'.');
    }
    QString nickname = text_Nickname->text().trimmed();
    if (nickname.isEmpty())
        nickname = address;
    list_Users->addItem(netUserLine({address, nickname}));
}

void form_NetUsers::c_Delete_Click()
{
    delete list_Users->currentItem();
}

void form_NetUsers::c_Browse_Click()
{
    if (!picker) {
        picker = new HostPicker(hostsFile, this);
        picker->setAttribute(Qt::WA_DeleteOnClose);
        connect(picker, &HostPicker::hostChosen, text_FriendlyName, &QLineEdit::setText);
    }
    picker->open();
}

void form_NetUsers::c_Ok_Click()
{
    QStringList lines;
    for (int i = 0; i < list_Users->count(); ++i)
        lines << list_Users->item(i)->text();
    if (const auto failure = SaveNetUsers(lines)) {
        // The list stays here to be saved again; closing would lose it without a word.
        logError(QStringLiteral("err_form_NetUsers_c_Ok_Click "), *failure);
        platform::showMessage(QStringLiteral("Could not save the list of users: ") +
                                  platform::errorInfo(*failure).description,
                              QStringLiteral("info"), platform::MsgIcon::Information);
        return;
    }
    Q_EMIT saved();
    close();
}

void form_NetUsers::c_Help_Click()
{
    platform::openHelp(QStringLiteral("notes.html#network"));
}
