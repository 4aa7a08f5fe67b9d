// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarms/Alarms.h"

#include "alarms/AlarmRules.h"
#include "alarms/form_Calendar.h"
#include "alarms/form_MissedAlarms.h"
#include "alarms/form_Notify.h"
#include "notes/NoteStore.h"
#include "platform/MessageBox.h"

namespace {

// Plain pointers, never destroyed with the statics: windows must go before the application object does.
form_Notify *notice = nullptr;
form_MissedAlarms *missed = nullptr;

} // namespace

void ConnectAlarmWindows()
{
    // The scheduler and the note table live as long as the process, and so do these connections.
    [[maybe_unused]] static const bool connected = [] {
        QObject::connect(&Alarms(), &AlarmScheduler::alarmDue, &Alarms(), [](const QString &text, const QDateTime &at) {
            Notice()->ring(AlarmRules::noticeCaption(at), text);
        });
        QObject::connect(&Alarms(), &AlarmScheduler::alarmsMissed, &Alarms(), [](const QList<MissedAlarm> &rings) {
            MissedAlarmsWindow()->Form_Load();
            for (const MissedAlarm &ring : rings)
                MissedAlarmsWindow()->addRing(ring.dateLine, ring.subject);
        });
        QObject::connect(&NoteStore(), &NoteTable::alarmIconClicked, &NoteStore(),
                         [](int index) { image_Alarm_Click(index); });
        QObject::connect(&NoteStore(), &NoteTable::alarmEditorWanted, &NoteStore(), &OpenAlarmEditor);
        return true;
    }();
}

form_Notify *Notice()
{
    if (!notice)
        notice = new form_Notify;
    return notice;
}

form_MissedAlarms *MissedAlarmsWindow()
{
    if (!missed)
        missed = new form_MissedAlarms;
    return missed;
}

void UnloadAlarmWindows()
{
    delete std::exchange(notice, nullptr);
    delete std::exchange(missed, nullptr);
}

void image_Alarm_Click(int index)
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
}

void OpenAlarmEditor(int index)
{
    if (!NoteStore().entry(index))
        return;
    auto *editor = new form_Calendar(index);
    editor->Form_Load();
}
