#pragma once

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
    NoteRecord note = NoteSamples::stored(text, 600, 600);
    note.alarmDate = date;
    note.alarmTime = time;
    note.alarmRepeat = repeat;
    return note;
}

inline QList<NoteRecord> savedNotes(const QString &path = NotesFilePath())
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? decodeNotes(file.readAll()).notes : QList<NoteRecord>();
}

// The notes program at `now`, its container loaded from a file holding `notes`. notes.old is removed once loaded:
// every save leaves one, so its absence proves nothing saved since.
class NotesRun {
public:
    NotesRun(const QList<NoteRecord> &notes, const QDateTime &now)
    {
        env.clock.set(now);
        ProgramRunFlags().notes = true;
        QVERIFY(!writeNotesFile(NotesFilePath(), NotesBackupPath(), notes));
        container->Form_Load();
        QCOMPARE(NoteStore().count(), notes.size());
        QFile::remove(NotesBackupPath());
    }
    ~NotesRun()
    {
        // An editor a failed check left open must not reach into the next test.
        for (QWidget *w : QApplication::topLevelWidgets())
            delete qobject_cast<form_Calendar *>(w);
        UnloadAlarmWindows();
        NoteStore().clear();
        container.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Hooks() = NoteHooks{};
    }

    const NoteRecord &record(int index) const { return NoteStore().note(index)->record(); }
    QList<NoteRecord> records() const
    {
        QList<NoteRecord> all;
        for (int i = 1; i <= NoteStore().count(); ++i)
            all << record(i);
        return all;
    }
    bool savedSinceLoad() const { return QFile::exists(NotesBackupPath()); }

    QLabel *icon(int index, bool inRow) const
    {
        return inRow ? container->findChild<QLabel *>(u"image_Alarm"_s + QString::number(index))
                     : NoteStore().note(index)->findChild<QLabel *>(u"image_Alarm"_s);
    }
    // Note `index`'s alarm icons, in its window and in its container row: their tooltip while shown, "hidden"
    // otherwise; both, when they disagree. Without `tips`, only whether they show.
    QString icons(int index, bool tips = true) const
    {
        QStringList states;
        for (const bool inRow : {false, true}) {
            const QLabel *label = icon(index, inRow);
            states << (label->isVisibleTo(label->window()) ? (tips ? label->toolTip() : u"shown"_s) : u"hidden"_s);
        }
        return states[0] == states[1] ? states[0] : states.join(u" | row: "_s);
    }

    TestEnvironment env;
    std::unique_ptr<form_Main> container = std::make_unique<form_Main>();
};

// The three lines the missed-alarms window lists for one ring.
inline QStringList missedRing(const QString &dateLine, const QString &subject)
{
    return {u"Date: "_s + dateLine, u"Subject: "_s + subject, QString(18, u'-')};
}

} // namespace AlarmTest
