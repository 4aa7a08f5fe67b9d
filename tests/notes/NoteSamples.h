#pragma once

#include "notes/NoteRecord.h"

#include <QString>

// Notes the notes tests build again and again.
namespace NoteSamples {

// A stored note of the given text, position and size (twips), expanded, as a saved file would hold it.
inline NoteRecord stored(const QString &text, int left, int top, int width = 2400, int height = 1800)
{
    NoteRecord note;
    note.text = text;
    note.left = left;
    note.top = top;
    note.width = width;
    note.height = height;
    note.oldWidth = width;
    note.oldHeight = height;
    note.created = QStringLiteral("2026-11-30  08:00:00");
    return note;
}

// The notes one generation of the crash test's saver writes; every field tells its generation and position.
inline NoteRecord savedNote(int generation, int position)
{
    NoteRecord note;
    note.text = QStringLiteral("generation %1 note %2\r\n").arg(generation).arg(position);
    // A few KB of mixed-width text per note, so that a save takes long enough for kills to land inside it.
    while (note.text.size() < 3000)
        note.text += QStringLiteral("Käse, \"Brot\" und 日本 😀 line %1 of generation %2\r\n")
                         .arg(note.text.size())
                         .arg(generation);
    note.top = generation;
    note.left = position;
    note.width = 3000;
    note.height = 2500;
    note.oldWidth = 3000;
    note.oldHeight = 2500;
    note.visible = position % 2 == 1;
    note.created = QStringLiteral("generation %1").arg(generation);
    note.fontSize = 7 + position;
    note.title = QStringLiteral("g%1 p%2").arg(generation).arg(position);
    return note;
}

} // namespace NoteSamples
