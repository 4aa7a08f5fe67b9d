// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/NoteTable.h"

#include "core/ErrorLog.h"
#include "core/Programs.h"
#include "notes/NoteBackups.h"
#include "notes/NoteFile.h"
#include "platform/Paths.h"
#include "platform/TextFiles.h"

#include <QFile>
#include <QTimer>
#include <algorithm>

using platform::ErrorKind;

QString NoteRowText(const QString &noteText)
{
    return noteText.isEmpty() ? QStringLiteral(" - empty -") : platform::withLf(noteText);
}

namespace {

NoteViewMaker &viewMaker()
{
    static NoteViewMaker maker = nullptr;
    return maker;
}

} // namespace

void SetNoteViewMaker(NoteViewMaker maker)
{
    viewMaker() = maker;
}

NoteEntry *NoteTable::entry(int index) const
{
    return index >= 1 && index <= count() ? m_notes[size_t(index - 1)].get() : nullptr;
}

NoteRecord *NoteTable::record(int index) const
{
    NoteEntry *note = entry(index);
    return note ? &note->record : nullptr;
}

NoteEntry *NoteTable::find(quint64 id) const
{
    for (const auto &note : m_notes)
        if (note->id == id)
            return note.get();
    return nullptr;
}

NoteEntry::NoteEntry(const NoteRecord &note)
    : record(note), alarmShown(note.alarmRepeat != u"-1"), alarmTip(note.alarmDate + u"  " + note.alarmTime),
      titleTip(note.created)
{
}

QString NoteEntry::currentText() const
{
    return window ? window->currentText() : record.text;
}

NoteView *NoteTable::view(int index) const
{
    NoteEntry *note = entry(index);
    return note ? note->window : nullptr;
}

NoteView *NoteTable::show(int index)
{
    NoteEntry *note = entry(index);
    if (!note)
        return nullptr;
    if (!note->window && viewMaker())
        note->window = viewMaker()(m_notes[size_t(index - 1)], index);
    if (note->window)
        note->window->showNote();
    else
        note->record.visible = true;
    return note->window;
}

void NoteTable::hide(int index)
{
    NoteEntry *note = entry(index);
    if (!note)
        return;
    if (note->window)
        note->window->hideNote();
    note->record.visible = false;
}

void NoteTable::setCollapsed(int index, bool collapsed)
{
    NoteEntry *note = entry(index);
    // "Already so" as a user sees it: a half-folded note (one side at the tab's size) is neither.
    if (!note || (collapsed ? !isExpanded(note->record) : !isCollapsed(note->record)))
        return;
    if (note->window)
        collapsed ? note->window->collapse() : note->window->expand();
    else
        collapsed ? collapseNote(note->record) : expandNote(note->record);
}

void NoteTable::showAlarm(int index, bool shown, const QString &tip)
{
    NoteEntry *note = entry(index);
    if (!note)
        return;
    if (note->window) {
        note->window->showAlarm(shown, tip);
    } else {
        note->alarmShown = shown;
        note->alarmTip = tip;
    }
    Q_EMIT alarmChanged(index);
}

int NoteTable::append(const NoteRecord &record)
{
    auto note = std::make_shared<NoteEntry>(record);
    note->id = ++m_lastId;
    m_notes.push_back(std::move(note));
    return count();
}

void NoteTable::releaseLater(NoteView *window)
{
    // Queued on the window itself: a window deleted meanwhile takes the call with it.
    QMetaObject::invokeMethod(
        window->object(),
        [this, window] {
            NoteEntry *note = entry(window->index());
            if (window->isNoteShown() || !note || note->window != window)
                return;
            window->endEditing();
            note->window = nullptr;
            window->object()->deleteLater();
        },
        Qt::QueuedConnection);
}

void NoteTable::remove(int index)
{
    if (index < 1 || index > count())
        return;
    const auto at = m_notes.begin() + (index - 1);
    // A note may be deleting itself from its own menu: its window goes once that handler has returned.
    if (NoteView *gone = (*at)->window)
        gone->discard();
    m_notes.erase(at);
    for (int i = index; i <= count(); ++i)
        if (NoteView *window = m_notes[size_t(i - 1)]->window)
            window->setIndex(i);
    Q_EMIT noteRemoved(index);
}

void NoteTable::clear()
{
    // A note may be deleting itself from its own menu: the windows go once that handler has returned.
    for (auto &note : m_notes)
        if (note->window)
            note->window->discard();
    m_notes.clear();
    Q_EMIT cleared();
}

NoteTable &NoteStore()
{
    static NoteTable table;
    [[maybe_unused]] static const bool registered = (RegisterProcessRecord([] { NoteStore().clear(); }), true);
    return table;
}

QString NotesFilePath()
{
    return platform::dataFile(QStringLiteral("notes.dat"));
}

QString NotesBackupPath()
{
    return platform::dataFile(QStringLiteral("notes.old"));
}

namespace {

QList<NoteRecord> recordsExcept(int skipIndex)
{
    QList<NoteRecord> records;
    for (int i = 1; i <= NoteStore().count(); ++i) {
        if (NoteView *window = NoteStore().view(i))
            window->takeTypedText();
        if (i != skipIndex)
            records.append(*NoteStore().record(i));
    }
    return records;
}

} // namespace

QList<NoteRecord> CurrentNoteRecords()
{
    return recordsExcept(0);
}

int AppendStoredNote(const NoteRecord &stored)
{
    NoteRecord note = stored;
    // The stored font size, where it is one the menu offers.
    if (std::find(NoteFontSizes.begin(), NoteFontSizes.end(), stored.fontSize) == NoteFontSizes.end())
        note.fontSize = 8;
    if (isCollapsed(stored)) {
        // At the stored old size, then collapsed, which records that size as the one to return to.
        placeNote(note, stored.left, stored.top, stored.oldWidth, stored.oldHeight);
        collapseNote(note);
    }
    const int index = NoteStore().append(note);
    // Shown at once, with no events between two notes: a timer or a peer's note let in while the table is half
    // read would act on a partial table.
    if (stored.visible)
        NoteStore().show(index);
    return index;
}

bool ReadNotesFile()
{
    static const QString tag = QStringLiteral("err_Bas_ReadSavedData ");
    QFile file(NotesFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        logError(tag, ErrorKind::FileNotFound);
        return false;
    }
    const DecodedNotes decoded = decodeNotes(file.readAll());
    file.close();
    for (const NoteRecord &note : decoded.notes) {
        if (NoteStore().count() >= 32767) {
            logError(tag, ErrorKind::Overflow);
            return false;
        }
        AppendStoredNote(note);
    }
    if (decoded.failure) {
        logError(tag, *decoded.failure);
        return false;
    }
    return true;
}

void SaveAllNotes()
{
    if (!ProgramRunFlags().notes)
        return;
    if (NoteStore().reading) {
        NoteStore().saveWanted = true;
        return;
    }
    if (const auto failure = SaveNotesFile(recordsExcept(0)))
        logError(QStringLiteral("err_Bas_SaveAllNotes "), *failure);
}

void DeleteNote(int index, bool deleteAll)
{
    // A note shown early in the start can be deleted while the later ones are still being read; its position does
    // not change meanwhile, as reading only appends.
    if (NoteStore().reading) {
        QTimer::singleShot(0, &NoteStore(), [index, deleteAll] { DeleteNote(index, deleteAll); });
        return;
    }
    const QList<NoteRecord> kept = deleteAll ? QList<NoteRecord>() : recordsExcept(index);
    if (const auto failure = SaveNotesFile(kept)) {
        // The file still holds the note, and so does the table.
        logError(QStringLiteral("err_Bas_DeleteNote "), *failure);
    } else if (deleteAll) {
        NoteStore().clear();
    } else {
        // Only what the deletion changes: one note goes, the later ones move up a position.
        NoteStore().remove(index);
    }
    Q_EMIT NoteStore().deletionEnded();
}
