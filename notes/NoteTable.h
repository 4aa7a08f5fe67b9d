// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "notes/NoteRecord.h"

#include <QList>
#include <QObject>
#include <QString>
#include <array>
#include <memory>
#include <vector>

// The font sizes a note offers; a stored size not among them reads as the first.
inline constexpr std::array<int, 6> NoteFontSizes = {8, 10, 12, 14, 18, 24};

// What a note's container row says: its text, or " - empty -".
QString NoteRowText(const QString &noteText);

// A shown note's window, as the table asks things of it. The notes program's windows are the one kind; a program
// without a display has none, and its notes are records alone.
class NoteView {
public:
    virtual ~NoteView() = default;
    virtual QObject *object() = 0;
    virtual void showNote() = 0;
    virtual void hideNote() = 0;
    virtual bool isNoteShown() const = 0;
    virtual int index() const = 0;
    virtual void setIndex(int index) = 0;
    virtual void collapse() = 0;
    virtual void expand() = 0;
    virtual void showAlarm(bool visible, const QString &tip) = 0;
    // What the note shows now, edits not yet ended included, with CR LF line breaks.
    virtual QString currentText() const = 0;
    // Puts text still being typed into the record; editing goes on.
    virtual void takeTypedText() = 0;
    virtual void endEditing() = 0;
    // The note was deleted: the window stops what it had begun, hides and goes once the event in hand is over.
    virtual void discard() = 0;
};

struct NoteEntry;
// Makes the window for a note about to be shown at position `index`.
using NoteViewMaker = NoteView *(*)(std::shared_ptr<NoteEntry> note, int index);
// How shown notes get their windows: set once by the library that has them (a program without it has none).
void SetNoteViewMaker(NoteViewMaker maker);

// One note of the table: its record, and what its window shows besides the record, kept while it has no window.
struct NoteEntry {
    // A stored note: its alarm icon and tooltips as the record has them.
    explicit NoteEntry(const NoteRecord &note);

    NoteRecord record;
    // The alarm icon: a received note shows the sender's, until its alarm is set here.
    bool alarmShown = false;
    QString alarmTip;
    // The title bar's tooltip: when the note was made, or when it was received.
    QString titleTip;
    bool onTop = false;
    // The note's window, only while the note is shown; owned by the table.
    NoteView *window = nullptr;
    // Who the note is for as long as it lives, whatever positions it takes.
    quint64 id = 0;
    // What the note shows now, edits not yet ended included, with CR LF line breaks.
    QString currentText() const;
};

// The notes in file order, positions 1..count. A note's position is its identity until a deletion renumbers.
// A hidden note is its record and its container row; its window is made when it is shown and goes when it is hidden.
// It tells its observers what changed, and passes on what a note's window or row asks of the programs above (the
// alarms, the network notes), which app/ wires.
class NoteTable : public QObject {
    Q_OBJECT
public:
    int count() const { return int(m_notes.size()); }
    NoteEntry *entry(int index) const; // 1..count
    NoteRecord *record(int index) const;
    // The note with this id, nullptr when it was deleted.
    NoteEntry *find(quint64 id) const;
    // The note's window while it is shown, else nullptr.
    NoteView *view(int index) const;
    // Shows the note, making its window at the stored geometry, size and font where it has none and windows can be
    // made; the record says it is shown either way.
    NoteView *show(int index);
    // Hides the note; its window goes once the event that hid it is over.
    void hide(int index);
    // Folds the note to its tab or unfolds it, through its window where it has one; a note already so is left.
    void setCollapsed(int index, bool collapsed);
    // The note's alarm icon, in its window where it has one, and in its container row.
    void showAlarm(int index, bool shown, const QString &tip);
    // A new note at the end; its position.
    int append(const NoteRecord &record);
    // Takes one note out; the later ones move up a position.
    void remove(int index);
    // Discards every note.
    void clear();
    // Lets a window that was hidden go, once the event that hid it is over; its record stays.
    void releaseLater(NoteView *window);

    // While the table is read from the file it is partial: a save then (an alarm, say, while the start lets events
    // run) would write a partial file and rotate the good one away. Saves asked for meanwhile are made once it is
    // whole.
    bool reading = false;
    bool saveWanted = false;

Q_SIGNALS:
    // The note's record has a new text.
    void textChanged(int index);
    // The note's alarm icon changed; the entry holds what it shows.
    void alarmChanged(int index);
    // The note went; the later ones moved up a position.
    void noteRemoved(int index);
    // Every note went.
    void cleared();
    // Notes first..last were added at the end at once, from an import.
    void notesAdded(int first, int last);
    // A deletion through the file is over, whether or not the file could be written.
    void deletionEnded();

    void alarmEditorWanted(int index);
    void sendDialogWanted(int index);
    // A click on a note's alarm icon, in its window or in its container row.
    void alarmIconClicked(int index, bool fromNoteWindow);

private:
    // Shared with the note's window: a window on its way out after a deletion still writes to a live record.
    std::vector<std::shared_ptr<NoteEntry>> m_notes;
    quint64 m_lastId = 0;
};
NoteTable &NoteStore();

// The notes file and its backup in the data folder.
QString NotesFilePath();
QString NotesBackupPath();

// Appends every note of the notes file to the table; false when it is missing or damaged (the notes read so far
// stay). The caller marks the table as being read.
bool ReadNotesFile();
// Puts a stored note at the end of the table as a start does (its size and font made valid; shown if it was); its
// position.
int AppendStoredNote(const NoteRecord &stored);
// Every note's record, text still being typed included: what a save writes.
QList<NoteRecord> CurrentNoteRecords();
// Writes the table to the notes file, keeping the previous file as the backup. Does nothing while the notes
// program is not running.
void SaveAllNotes();
// Removes one note (or all) through the file, then from the table and the container's rows, which afterwards are
// what reading the file would give. Where the file cannot be written, nothing is removed.
void DeleteNote(int index, bool deleteAll);
