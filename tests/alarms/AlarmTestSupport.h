// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "../notes/ContainerRows.h"
#include "../notes/NoteSamples.h"
#include "TestEnvironment.h"
#include "alarms/Alarms.h"
#include "alarms/form_Calendar.h"
#include "notes/NoteFile.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "notes/form_Note.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <memory>

namespace AlarmTest {

using namespace Qt::StringLiterals;

inline NoteRecord alarmNote(const QString &text, const QString &date, const QString &time, const QString &repeat)
{
    return NoteSamples::withAlarm(NoteSamples::stored(text, 600, 600), date, time, repeat);
}

inline QList<NoteRecord> savedNotes(const QString &path = NotesFilePath())
{
    return NoteSamples::notesIn(path);
}

// The notes program at `now`, its container loaded from a file holding `notes`. notes.old is removed once loaded:
// every save leaves one, so its absence proves nothing saved since.
struct NotesRun : NoteSamples::NotesRun {
    NotesRun(const QList<NoteRecord> &notes, const QDateTime &now) : NoteSamples::NotesRun(notes, now)
    {
        QFile::remove(NotesBackupPath());
    }
    ~NotesRun()
    {
        // An editor a failed check left open must not reach into the next test.
        for (QWidget *w : QApplication::topLevelWidgets())
            delete qobject_cast<form_Calendar *>(w);
        UnloadAlarmWindows();
    }

    QList<NoteRecord> records() const { return NoteSamples::tableRecords(); }
    // Every note's alarm date, in table order.
    QString dates() const
    {
        QStringList all;
        for (const NoteRecord &note : records())
            all << note.alarmDate;
        return all.join(u' ');
    }
    bool savedSinceLoad() const { return QFile::exists(NotesBackupPath()); }

    // A click on note `index`'s alarm icon in its container row, or in its window (which it must have).
    void clickAlarm(int index, bool inRow) const
    {
        if (inRow)
            NoteSamples::clickRow(*container, index, NoteRows::Part::Alarm);
        else
            QTest::mouseClick(NoteStore().window(index)->findChild<QLabel *>(u"image_Alarm"_s), Qt::LeftButton);
    }
    // Note `index`'s alarm icons, in its window (for a hidden note, what its window would show) and in its
    // container row: their tooltip while shown, "hidden" otherwise; both, when they disagree. Without `tips`, only
    // whether they show.
    QString icons(int index, bool tips = true) const
    {
        const auto state = [tips](bool shown, const QString &tip) {
            return shown ? (tips ? tip : u"shown"_s) : u"hidden"_s;
        };
        QStringList states;
        const NoteEntry *note = NoteStore().entry(index);
        if (const form_Note *window = note->window) {
            const auto *label = window->findChild<QLabel *>(u"image_Alarm"_s);
            states << state(label->isVisibleTo(window), label->toolTip());
        } else {
            states << state(note->alarmShown && !isCollapsed(note->record), note->alarmTip);
        }
        states << state(container->rows()->alarmShown(index), container->rows()->alarmTip(index));
        return states[0] == states[1] ? states[0] : states.join(u" | row: "_s);
    }
};

// The lines the missed-alarms window lists for rings given as "date time|subject", separated by "; ".
inline QStringList missedRings(const QString &rings)
{
    QStringList lines;
    for (const QString &ring : rings.split(u"; "_s))
        lines << u"Date: "_s + ring.section(u'|', 0, 0) << u"Subject: "_s + ring.section(u'|', 1) << QString(18, u'-');
    return lines;
}

} // namespace AlarmTest
