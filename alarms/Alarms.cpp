// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/Alarms.h"

#include "alarms/AlarmRules.h"
#include "alarms/form_Calendar.h"
#include "alarms/form_MissedAlarms.h"
#include "alarms/form_Notify.h"
#include "core/DateText.h"
#include "core/ErrorLog.h"
#include "core/Programs.h"
#include "notes/NoteStore.h"
#include "notes/form_Main.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"

#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;

// What the alarm check keeps between ticks, forgotten as one at unload. The note table holds it: it is about its
// notes, and goes with them.
struct AlarmState {
    // Plain pointers, never destroyed with the statics: windows must go before the application object does.
    form_Notify *notice = nullptr;
    form_MissedAlarms *missed = nullptr;
    std::optional<QDateTime> lastTick;
    // The alarms (date and time as stored) already reported as unreadable: each is logged once, not at every tick.
    QSet<QString> reported;
    // The tick runs every 5 s over every note: each alarm's moment is read once per stored text, not at every tick.
    QHash<QString, std::optional<QDateTime>> moments;
};

namespace {

AlarmState &state()
{
    std::shared_ptr<AlarmState> &alarms = NoteStore().alarms;
    if (!alarms)
        alarms = std::make_shared<AlarmState>();
    return *alarms;
}

bool hasAlarm(const NoteRecord &note)
{
    return note.alarmRepeat != AlarmRules::NoAlarm && note.alarmDate != AlarmRules::NoDateSet;
}

bool canRead(const NoteRecord &note)
{
    return AlarmRules::date(note) && AlarmRules::time(note);
}

// A stored date or time that cannot be read would ring never, or at a wrong moment: the note is skipped, the log
// says so once, and the bell icon tells the user.
bool readable(int index, const NoteRecord &note, const QString &tag)
{
    if (canRead(note))
        return true;
    if (!hasAlarm(note))
        return false;
    const QString alarm = note.alarmDate + u"  " + note.alarmTime;
    if (!state().reported.contains(alarm)) {
        state().reported.insert(alarm);
        LogError(tag, platform::ErrorKind::TypeMismatch, u"EXTRA: "_s + alarm);
        ShowAlarmIcons(index);
    }
    return false;
}

void ring(int index)
{
    NoteRecord &note = *NoteStore().record(index);
    const QDateTime now = platform::Clock::now();
    Notice()->ring(AlarmRules::noticeCaption(now), note.text);
    AlarmRules::advance(note);
    ShowAlarmIcons(index);
    SaveAllNotes();
}

std::optional<QDateTime> momentOf(const NoteRecord &note)
{
    const QString key = note.alarmDate + u'\n' + note.alarmTime;
    if (const auto known = state().moments.constFind(key); known != state().moments.cend())
        return *known;
    if (state().moments.size() > 4096)
        state().moments.clear();
    return *state().moments.insert(key, AlarmRules::moment(note));
}

QDateTime minuteOf(const QDateTime &moment)
{
    return QDateTime(moment.date(), QTime(moment.time().hour(), moment.time().minute()));
}

} // namespace

form_Notify *Notice()
{
    if (!state().notice)
        state().notice = new form_Notify;
    return state().notice;
}

form_MissedAlarms *MissedAlarmsWindow()
{
    if (!state().missed)
        state().missed = new form_MissedAlarms;
    return state().missed;
}

void UnloadAlarmWindows()
{
    if (const std::shared_ptr<AlarmState> alarms = std::exchange(NoteStore().alarms, nullptr)) {
        delete alarms->notice;
        delete alarms->missed;
    }
}

void ShowAlarmIcons(int index)
{
    const NoteRecord *note = NoteStore().record(index);
    if (!note)
        return;
    const NoteRecord &r = *note;
    const bool on = r.alarmRepeat != AlarmRules::NoAlarm;
    const QString tip = on && hasAlarm(r) && !canRead(r) ? u"Cannot read this alarm's date: "_s + AlarmRules::tooltip(r)
                                                         : AlarmRules::tooltip(r);
    NoteStore().showAlarm(index, on, tip);
}

void timer_CheckAlarm_Timer()
{
    static const QString tag = QStringLiteral("err_Main_timer_CheckAlarm_Timer ");
    // After "Exit notes" the container only hides; its alarms wait for the notes program to run again, and
    // what fell due meanwhile is listed as missed by the first tick after.
    if (!ProgramRunFlags().notes)
        return;
    const QDateTime now = platform::Clock::now();
    const std::optional<QDateTime> previous = state().lastTick;
    state().lastTick = now;
    // Minutes no tick saw: counted on the clock, not in seconds, as two ticks 60.5 s apart can pass one by. One such
    // minute is a late tick, and its alarms ring now; more are a sleep, and their alarms are listed as missed.
    const qint64 skipped = previous ? minutesBetween(*previous, now) - 1 : 0;
    const QDateTime skippedMinute = skipped == 1 ? minuteOf(*previous).addSecs(60) : QDateTime();
    for (int i = 1; i <= NoteStore().count(); ++i) {
        const NoteRecord &note = *NoteStore().record(i);
        // Most notes have no alarm at all.
        if (note.alarmDate == AlarmRules::NoDateSet)
            continue;
        const std::optional<QDateTime> at = momentOf(note);
        if (!at) {
            readable(i, note, tag);
            continue;
        }
        if (AlarmRules::isDueAt(*at, now) || (skippedMinute.isValid() && AlarmRules::isDueAt(*at, skippedMinute)))
            ring(i);
    }
    if (skipped > 1)
        CheckForMissedAlarms(minuteOf(*previous).addSecs(60));
}

void image_Alarm_Click(int index, bool fromNoteWindow)
{
    const NoteRecord *note = NoteStore().record(index);
    if (!note)
        return;
    const auto answer =
        platform::showMessage(AlarmRules::message(*note), QStringLiteral("Alarm is on..."),
                              platform::MsgIcon::Information, platform::MsgButtons::YesNo, platform::MsgAnswer::Yes);
    // The answer acts on the note as it is now; the box may have stood open while a tick moved it on.
    if (NoteRecord *now = NoteStore().record(index); answer == platform::MsgAnswer::Yes && now) {
        AlarmRules::clear(*now);
        ShowAlarmIcons(index);
        SaveAllNotes();
    }
    if (form_Main *container = NotesContainer(); fromNoteWindow && container)
        container->hooks().closeOutgoingConnection();
}

void OpenAlarmEditor(int index)
{
    if (!NoteStore().entry(index))
        return;
    auto *editor = new form_Calendar(index);
    editor->Form_Load();
}

void CheckForMissedAlarms(std::optional<QDateTime> since)
{
    static const QString tag = QStringLiteral("err_Bas_CheckForMissedAlarms ");
    const QDateTime now = platform::Clock::now();
    for (int i = 1; i <= NoteStore().count(); ++i) {
        NoteRecord &note = *NoteStore().record(i);
        // Each missed occurrence is listed, oldest first, until the alarm reaches one not in the past.
        while (readable(i, note, tag)) {
            const QDateTime moment = *AlarmRules::moment(note);
            if (!(moment < now) || (since && moment < *since))
                break;
            const QString subject = NoteRowText(note.text);
            MissedAlarmsWindow()->Form_Load();
            MissedAlarmsWindow()->addRing(formatDate(moment.date()) + u' ' + note.alarmTime, subject);
            if (note.alarmRepeat == AlarmRules::NoAlarm || note.alarmRepeat == u"0") {
                AlarmRules::clear(note);
            } else if (AlarmRules::isRepeatCode(note.alarmRepeat)) {
                AlarmRules::advance(note);
            } else {
                return; // an unknown repeat ends the pass, unsaved
            }
            ShowAlarmIcons(i);
        }
    }
    SaveAllNotes();
}
