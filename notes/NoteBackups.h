// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notes/NoteRecord.h"
#include "notes/NoteTransfer.h"
#include "platform/ErrorCodes.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>
#include <optional>

// Dated copies of the notes file, in backups/ of the data folder: the first save of a day that changes the notes
// keeps the file as it was as notes-YYYY-MM-DD.dat (the day by the suite's clock, local time).
QString NotesBackupsFolder();

struct NotesBackup {
    QDate date;
    QString path;
    // The time of day in the name of a copy a restore kept (notes-YYYY-MM-DD-HHMMSS.dat); a daily copy has none.
    QTime time;
};
// The dated copies there, newest first; other files are none of the suite's business.
QList<NotesBackup> ListNotesBackups();
// Which of `newestFirst` go: all but the 14 newest and the newest of each of the 12 newest months that have one.
QList<NotesBackup> NotesBackupsToPrune(const QList<NotesBackup> &newestFirst);

// What a dated copy holds, for the user to choose one: its number of notes and the first line of its first three.
struct NotesBackupSummary {
    int count = 0;
    QStringList firstLines;
    bool damaged = false;
};
NotesBackupSummary SummarizeNotesBackup(const QString &path);

// Puts the notes of the copy at `path` in place of the present ones, which are kept as a copy of their own first:
// the copy becomes the notes file (the present one becomes notes.old) and is read as a start reads it. Nothing is
// deleted. A damaged copy, or one that cannot be kept or written, changes nothing.
TransferResult RestoreNotesBackup(const QString &path);

// Writes the notes file as every save does, keeping notes.old, after today's dated copy where one is due. A copy that
// cannot be written is logged once a run and stops nothing. The failure returned is the notes file's.
std::optional<platform::ErrorKind> SaveNotesFile(const QList<NoteRecord> &notes);
