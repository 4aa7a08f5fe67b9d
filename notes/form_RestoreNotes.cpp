// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/form_RestoreNotes.h"

#include "core/DateText.h"
#include "core/Twips.h"
#include "notes/NoteBackups.h"
#include "platform/MessageBox.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

form_RestoreNotes::form_RestoreNotes(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("form_RestoreNotes"));
    setWindowTitle(QStringLiteral("Restore notes"));
    list_Backups = new QTreeWidget(this);
    list_Backups->setObjectName(QStringLiteral("list_Backups"));
    list_Backups->setHeaderLabels(
        {QStringLiteral("Backup of"), QStringLiteral("Notes"), QStringLiteral("First notes")});
    list_Backups->setRootIsDecorated(false);
    list_Backups->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Not on activation: Return activates the row and then goes on to the default button, which asks again.
    connect(list_Backups, &QTreeWidget::itemDoubleClicked, this, &form_RestoreNotes::command_Restore_Click);
    auto *buttons = new QDialogButtonBox(this);
    command_Restore = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::AcceptRole);
    command_Restore->setObjectName(QStringLiteral("command_Restore"));
    command_Restore->setDefault(true);
    buttons->addButton(QDialogButtonBox::Close)->setObjectName(QStringLiteral("command_Close"));
    // Restoring asks first; the box's answer, not the button, closes the window.
    disconnect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(command_Restore, &QPushButton::clicked, this, &form_RestoreNotes::command_Restore_Click);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(list_Backups);
    layout->addWidget(buttons);
    resize(640, 320);
}

void form_RestoreNotes::Form_Load()
{
    list_Backups->clear();
    for (const NotesBackup &backup : ListNotesBackups()) {
        const NotesBackupSummary summary = SummarizeNotesBackup(backup.path);
        QString when = formatDate(backup.date);
        if (backup.time.isValid())
            when += u"  " + formatTime(backup.time) + u" (before a restore)";
        auto *row = new QTreeWidgetItem(
            list_Backups, {when, summary.damaged ? QStringLiteral("damaged") : QString::number(summary.count),
                           summary.firstLines.join(QStringLiteral("  |  "))});
        row->setData(0, Qt::UserRole, backup.path);
        row->setDisabled(summary.damaged);
    }
    if (list_Backups->topLevelItemCount() > 0)
        list_Backups->setCurrentItem(list_Backups->topLevelItem(0));
    command_Restore->setEnabled(list_Backups->topLevelItemCount() > 0);
    centreOnScreen(this);
}

void form_RestoreNotes::command_Restore_Click()
{
    const QTreeWidgetItem *row = list_Backups->currentItem();
    if (!row || row->isDisabled())
        return;
    const auto answer = platform::showMessage(
        QStringLiteral("Replace your notes with the %1 notes of the backup of %2?\n\rThe notes you have now are kept "
                       "as a backup first.")
            .arg(row->text(1), row->text(0)),
        QStringLiteral("Restore"), platform::MsgIcon::Question, platform::MsgButtons::YesNo,
        // It replaces every note: a hurried Enter keeps them.
        platform::MsgAnswer::No);
    if (answer != platform::MsgAnswer::Yes)
        return;
    const TransferResult result = RestoreNotesBackup(row->data(0, Qt::UserRole).toString());
    if (!result.ok) {
        platform::showMessage(result.message, QStringLiteral("Restore notes"), platform::MsgIcon::Exclamation);
        Form_Load();
        return;
    }
    accept();
}
