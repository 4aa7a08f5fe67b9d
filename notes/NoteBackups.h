// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notes/NoteRecord.h"
#include "platform/ErrorCodes.h"

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

// Dated copies of the notes file, in backups/ of the data folder: the first save of a day that changes the notes
// keeps the file as it was as notes-YYYY-MM-DD.dat (the day by the suite's clock, local time).
QString NotesBackupsFolder();

struct NotesBackup {
    QDate date;
    QString path;
};
// The dated copies there, newest first; other files are none of the suite's business.
QList<NotesBackup> ListNotesBackups();
// Which of `newestFirst` go: all but the 14 newest and the newest of each of the 12 newest months that have one.
QList<NotesBackup> NotesBackupsToPrune(const QList<NotesBackup> &newestFirst);

// Writes the notes file as every save does, keeping notes.old, after today's dated copy where one is due. A copy that
// cannot be written is logged once a run and stops nothing. The failure returned is the notes file's.
std::optional<platform::ErrorKind> SaveNotesFile(const QList<NoteRecord> &notes);
