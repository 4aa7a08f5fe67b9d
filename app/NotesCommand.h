// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SingleInstance.h"

#include <QStringList>

// `tarnibe --export-notes FILE [--text]` and `tarnibe --import-notes FILE`, for scripts and new computers. A running
// suite is handed the work and answers; without one the command works on the files directly, with no display.
bool isNotesCommand(int argc, char **argv);
// Prints what was done on standard output (exit 0) or why not on standard error (exit 1 for a wrong command line,
// 2 for work that could not be done).
int runNotesCommand(int argc, char **argv);

// A command as the running suite is handed it ("export-notes" FILE "text"|"file", or "import-notes" FILE, the file's
// path absolute), done on the notes file itself.
platform::CommandAnswer notesCommandOnFiles(const QStringList &command);
