// Saves the notes over and over, one generation after another, until it is killed. The crash test kills it at
// random moments and then checks what it left on disk.
#include "notes/NoteFile.h"

#include <QDir>
#include <csignal>
#include <cstdio>
#include <sys/prctl.h>

using namespace Qt::StringLiterals;

namespace {

// tst_NoteFileCrash rebuilds these notes to check the files; the two must stay alike.
NoteRecord savedNote(int generation, int position)
{
    NoteRecord note;
    note.text = u"generation %1 note %2\r\n"_s.arg(generation).arg(position);
    // A few KB of mixed-width text per note, so that a save takes long enough for kills to land inside it.
    while (note.text.size() < 3000)
        note.text += u"Käse, \"Brot\" und 日本 😀 line %1 of generation %2\r\n"_s.arg(note.text.size()).arg(generation);
    note.top = generation;
    note.left = position;
    note.width = 3000;
    note.height = 2500;
    note.oldWidth = 3000;
    note.oldHeight = 2500;
    note.visible = position % 2 == 1;
    note.created = u"generation %1"_s.arg(generation);
    note.fontSize = 7 + position;
    note.title = u"g%1 p%2"_s.arg(generation).arg(position);
    return note;
}

} // namespace

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
        QList<NoteRecord> notes;
        for (int position = 1; position <= generation % 7 + 1; ++position)
            notes.append(savedNote(generation, position));
        if (const auto failure = writeNotesFile(path, backup, notes)) {
            std::fprintf(stderr, "generation %d: %s\n", generation, qPrintable(platform::errorText(*failure)));
            return 1;
        }
    }
}
