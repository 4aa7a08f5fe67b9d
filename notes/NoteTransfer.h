// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notes/NoteRecord.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>

// Export and import of notes, for the command line and the container's menus. Each step says what it did, or why
// not, in a sentence for the user; a step that fails has changed no note.
struct TransferResult {
    bool ok = false;
    QString message;
};

enum class ExportForm { NotesFile, Text };

// Writes `notes` to `path`, a file only its owner may read, replaced whole.
TransferResult ExportNotes(const QList<NoteRecord> &notes, const QString &path, ExportForm form);
// Reads what `path` holds for an import into `notes`: "Found 3 notes in ...".
TransferResult ReadNotesToImport(const QString &path, QList<NoteRecord> &notes);

// Where a new note goes: centred on `screen` (twips), or at `at` where the caller has a place for it, moved down and
// right past every note already there.
void PlaceAsNewNote(NoteRecord &note, const QRect &screen, const QList<NoteRecord> &existing,
                    std::optional<QPoint> at = std::nullopt);
// Adds imported notes at the end of the running table as new notes, shown where they showed, and saves; no limit
// on their number applies, as for received notes.
void AddImportedNotes(const QList<NoteRecord> &notes, const QRect &screen);
// What an import says once done: what it found, and whether it added them.
QString ImportDone(const TransferResult &found, qsizetype added);

// The same without a running suite, on the notes file itself. A damaged notes file is left alone.
TransferResult ExportNotesFile(const QString &path, ExportForm form);
TransferResult ImportIntoNotesFile(const QString &path, const QRect &screen);
// The screen a suite without a display places notes for.
inline constexpr QRect NoDisplayScreen{0, 0, 1024 * 15, 768 * 15};
