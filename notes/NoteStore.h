// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notes/NoteTable.h"

class form_Note;
class form_Main;

// Note `index`'s window while it is shown, else nullptr.
form_Note *NoteWindow(int index);
// Shows note `index` in its window, made where it has none; nullptr for no such note.
form_Note *ShowNote(int index);

// Puts every shown note whose On top item is checked above all normal windows; the others are left as they are.
void CheckAndSetTopMost();

// The container the notes report to (rows, the row text); nullptr before it is loaded.
form_Main *NotesContainer();
void SetNotesContainer(form_Main *container);

// Appends every note of the notes file to the table, asking to read the backup when the file cannot be read.
void ReadSavedData();
