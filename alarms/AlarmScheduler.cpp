// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/AlarmScheduler.h"

#include "alarms/AlarmRules.h"
#include "core/DateText.h"
#include "core/ErrorLog.h"
#include "core/Programs.h"
#include "notes/NoteTable.h"
#include "platform/Clock.h"

using namespace Qt::StringLiterals;

namespace {

bool hasAlarm(const NoteRecord &note)
{
    return note.alarmRepeat != AlarmRules::NoAlarm && note.alarmDate != AlarmRules::NoDateSet;
}

bool canRead(const NoteRecord &note)
{
    return AlarmRules::date(note) && AlarmRules::time(note);
}

QDateTime minuteOf(const QDateTime &moment)
{
    return QDateTime(moment.date(), QTime(moment.time().hour(), moment.time().minute()));
}

} // namespace

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

AlarmScheduler &Alarms()
{
    static AlarmScheduler scheduler;
    [[maybe_unused]] static const bool registered = (RegisterProcessRecord([] { Alarms().reset(); }), true);
    return scheduler;
}

void AlarmScheduler::reset()
{
    m_lastTick.reset();
    m_reported.clear();
    m_moments.clear();
}

std::optional<std::pair<QDateTime, int>> AlarmScheduler::nextAlarm() const
{
    const QDateTime now = minuteOf(platform::Clock::now());
    std::optional<std::pair<QDateTime, int>> next;
    for (int i = 1; i <= NoteStore().count(); ++i) {
        const NoteRecord &note = *NoteStore().record(i);
        if (!hasAlarm(note))
            continue;
        const std::optional<QDateTime> at = AlarmRules::moment(note);
        if (at && *at >= now && (!next || *at < next->first))
            next = std::pair{*at, i};
    }
    return next;
}

// A stored date or time that cannot be read would ring never, or at a wrong moment: the note is skipped, the log
// says so once, and the bell icon tells the user.
bool AlarmScheduler::readable(int index, const QString &tag)
{
    const NoteRecord &note = *NoteStore().record(index);
    if (canRead(note))
        return true;
    if (!hasAlarm(note))
        return false;
    const QString alarm = note.alarmDate + u"  " + note.alarmTime;
    if (!m_reported.contains(alarm)) {
        m_reported.insert(alarm);
        logError(tag, platform::ErrorKind::TypeMismatch, u"EXTRA: "_s + alarm);
        ShowAlarmIcons(index);
    }
    return false;
}

void AlarmScheduler::ring(int index, const QDateTime &now)
{
    NoteRecord &note = *NoteStore().record(index);
    Q_EMIT alarmDue(note.text, now);
    AlarmRules::advance(note);
    ShowAlarmIcons(index);
    SaveAllNotes();
}

std::optional<QDateTime> AlarmScheduler::momentOf(int index)
{
    const NoteRecord &note = *NoteStore().record(index);
    const QString key = note.alarmDate + u'\n' + note.alarmTime;
    if (const auto known = m_moments.constFind(key); known != m_moments.cend())
        return *known;
    if (m_moments.size() > 4096)
        m_moments.clear();
    return *m_moments.insert(key, AlarmRules::moment(note));
}

void AlarmScheduler::check()
{
    static const QString tag = QStringLiteral("err_Main_timer_CheckAlarm_Timer ");
    // After "Exit notes" the container only hides; its alarms wait for the notes program to run again, and
    // what fell due meanwhile is listed as missed by the first tick after.
    if (!ProgramRunFlags().notes)
        return;
    const QDateTime now = platform::Clock::now();
    const std::optional<QDateTime> previous = std::exchange(m_lastTick, now);
    // Minutes no tick saw: counted on the clock, not in seconds, as two ticks 60.5 s apart can pass one by. One such
    // minute is a late tick, and its alarms ring now; more are a sleep, and their alarms are listed as missed.
    const qint64 skipped = previous ? minutesBetween(*previous, now) - 1 : 0;
    const QDateTime skippedMinute = skipped == 1 ? minuteOf(*previous).addSecs(60) : QDateTime();
    for (int i = 1; i <= NoteStore().count(); ++i) {
        // Most notes have no alarm at all.
        if (NoteStore().record(i)->alarmDate == AlarmRules::NoDateSet)
            continue;
        const std::optional<QDateTime> at = momentOf(i);
        if (!at) {
            readable(i, tag);
            continue;
        }
        if (AlarmRules::isDueAt(*at, now) || (skippedMinute.isValid() && AlarmRules::isDueAt(*at, skippedMinute)))
            ring(i, now);
    }
    if (skipped > 1)
        checkMissed(minuteOf(*previous).addSecs(60));
}

void AlarmScheduler::checkMissed(std::optional<QDateTime> since)
{
    static const QString tag = QStringLiteral("err_Bas_CheckForMissedAlarms ");
    const QDateTime now = platform::Clock::now();
    QList<MissedAlarm> rings;
    const auto pass = [&] {
        for (int i = 1; i <= NoteStore().count(); ++i) {
            NoteRecord &note = *NoteStore().record(i);
            // Each missed occurrence is listed, oldest first, until the alarm reaches one not in the past.
            while (readable(i, tag)) {
                const QDateTime moment = *AlarmRules::moment(note);
                if (!(moment < now) || (since && moment < *since))
                    break;
                rings.append({formatDate(moment.date()) + u' ' + note.alarmTime, NoteRowText(note.text)});
                if (note.alarmRepeat == AlarmRules::NoAlarm || note.alarmRepeat == u"0") {
                    AlarmRules::clear(note);
                } else if (AlarmRules::isRepeatCode(note.alarmRepeat)) {
                    AlarmRules::advance(note);
                } else {
                    return false; // an unknown repeat ends the pass, unsaved
                }
                ShowAlarmIcons(i);
            }
        }
        return true;
    };
    const bool whole = pass();
    if (!rings.isEmpty())
        Q_EMIT alarmsMissed(rings);
    if (whole)
        SaveAllNotes();
}
