// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/NoteBackups.h"

#include "core/ErrorLog.h"
#include "core/Programs.h"
#include "notes/NoteFile.h"
#include "notes/NoteTable.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/TextFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <tuple>

using platform::ErrorKind;

namespace {

constexpr int DailyKept = 14;
constexpr int MonthsKept = 12;
constexpr auto Private = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// One line in the log per run: a folder that cannot be written fails every save of the day alike.
bool &failureLogged()
{
    static bool logged = false;
    [[maybe_unused]] static const bool registered = (RegisterProcessRecord([] { failureLogged() = false; }), true);
    return logged;
}

std::optional<ErrorKind> writeBackup(const QString &path, const QByteArray &bytes)
{
    QDir data(platform::dataDir());
    if (!data.exists(QStringLiteral("backups")) &&
        !data.mkdir(QStringLiteral("backups"), Private | QFileDevice::ExeOwner))
        return ErrorKind::PathAccess;
    return platform::replaceFile(path, {}, bytes, Private);
}

void keepDailyBackup(const QByteArray &next)
{
    const QDate today = platform::Clock::now().date();
    const QString path = NotesBackupsFolder() + u"/notes-" + today.toString(QStringLiteral("yyyy-MM-dd")) + u".dat";
    QFile current(NotesFilePath());
    if (QFile::exists(path) || !current.open(QIODevice::ReadOnly))
        return;
    const QByteArray previous = current.readAll();
    if (previous == next)
        return;
    if (const auto failure = writeBackup(path, previous)) {
        if (!std::exchange(failureLogged(), true))
            logError(QStringLiteral("err_Bas_Backup "), *failure, path);
        return;
    }
    for (const NotesBackup &old : NotesBackupsToPrune(ListNotesBackups()))
        QFile::remove(old.path);
}

} // namespace

QString NotesBackupsFolder()
{
    return platform::dataFile(QStringLiteral("backups"));
}

QList<NotesBackup> ListNotesBackups()
{
    static const QRegularExpression name(
        QStringLiteral("^notes-(\\d{4}-\\d{2}-\\d{2})(?:-(\\d{6})(?:-\\d+)?)?\\.dat$"));
    QList<NotesBackup> backups;
    const QDir folder(NotesBackupsFolder());
    for (const QString &file : folder.entryList(QDir::Files)) {
        const QRegularExpressionMatch match = name.match(file);
        const QDate date = QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"));
        const QTime time = QTime::fromString(match.captured(2), QStringLiteral("HHmmss"));
        if (match.hasMatch() && date.isValid() && (match.captured(2).isEmpty() || time.isValid()))
            backups.append({date, folder.filePath(file), time});
    }
    std::sort(backups.begin(), backups.end(), [](const NotesBackup &a, const NotesBackup &b) {
        return std::tuple(a.date, a.time, a.path.size(), a.path) > std::tuple(b.date, b.time, b.path.size(), b.path);
    });
    return backups;
}

QList<NotesBackup> NotesBackupsToPrune(const QList<NotesBackup> &newestFirst)
{
    QList<NotesBackup> pruned;
    QSet<int> months;
    for (qsizetype i = 0; i < newestFirst.size(); ++i) {
        const QDate date = newestFirst[i].date;
        const int month = date.year() * 12 + date.month();
        const bool monthly = !months.contains(month) && months.size() < MonthsKept;
        if (monthly)
            months.insert(month);
        if (i >= DailyKept && !monthly)
            pruned.append(newestFirst[i]);
    }
    return pruned;
}

std::optional<ErrorKind> SaveNotesFile(const QList<NoteRecord> &notes)
{
    const QByteArray bytes = encodeNotes(notes);
    keepDailyBackup(bytes);
    return platform::replaceFile(NotesFilePath(), NotesBackupPath(), bytes);
}

NotesBackupSummary SummarizeNotesBackup(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {0, {}, true};
    const DecodedNotes decoded = decodeNotes(file.readAll());
    NotesBackupSummary summary{int(decoded.notes.size()), {}, decoded.failure.has_value()};
    for (const NoteRecord &note : decoded.notes.mid(0, 3))
        summary.firstLines.append(note.text.section(u'\n', 0, 0).remove(u'\r'));
    return summary;
}

TransferResult RestoreNotesBackup(const QString &path)
{
    if (NoteStore().reading)
        return {false, QStringLiteral("Tarnibe is reading its notes; try again once it has started.")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {false, QStringLiteral("Cannot read %1: %2. Nothing was changed.").arg(path, file.errorString())};
    const QByteArray chosen = file.readAll();
    const DecodedNotes decoded = decodeNotes(chosen);
    if (decoded.failure)
        return {false, QStringLiteral("The backup %1 is damaged. Nothing was changed.").arg(path)};

    // The present notes as a copy of their own, under a name no other copy has: several restores a day keep each.
    const QDateTime now = platform::Clock::now();
    const QString stem = NotesBackupsFolder() + u"/notes-" + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString kept = stem + u".dat";
    for (int n = 2; QFile::exists(kept); ++n)
        kept = stem + u'-' + QString::number(n) + u".dat";
    if (const auto failure = writeBackup(kept, encodeNotes(CurrentNoteRecords())))
        return {false, QStringLiteral("Cannot keep the present notes in %1: %2. Nothing was changed.")
                           .arg(kept, platform::errorText(*failure))};
    // Not through a save: today's first save would prune the oldest copies, and a restore deletes nothing.
    if (const auto failure = platform::replaceFile(NotesFilePath(), NotesBackupPath(), chosen))
        return {false, QStringLiteral("Cannot write the notes file %1: %2. Nothing was changed.")
                           .arg(NotesFilePath(), platform::errorText(*failure))};
    NoteStore().clear();
    NoteStore().reading = true;
    NoteStore().saveWanted = false;
    ReadNotesFile();
    NoteStore().reading = false;
    if (NoteStore().count() > 0)
        Q_EMIT NoteStore().notesAdded(1, NoteStore().count());
    if (NoteStore().saveWanted)
        SaveAllNotes();
    const qsizetype n = decoded.notes.size();
    return {true, (n == 1 ? QStringLiteral("Restored 1 note") : QStringLiteral("Restored %1 notes").arg(n)) +
                      QStringLiteral("; the notes you had are kept in %1.").arg(kept)};
}
