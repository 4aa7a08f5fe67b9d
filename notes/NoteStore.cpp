// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/NoteStore.h"

#include "core/Settings.h"
#include "notes/form_Note.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/WindowFlags.h"

#include <QFile>

namespace {

// Wherever this library is, shown notes are shown in its windows.
[[maybe_unused]] const bool windowsMade =
    (SetNoteViewMaker([](std::shared_ptr<NoteEntry> note, int index) -> NoteView * {
         return new form_Note(std::move(note), index);
     }),
     true);

} // namespace

form_Note *NoteWindow(int index)
{
    return static_cast<form_Note *>(NoteStore().view(index));
}

form_Note *ShowNote(int index)
{
    return static_cast<form_Note *>(NoteStore().show(index));
}

void CheckAndSetTopMost()
{
    for (int index = 1; index <= NoteStore().count(); ++index) {
        if (form_Note *window = NoteWindow(index); window && NoteStore().entry(index)->onTop)
            platform::setAlwaysOnTop(window, true);
    }
}

namespace {

form_Main *&container()
{
    static form_Main *shown = nullptr;
    return shown;
}

void readSavedData()
{
    // A new user has no notes yet: nothing is wrong and nothing needs asking.
    if (Settings().FirstLaunch && !QFile::exists(NotesFilePath()) && !QFile::exists(NotesBackupPath()))
        return;
    if (ReadNotesFile())
        return;
    const auto answer = platform::showMessage(
        QStringLiteral("A problem occurred when trying to read your old notes. Shall I try to read the backup notes "
                       "instead ?"),
        QStringLiteral("Info"), platform::MsgIcon::Question, platform::MsgButtons::YesNo, platform::MsgAnswer::Yes);
    if (answer != platform::MsgAnswer::Yes)
        return;
    // The backup replaces what was read from the damaged file, and the damaged file is kept for the user.
    NoteStore().clear();
    if (QFile::exists(NotesFilePath())) {
        const QString bad = platform::dataFile(QStringLiteral("notes.bad"));
        QFile::remove(bad);
        QFile::rename(NotesFilePath(), bad);
    }
    if (!QFile::copy(NotesBackupPath(), NotesFilePath()))
        return;
    ReadNotesFile();
}

} // namespace

form_Main *NotesContainer()
{
    return container();
}

void SetNotesContainer(form_Main *shown)
{
    container() = shown;
}

void ReadSavedData()
{
    NoteStore().reading = true;
    NoteStore().saveWanted = false;
    readSavedData();
    NoteStore().reading = false;
    if (NoteStore().saveWanted)
        SaveAllNotes();
}
