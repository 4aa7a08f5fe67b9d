// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// Follows a dial-up the user started: the connection's state as it changes, and "Cancel" to hang up.
class form_RASstatus : public QWidget {
    Q_OBJECT
public:
    explicit form_RASstatus(QWidget *parent = nullptr);

    void Form_Load();
    void c_Close_Click();

    QLabel *label_Status;
    QLabel *image_Calling;
    QPushButton *c_Close;
};
