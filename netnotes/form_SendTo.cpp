// SPDX-License-Identifier: GPL-3.0-or-later
#include "netnotes/form_SendTo.h"

#include "core/Twips.h"
#include "netnotes/NetUserStore.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

form_SendTo::form_SendTo(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("form_SendTo"));
    setWindowTitle(QStringLiteral("Send to -->"));
    list_NetUsers = new QListWidget(this);
    list_NetUsers->setObjectName(QStringLiteral("list_NetUsers"));
    c_Add = new QPushButton(QStringLiteral("add..."), this);
    c_Add->setObjectName(QStringLiteral("c_Add"));
    c_Close = new QPushButton(QStringLiteral("Close"), this);
    c_Close->setObjectName(QStringLiteral("c_Close"));
    connect(list_NetUsers, &QListWidget::itemClicked, this, &form_SendTo::list_NetUsers_Click);
    connect(list_NetUsers, &QListWidget::itemActivated, this, &form_SendTo::list_NetUsers_Click);
    connect(c_Add, &QPushButton::clicked, this, &form_SendTo::c_Add_Click);
    connect(c_Close, &QPushButton::clicked, this, &form_SendTo::c_Close_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(c_Add);
    buttons->addStretch();
    buttons->addWidget(c_Close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(list_NetUsers);
    layout->addLayout(buttons);
    resize(220, 260);
}

void form_SendTo::Form_Load()
{
    centreOnScreen(this);
    fillList();
}

void form_SendTo::fillList()
{
    list_NetUsers->clear();
    m_entryOfRow.clear();
    const QList<NetUser> &table = NetUserTable();
    for (int i = 0; i < table.size(); ++i) {
        if (table[i].address.isEmpty())
            continue;
        // An entry read without a nickname still needs something to click.
        list_NetUsers->addItem(table[i].nickname.isEmpty() ? table[i].address : table[i].nickname);
        m_entryOfRow.append(i);
    }
}

void form_SendTo::list_NetUsers_Click()
{
    const int row = list_NetUsers->currentRow();
    if (row < 0 || row >= m_entryOfRow.size())
        return;
    // The row's own entry, even where entries without an address were left out of the list.
    const int entry = m_entryOfRow[row];
    if (entry < NetUserTable().size())
        Q_EMIT addressChosen(NetUserTable()[entry].address);
    close();
}

void form_SendTo::c_Add_Click()
{
    Q_EMIT editorWanted();
}

void form_SendTo::c_Close_Click()
{
    close();
}
