// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/NoteBackups.h"

#include "core/ErrorLog.h"
#include "core/Programs.h"
#include "notes/NoteFile.h"
#include "notes/NoteTable.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

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
    static const QRegularExpression name(QStringLiteral("^notes-(\\d{4}-\\d{2}-\\d{2})\\.dat$"));
    QList<NotesBackup> backups;
    const QDir folder(NotesBackupsFolder());
    for (const QString &file : folder.entryList(QDir::Files)) {
        const QRegularExpressionMatch match = name.match(file);
        const QDate date = QDate::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd"));
        if (match.hasMatch() && date.isValid())
            backups.append({date, folder.filePath(file)});
    }
    std::sort(backups.begin(), backups.end(), [](const auto &a, const auto &b) { return a.date > b.date; });
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
