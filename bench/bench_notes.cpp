// SPDX-License-Identifier: GPL-3.0-or-later
// Times the notes file and the notes program at the sizes users reach: 40 notes (the limit of the New note
// button) and 1,000 (received notes have no limit). Prints medians of 10 runs in milliseconds.
#include "alarms/AlarmScheduler.h"
#include "app/AppProgramHost.h"
#include "core/Programs.h"
#include "core/Settings.h"
#include "core/form_Tarnibe.h"
#include "notes/NoteFile.h"
#include "notes/NoteRows.h"
#include "notes/NoteStore.h"
#include "notes/form_GhostNotes.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

double medianMs(const std::function<void()> &run, int runs = 10)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
}

QList<NoteRecord> makeNotes(int count)
{
    QList<NoteRecord> notes;
    for (int i = 0; i < count; ++i) {
        NoteRecord note;
        note.text =
            QStringLiteral("Note %1: remember the milk, the bread and the meeting at ten.\r\nSecond line.").arg(i);
        note.left = 1500 + (i % 20) * 150;
        note.top = 1500 + (i % 20) * 150;
        note.width = note.oldWidth = 3000;
        note.height = note.oldHeight = 2500;
        note.created = QStringLiteral("2026-12-06  10:00:00");
        notes.append(note);
    }
    return notes;
}

// The process's resident memory in kB, as the kernel counts it.
long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir dir;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME"})
        qputenv(name, QFile::encodeName(dir.path()));
    QApplication app(argc, argv);
    platform::setMessageResponder([](const platform::MessageRequest &) { return platform::MsgAnswer::No; });

    writeFirstStartDefaults();
    loadSettings();
    ProgramRunFlags().notes = true;

    // Memory, in a process of its own so that no earlier run's freed heap hides it: 1,000 notes read, all hidden,
    // then all shown.
    if (QCoreApplication::arguments().contains(QStringLiteral("--memory"))) {
        QList<NoteRecord> notes = makeNotes(1000);
        for (NoteRecord &note : notes)
            note.visible = false;
        writeNotesFile(NotesFilePath(), NotesBackupPath(), notes);
        const long before = residentKb();
        ReadSavedData();
        const long hidden = residentKb();
        for (int i = 1; i <= NoteStore().count(); ++i)
            NoteStore().show(i);
        QCoreApplication::processEvents();
        const long shown = residentKb();
        std::printf("%-34s %10.1f %10.1f kB per note (1000 notes)\n", "RSS: hidden, shown",
                    double(hidden - before) / 1000, double(shown - before) / 1000);
        NoteStore().clear();
        flushDeletes();
        return 0;
    }
    // 40 visible notes of a new note's size, read into a container already on screen without notes: what each
    // costs above the empty notes program.
    if (QCoreApplication::arguments().contains(QStringLiteral("--memory-40"))) {
        writeNotesFile(NotesFilePath(), NotesBackupPath(), {});
        form_Main container;
        container.Form_Load();
        container.show();
        QCoreApplication::processEvents();
        QList<NoteRecord> notes = makeNotes(40);
        for (NoteRecord &note : notes) {
            note.width = note.oldWidth = 1710;
            note.height = note.oldHeight = 1320;
        }
        writeNotesFile(NotesFilePath(), NotesBackupPath(), notes);
        const long before = residentKb();
        ReadSavedData();
        container.CreateLabels();
        QCoreApplication::processEvents();
        std::printf("%-34s %10.1f kB per note (40 notes)\n", "RSS: visible, new note's size",
                    double(residentKb() - before) / 40);
        NoteStore().clear();
        flushDeletes();
        return 0;
    }

    std::printf("%-34s %10s %10s\n", "notes file and program", "40 notes", "1000 notes");
    for (const char *what :
         {"codec: write file", "codec: read file", "SaveAllNotes (windows loaded)", "ReadSavedData (windows built)",
          "alarm tick, 1 in 10 with alarm (us)", "DeleteNote, one in the middle"}) {
        double figures[2];
        int column = 0;
        for (int count : {40, 1000}) {
            const QList<NoteRecord> notes = makeNotes(count);
            writeNotesFile(NotesFilePath(), NotesBackupPath(), notes);
            const QString name = QString::fromLatin1(what);
            if (name.startsWith(u"codec: write")) {
                figures[column] = medianMs([&] { writeNotesFile(NotesFilePath(), NotesBackupPath(), notes); });
            } else if (name.startsWith(u"codec: read")) {
                figures[column] = medianMs([&] {
                    QFile file(NotesFilePath());
                    file.open(QIODevice::ReadOnly);
                    (void)decodeNotes(file.readAll());
                });
            } else if (name.startsWith(u"alarm tick")) {
                // The 5-second tick at a minute none of the alarms is due: what every tick of the day costs.
                QList<NoteRecord> withAlarms = notes;
                for (int i = 0; i < withAlarms.size(); i += 10) {
                    withAlarms[i].alarmDate = QStringLiteral("24-Dec-2027");
                    withAlarms[i].alarmTime = QStringLiteral("09:30");
                    withAlarms[i].alarmRepeat = QStringLiteral("0");
                }
                writeNotesFile(NotesFilePath(), NotesBackupPath(), withAlarms);
                ReadSavedData();
                Alarms().check();
                figures[column] = 1000 * medianMs([] { Alarms().check(); }, 100);
                NoteStore().clear();
                flushDeletes();
            } else if (name.startsWith(u"DeleteNote")) {
                ReadSavedData();
                figures[column] = medianMs([] {
                    DeleteNote(NoteStore().count() / 2, false);
                    flushDeletes();
                });
                NoteStore().clear();
                flushDeletes();
            } else if (name.startsWith(u"SaveAllNotes")) {
                ReadSavedData();
                figures[column] = medianMs([] { SaveAllNotes(); });
                NoteStore().clear();
                flushDeletes();
            } else {
                figures[column] = medianMs([] {
                    ReadSavedData();
                    NoteStore().clear();
                    flushDeletes();
                });
            }
            ++column;
        }
        std::printf("%-34s %10.2f %10.2f\n", what, figures[0], figures[1]);
    }

    // The container's search: one keystroke more or less in the field, until the rows are filtered and painted.
    {
        double figures[2];
        int column = 0;
        for (int count : {40, 1000}) {
            QList<NoteRecord> notes = makeNotes(count);
            for (int i = 0; i < count; i += 7)
                notes[i].text.replace(QStringLiteral("meeting"), QStringLiteral("réunion"));
            for (NoteRecord &note : notes)
                note.visible = false;
            writeNotesFile(NotesFilePath(), NotesBackupPath(), notes);
            form_Main container;
            container.Form_Load();
            container.show();
            QCoreApplication::processEvents();
            auto *field = container.findChild<QLineEdit *>(QStringLiteral("text_Search"));
            const QString typed = QStringLiteral("reunion ten");
            int length = 0;
            figures[column++] = medianMs(
                [&] {
                    // Typed letter by letter, then taken back: every length a user passes through.
                    length = length % (2 * int(typed.size())) + 1;
                    const int shown = length <= typed.size() ? length : 2 * int(typed.size()) - length;
                    field->setText(typed.left(shown));
                    container.rows()->repaint();
                },
                2 * int(typed.size()));
            NoteStore().clear();
            flushDeletes();
        }
        std::printf("%-34s %10.2f %10.2f\n", "search keystroke (filter + paint)", figures[0], figures[1]);
    }

    // A left click on the notes tray icon until the new note's window is on screen.
    writeNotesFile(NotesFilePath(), NotesBackupPath(), {});
    AppProgramHost host;
    form_Tarnibe panel(host);
    host.attach(panel);
    host.startProgram(Program::Notes);
    ProgramRunFlags().notes = true;
    auto *owner = static_cast<form_GhostNotes *>(host.owner(Program::Notes));
    const double clickMs = medianMs([&] {
        const int before = NoteStore().count();
        owner->trayActivated(platform::TrayClick::Left);
        form_Note *note = NoteWindow(before + 1);
        while (!(note && note->windowHandle() && note->windowHandle()->isExposed()))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        DeleteNote(0, true);
        flushDeletes();
    });
    std::printf("%-34s %10.2f ms (median of 10, includes the rewrite of notes.dat)\n", "tray click to note shown",
                clickMs);
    return 0;
}
