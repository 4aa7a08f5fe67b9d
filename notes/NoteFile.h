// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notes/NoteRecord.h"
#include "platform/ErrorCodes.h"

#include <QByteArray>
#include <QList>
#include <optional>

// The notes file: per note a length line, the text, and a line of 23 comma-separated fields, all CR LF ended.
// Text is UTF-8 and the length counts its bytes; a file whose bytes are not UTF-8 is read as Windows-1252.
QByteArray encodeNotes(const QList<NoteRecord> &notes);

struct DecodedNotes {
    QList<NoteRecord> notes;                    // every note read before a failure
    std::optional<platform::ErrorKind> failure; // set when the file is damaged
};
DecodedNotes decodeNotes(const QByteArray &bytes);

// Replaces `path` with the encoded notes so that a crash or a full disk at any moment leaves either the old or the
// new complete file: the new generation is written and synced beside it first, the current file becomes
// `backupPath`, then the new one takes its name. Returns the failure, if any; `path` is then untouched.
std::optional<platform::ErrorKind> writeNotesFile(const QString &path, const QString &backupPath,
                                                  const QList<NoteRecord> &notes);
