// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestEnvironment.h"
#include "app/AppProgramHost.h"
#include "core/GhostOwner.h"
#include "core/Programs.h"
#include "core/Settings.h"
#include "core/form_Tarnibe.h"
#include "notes/NoteFile.h"
#include "notes/NoteRecord.h"
#include "notes/NoteRows.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"
#include "platform/IniStore.h"
#include "platform/MessageBox.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTest>
#include <functional>
#include <memory>
#include <tuple>

// Notes, files and views of the note table that the notes tests (and the alarms tests) share.
namespace NoteSamples {

// A stored note of the given text, position and size (twips), expanded, as a saved file would hold it.
inline NoteRecord stored(const QString &text, int left, int top, int width = 2400, int height = 1800)
{
    NoteRecord note;
    note.text = text;
    note.created = QStringLiteral("2026-11-30  08:00:00");
    std::tie(note.left, note.top, note.width, note.height, note.oldWidth, note.oldHeight) =
        std::tuple(left, top, width, height, width, height);
    return note;
}

// The note folded to its tab; it opens again at the size it had.
inline NoteRecord collapse(NoteRecord note)
{
    note.oldWidth = note.width;
    note.oldHeight = note.height;
    note.width = CollapsedWidth;
    note.height = CollapsedHeight;
    return note;
}

inline NoteRecord withAlarm(NoteRecord note, const QString &date = QStringLiteral("24-Dec-2027"),
                            const QString &time = QStringLiteral("09:30"), const QString &repeat = QStringLiteral("1"))
{
    note.alarmDate = date;
    note.alarmTime = time;
    note.alarmRepeat = repeat;
    return note;
}

// Notes "note 1" to "note <count>", each a little below and right of the one before.
inline QList<NoteRecord> numbered(int count)
{
    QList<NoteRecord> notes;
    for (int i = 1; i <= count; ++i)
        notes << stored(QStringLiteral("note %1").arg(i), 300 + 30 * i, 300 + 30 * i);
    return notes;
}

// Generation `g` of the crash test's saver: g % 7 + 1 notes of a few KB of mixed-width text each (so that a save
// takes long enough for kills to land inside it), every field telling its generation and position.
inline QList<NoteRecord> saverGeneration(int g)
{
    QList<NoteRecord> notes;
    for (int p = 1; p <= g % 7 + 1; ++p) {
        NoteRecord note =
            stored(QStringLiteral("generation %1 note %2: Käse, \"Brot\" und 日本 😀\r\n").arg(g).arg(p).repeated(80), p,
                   g, 3000, 2500);
        std::tie(note.visible, note.created, note.fontSize, note.title) =
            std::tuple(p % 2 == 1, QString::number(g), 7 + p, QStringLiteral("g%1 p%2").arg(g).arg(p));
        notes << note;
    }
    return notes;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The notes a file holds; a damaged file shows as the notes before the damage.
inline QList<NoteRecord> notesIn(const QString &path)
{
    return decodeNotes(fileBytes(path)).notes;
}

inline QStringList texts(const QList<NoteRecord> &notes)
{
    QStringList list;
    for (const NoteRecord &note : notes)
        list << note.text;
    return list;
}

// Where a note is and how large, in twips.
inline QRect geometry(const NoteRecord &note)
{
    return {note.left, note.top, note.width, note.height};
}

// The records of the notes, in table order.
inline QList<NoteRecord> tableRecords()
{
    QList<NoteRecord> records;
    for (int i = 1; i <= NoteStore().count(); ++i)
        records << *NoteStore().record(i);
    return records;
}

inline QString look(bool shown, const NoteRecord &note)
{
    return QStringLiteral("%1 %2x%3").arg(shown ? u"shown" : u"hidden").arg(note.width).arg(note.height);
}

// How each note shows on the desktop, in table order: "shown 2400x1800", "hidden 650x370" and so on.
inline QStringList windowLooks()
{
    QStringList list;
    for (int i = 1; i <= NoteStore().count(); ++i) {
        const form_Note *window = NoteWindow(i);
        list << look(window && window->isVisible(), *NoteStore().record(i));
    }
    return list;
}

// How the notes file has each note show.
inline QStringList fileLooks()
{
    QStringList list;
    for (const NoteRecord &note : notesIn(NotesFilePath()))
        list << look(note.visible, note);
    return list;
}

// Destroys the note windows and rows that a rebuild of the table let go of.
inline void processDeletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The notes program as a test starts it, at `now` if given, reading `notes` from the file; without notes, as a
// new user. Its notes go with it.
struct NotesRun {
    explicit NotesRun(const QList<NoteRecord> &notes = {}, const QDateTime &now = {})
    {
        if (now.isValid())
            env.clock.set(now);
        Settings().FirstLaunch = notes.isEmpty();
        ProgramRunFlags().notes = true;
        QVERIFY(notes.isEmpty() || !writeNotesFile(NotesFilePath(), NotesBackupPath(), notes));
        container->Form_Load();
        QCOMPARE(NoteStore().count(), notes.size());
    }
    ~NotesRun()
    {
        container.reset();
        processDeletions();
    }
    const NoteRecord &record(int index) const { return *NoteStore().record(index); }

    // Note `index`'s alarm icons, in its window (for a hidden note, what its window would show) and in its
    // container row: their tooltip while shown, "hidden" otherwise; both, when they disagree. Without `tips`, only
    // whether they show.
    QString icons(int index, bool tips = true) const
    {
        const auto state = [tips](bool shown, const QString &tip) {
            return shown ? (tips ? tip : QStringLiteral("shown")) : QStringLiteral("hidden");
        };
        QStringList states;
        const NoteEntry *note = NoteStore().entry(index);
        if (const form_Note *window = NoteWindow(index)) {
            const auto *label = window->findChild<QLabel *>(QStringLiteral("image_Alarm"));
            states << state(label->isVisibleTo(window), label->toolTip());
        } else {
            states << state(note->alarmShown && !isCollapsed(note->record), note->alarmTip);
        }
        states << state(container->rows()->alarmShown(index), container->rows()->alarmTip(index));
        return states[0] == states[1] ? states[0] : states.join(QStringLiteral(" | row: "));
    }

    TestEnvironment env;
    std::unique_ptr<form_Main> container = std::make_unique<form_Main>();
};

// A left click on a part of a container row, as the pointer makes it.
inline void clickRow(form_Main &container, int index, NoteRows::Part part)
{
    const QRect where = container.rows()->partRect(index, part);
    QTest::mouseClick(container.rows(), Qt::LeftButton, {}, where.center());
}

// The real programs, except that ending the process is only noted, after the save that must come before it.
class Host : public AppProgramHost {
public:
    QStringList ending;
    void saveAllNotes() override
    {
        ending << QStringLiteral("saveAllNotes");
        AppProgramHost::saveAllNotes();
    }
    void endProcess() override { ending << QStringLiteral("endProcess"); }
};

// The suite with the real programs and the control panel, as started by a new user whose files (if any) are already
// in place. `window`: the panel's controls are made before the start, as once it has been shown.
struct Suite {
    explicit Suite(bool window = false)
    {
        if (window)
            panel.ensureWindow();
        host.attach(panel);
        panel.Form_Load();
    }
    GhostOwner *owner(Program program = Program::Notes) const { return host.owner(program); }
    form_Main *container() const { return host.container(); }
    QAction *menuItem(const char *name, Program program = Program::Notes) const
    {
        return owner(program)->findChild<QAction *>(QString::fromLatin1(name));
    }
    void trigger(const char *item) const { menuItem(item)->trigger(); }

    Host host;
    form_Tarnibe panel{host};
};

} // namespace NoteSamples
