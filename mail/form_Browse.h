// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QFileDialog;

// "Browse": picks the program that starts the user's mail program, an executable or a .desktop launcher.
class form_Browse : public QDialog {
    Q_OBJECT
public:
    explicit form_Browse(QWidget *parent = nullptr);

    void Form_Load();
    void c_Ok_Click();
    void c_Cancel_Click();

    QFileDialog *File1;

Q_SIGNALS:
    void chosen(const QString &path);
};
