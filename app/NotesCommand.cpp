// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/NotesCommand.h"

#include "notes/NoteTransfer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <cstdio>
#include <cstring>

bool isNotesCommand(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--export-notes", 14) == 0 || std::strncmp(argv[i], "--import-notes", 14) == 0)
            return true;
    return false;
}

platform::CommandAnswer notesCommandOnFiles(const QStringList &command)
{
    const TransferResult result =
        command.value(0) == u"import-notes"
            ? ImportIntoNotesFile(command.value(1), NoDisplayScreen)
            : ExportNotesFile(command.value(1), command.value(2) == u"text" ? ExportForm::Text : ExportForm::NotesFile);
    return {result.ok, result.message};
}

int runNotesCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption exportNotes(QStringLiteral("export-notes"), QStringLiteral("Writes every note to FILE."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption importNotes(QStringLiteral("import-notes"), QStringLiteral("Adds the notes of FILE."),
                                         QStringLiteral("FILE"));
    const QCommandLineOption text(QStringLiteral("text"), QStringLiteral("Exports readable text."));
    parser.addOptions({exportNotes, importNotes, text});
    const bool parsed = parser.parse(QCoreApplication::arguments());
    const bool exporting = parser.isSet(exportNotes);
    QString wrong = parsed ? QString() : parser.errorText();
    if (wrong.isEmpty() && exporting == parser.isSet(importNotes))
        wrong = QStringLiteral("give one of --export-notes and --import-notes");
    else if (wrong.isEmpty() && parser.isSet(text) && !exporting)
        wrong = QStringLiteral("--text goes with --export-notes only");
    else if (wrong.isEmpty() && !parser.positionalArguments().isEmpty())
        wrong = u"unexpected " + parser.positionalArguments().join(u' ');
    if (!wrong.isEmpty()) {
        std::fprintf(stderr,
                     "tarnibe: %s\nUsage: tarnibe --export-notes FILE [--text]\n       tarnibe --import-notes FILE\n",
                     qPrintable(wrong));
        return 1;
    }
    // The running copy's side resolves nothing against its own folder: the path goes absolute.
    const QStringList command =
        exporting
            ? QStringList{QStringLiteral("export-notes"), QFileInfo(parser.value(exportNotes)).absoluteFilePath(),
                          parser.isSet(text) ? QStringLiteral("text") : QStringLiteral("file")}
            : QStringList{QStringLiteral("import-notes"), QFileInfo(parser.value(importNotes)).absoluteFilePath()};

    // A running copy holds the notes and does the work. Without one, this process holds the lock while it works on
    // the files, so that no copy starts meanwhile. A copy that is starting holds the lock before it listens.
    std::optional<platform::CommandAnswer> answer;
    platform::SingleInstance instance;
    const QDeadlineTimer deadline(10000);
    while (!answer && !deadline.hasExpired()) {
        if (instance.acquire(false)) {
            answer = notesCommandOnFiles(command);
            instance.release();
        } else if (answer = platform::SingleInstance::askRunningCopy(command, 60000); !answer) {
            QThread::msleep(100);
        }
    }
    if (!answer)
        answer = platform::CommandAnswer{false, QStringLiteral("Tarnibe is running but does not answer.")};
    std::fprintf(answer->ok ? stdout : stderr, "%s%s\n", answer->ok ? "" : "tarnibe: ", qPrintable(answer->text));
    return answer->ok ? 0 : 2;
}
