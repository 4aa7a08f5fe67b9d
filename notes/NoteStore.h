#pragma once

#include "core/TopMost.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class form_Note;
class form_Main;

// What the notes ask of programs on higher floors (alarms, network notes); app/ wires them.
struct NoteHooks {
    std::function<void(int index)> openAlarmEditor;
    std::function<void(int index)> openSendDialog;
    // A click on a note's alarm icon, in its window or in its container row.
    std::function<void(int index, bool fromNoteWindow)> alarmIconClicked;
    // Every tick of the container's alarm timer.
    std::function<void()> checkAlarms;
    std::function<void()> closeOutgoingConnection;
};
NoteHooks &Hooks();

// The notes in file order, positions 1..count. A note's position is its identity until a deletion renumbers.
class NoteTable {
public:
    int count() const { return int(m_notes.size()); }
    form_Note *note(int index) const; // 1..count
    form_Note *append(std::unique_ptr<form_Note> note);
    // Takes one note out; the later ones move up a position.
    void remove(int index);
    // Discards every note window.
    void clear();

private:
    std::vector<std::unique_ptr<form_Note>> m_notes;
};
NoteTable &NoteStore();

// The notes as the shared always-on-top pass sees them.
class NoteTopMostTable final : public TopMostTable {
public:
    int count() const override;
    QWidget *window(int index) override;
    bool onTopChecked(int index) const override;
};

// Set while the container's collapse-all or expand-all runs each note's collapse toggle.
struct ContainerRequests {
    bool collapseAll = false;
    bool expandAll = false;
};
ContainerRequests &Requests();

// The container the notes report to (rows, the row text); nullptr before it is loaded.
form_Main *NotesContainer();
void SetNotesContainer(form_Main *container);

// The notes file and its backup in the data folder.
QString NotesFilePath();
QString NotesBackupPath();

// Appends every note of the notes file to the table, asking to read the backup when the file cannot be read.
void ReadSavedData();
// Writes the table to the notes file, keeping the previous file as the backup. Does nothing while the notes
// program is not running.
void SaveAllNotes();
// Removes one note (or all) through the file, then from the table and the container's rows, which afterwards are
// what reading the file would give. Where the file cannot be written, nothing is removed.
void DeleteNote(int index, bool deleteAll);
