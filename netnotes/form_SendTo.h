// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QWidget>

class QListWidget;
class QPushButton;

// "Send to -->": the nicknames of the directory; a click sends the note the dialog was opened for.
class form_SendTo : public QWidget {
    Q_OBJECT
public:
    explicit form_SendTo(QWidget *parent = nullptr);

    void Form_Load();
    // Lists the nickname of every entry that has an address, in table order.
    void fillList();
    void list_NetUsers_Click();
    void c_Add_Click();
    void c_Close_Click();

    QListWidget *list_NetUsers;
    QPushButton *c_Add;
    QPushButton *c_Close;

Q_SIGNALS:
    // The user chose an entry to send the note to.
    void addressChosen(const QString &address);
    // "Add" wants the directory editor.
    void editorWanted();

private:
    QList<int> m_entryOfRow; // table index of each list row
};
