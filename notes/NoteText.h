// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notes/NoteRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

// A new note's size, in twips; a note read from text, which has no size, gets it too.
inline constexpr int NewNoteWidth = 1710;
inline constexpr int NewNoteHeight = 1320;

// Notes as a person reads them: UTF-8, a heading line, then one section per note: "## " and its first line, its
// creation date, its alarm in words, the sender of a received note, and its text, each line after "> " so that no
// text can pass for anything else.
QByteArray encodeNotesText(const QList<NoteRecord> &notes, const QDateTime &exportedAt);

// What a file given to import holds.
struct ImportedNotes {
    QList<NoteRecord> notes;
    // Why the file is none of the forms an import reads; empty when it was read whole.
    QString error;
};
// Reads exported text, or a notes file as a start reads one (this version's, an older one's, a single-byte one).
// A file damaged anywhere gives no notes at all.
ImportedNotes decodeImport(const QByteArray &bytes);
