// SPDX-License-Identifier: GPL-3.0-or-later
// Saves the notes over and over, one generation after another, until it is killed. The crash test kills it at
// random moments and then checks what it left on disk.
#include "NoteSamples.h"
#include "notes/NoteFile.h"

#include <QDir>
#include <csignal>
#include <cstdio>
#include <sys/prctl.h>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: notes_saver FOLDER\n", stderr);
        return 2;
    }
    // If the test itself dies, this loop must not go on writing for ever.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);

    const QDir folder(QFile::decodeName(argv[1]));
    const QString path = folder.filePath(u"notes.dat"_s);
    const QString backup = folder.filePath(u"notes.old"_s);
    // Tells the test that loading is over and the saving starts now.
    std::puts("saving");
    std::fflush(stdout);
    for (int generation = 1;; ++generation) {
        if (const auto failure = writeNotesFile(path, backup, NoteSamples::saverGeneration(generation))) {
            std::fprintf(stderr, "generation %d: %s\n", generation, qPrintable(platform::errorText(*failure)));
            return 1;
        }
    }
}
