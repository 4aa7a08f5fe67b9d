// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/NoteTransfer.h"

#include "core/DateText.h"
#include "notes/NoteBackups.h"
#include "notes/NoteFile.h"
#include "notes/NoteTable.h"
#include "notes/NoteText.h"
#include "platform/Clock.h"
#include "platform/TextFiles.h"

#include <QFile>
#include <QFileInfo>

using platform::ErrorKind;

namespace {

// The most notes a start reads from the notes file.
constexpr qsizetype MaxStoredNotes = 32767;

QString notesCount(qsizetype n)
{
    return n == 1 ? QStringLiteral("1 note") : QStringLiteral("%1 notes").arg(n);
}

std::optional<QString> readFile(const QString &path, QByteArray &bytes)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("Cannot read %1: no such file.").arg(path);
    if (info.isDir())
        return QStringLiteral("Cannot read %1: it is a folder.").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot read %1: %2.").arg(path, file.errorString());
    bytes = file.readAll();
    return std::nullopt;
}

// The notes as the notes file holds them; none where it is missing.
std::optional<QString> storedNotes(QList<NoteRecord> &notes)
{
    QByteArray bytes;
    // Only the backup: the next start asks to read it, and a save now would put it out of reach.
    if (!QFile::exists(NotesFilePath()) && QFile::exists(NotesBackupPath()))
        return QStringLiteral("The notes file %1 is missing; the notes program offers its backup when it starts.")
            .arg(NotesFilePath());
    if (!QFile::exists(NotesFilePath()))
        return std::nullopt;
    if (auto failure = readFile(NotesFilePath(), bytes))
        return failure;
    const DecodedNotes decoded = decodeNotes(bytes);
    if (decoded.failure)
        return QStringLiteral("The notes file %1 is damaged; the notes program offers its backup when it starts.")
            .arg(NotesFilePath());
    notes = decoded.notes;
    return std::nullopt;
}

// A note as new notes are: placed, and made now unless the file said when.
NoteRecord asNewNote(NoteRecord note, const QRect &screen, const QList<NoteRecord> &existing)
{
    PlaceAsNewNote(note, screen, existing);
    if (note.created.isEmpty()) {
        const QDateTime now = platform::Clock::now();
        note.created = formatDate(now.date()) + u"  " + formatTime(now.time());
    }
    return note;
}

} // namespace

TransferResult ExportNotes(const QList<NoteRecord> &notes, const QString &path, ExportForm form)
{
    const bool text = form == ExportForm::Text;
    const QByteArray bytes = text ? encodeNotesText(notes, platform::Clock::now()) : encodeNotes(notes);
    if (QFileInfo(path).isDir())
        return {false, QStringLiteral("Cannot write %1: it is a folder.").arg(path)};
    if (const auto failure = platform::replaceFile(path, {}, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        const QFileInfo folder(QFileInfo(path).absolutePath());
        const QString why = !folder.exists()                  ? QStringLiteral("no such folder")
                            : !folder.isDir()                 ? folder.filePath() + u" is not a folder"
                            : *failure == ErrorKind::DiskFull ? QStringLiteral("the disk is full")
                                                              : QStringLiteral("permission denied");
        return {false, QStringLiteral("Cannot write %1: %2.").arg(path, why)};
    }
    return {true,
            QStringLiteral("Exported %1 to %2 as %3.")
                .arg(notesCount(notes.size()), path, text ? QStringLiteral("text") : QStringLiteral("a notes file"))};
}

TransferResult ReadNotesToImport(const QString &path, QList<NoteRecord> &notes)
{
    QByteArray bytes;
    if (const auto failure = readFile(path, bytes))
        return {false, *failure};
    ImportedNotes imported = decodeImport(bytes);
    if (!imported.error.isEmpty())
        return {false, QStringLiteral("Cannot import %1: %2; nothing was added.").arg(path, imported.error)};
    notes = imported.notes;
    return {true, QStringLiteral("Found %1 in %2.").arg(notesCount(notes.size()), path)};
}

void PlaceAsNewNote(NoteRecord &note, const QRect &screen, const QList<NoteRecord> &existing, std::optional<QPoint> at)
{
    int left = at ? at->x() : (screen.width() - note.width) / 2;
    int top = at ? at->y() : (screen.height() - note.height) / 2;
    for (const NoteRecord &other : existing) {
        if (other.top == top && other.left == left) {
            top += 150;
            left += 150;
        }
    }
    note.left = left;
    note.top = top;
}

void AddImportedNotes(const QList<NoteRecord> &notes, const QRect &screen)
{
    if (notes.isEmpty())
        return;
    const int first = NoteStore().count() + 1;
    QList<NoteRecord> existing;
    for (int index = 1; index < first; ++index)
        existing.append(*NoteStore().record(index));
    for (const NoteRecord &note : notes)
        AppendStoredNote(existing.emplace_back(asNewNote(note, screen, existing)));
    Q_EMIT NoteStore().notesAdded(first, NoteStore().count());
    SaveAllNotes();
}

TransferResult ExportNotesFile(const QString &path, ExportForm form)
{
    QList<NoteRecord> notes;
    if (const auto failure = storedNotes(notes))
        return {false, *failure};
    return ExportNotes(notes, path, form);
}

TransferResult ImportIntoNotesFile(const QString &path, const QRect &screen)
{
    QList<NoteRecord> imported;
    TransferResult found = ReadNotesToImport(path, imported);
    QList<NoteRecord> notes;
    if (!found.ok)
        return found;
    if (const auto failure = storedNotes(notes))
        return {false, *failure};
    if (notes.size() + imported.size() > MaxStoredNotes)
        return {false, QStringLiteral("Cannot import %1: more than %2 notes in all.").arg(path).arg(MaxStoredNotes)};
    for (const NoteRecord &note : imported)
        notes.append(asNewNote(note, screen, notes));
    if (!imported.isEmpty()) {
        if (const auto failure = SaveNotesFile(notes))
            return {false, QStringLiteral("Cannot write the notes file %1: %2; nothing was added.")
                               .arg(NotesFilePath(), platform::errorText(*failure))};
    }
    return {true, ImportDone(found, imported.size())};
}

QString ImportDone(const TransferResult &found, qsizetype added)
{
    return found.message + (added == 0   ? QStringLiteral(" Nothing was added.")
                            : added == 1 ? QStringLiteral(" Added it as a new note.")
                                         : QStringLiteral(" Added them as new notes."));
}
