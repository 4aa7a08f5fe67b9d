// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QPushButton;
class QTreeWidget;

// "Restore notes": the dated copies of the notes file, newest first, each with its date, its number of notes and
// the first line of its first three; the chosen one is restored once the user has said yes.
class form_RestoreNotes : public QDialog {
    Q_OBJECT
public:
    explicit form_RestoreNotes(QWidget *parent = nullptr);

    // Lists the copies as they are now.
    void Form_Load();
    void command_Restore_Click();

private:
    QTreeWidget *list_Backups = nullptr;
    QPushButton *command_Restore = nullptr;
};
