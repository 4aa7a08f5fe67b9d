// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <optional>
#include <utility>

// One missed ring as the missed-alarms list shows it: the day and the stored time, and the note's row text.
struct MissedAlarm {
    QString dateLine;
    QString subject;
    bool operator==(const MissedAlarm &) const = default;
};

// Puts note `index`'s alarm on its two icons, in its window and in its container row: shown while it has an
// alarm, with the date, two spaces and the time as the tooltip.
void ShowAlarmIcons(int index);

// Rings the notes' alarms and lists the ones missed, moving each on by its repeat and saving the notes. What it keeps
// between ticks is its own; what it rings and lists goes to whoever shows it, through its signals.
class AlarmScheduler : public QObject {
    Q_OBJECT
public:
    // One tick of the alarm timer: rings every note due in this minute, in table order. When more than a minute
    // passed since the previous tick (the computer slept, or was too busy), the alarms that fell in the gap are
    // listed as missed instead of being lost.
    void check();
    // Lists every alarm whose moment lies before now (after `since`, when given), moving each on to its first
    // occurrence not in the past, or clearing it; then saves the notes.
    void checkMissed(std::optional<QDateTime> since = std::nullopt);
    // Forgets the tick history and what was learnt about the stored alarms.
    void reset();
    // The soonest alarm not yet rung, and the note it belongs to; nothing where no note has one.
    std::optional<std::pair<QDateTime, int>> nextAlarm() const;

Q_SIGNALS:
    // A note's alarm rings now; `at` is the moment of the tick. Its alarm has not moved on yet.
    void alarmDue(const QString &noteText, const QDateTime &at);
    // The rings of one pass over missed alarms, in table order, each note's oldest first; never empty.
    void alarmsMissed(const QList<MissedAlarm> &rings);

private:
    bool readable(int index, const QString &tag);
    std::optional<QDateTime> momentOf(int index);
    void ring(int index, const QDateTime &now);

    std::optional<QDateTime> m_lastTick;
    // The alarms (date and time as stored) already reported as unreadable: each is logged once, not at every tick.
    QSet<QString> m_reported;
    // The tick runs every 5 s over every note: each alarm's moment is read once per stored text, not at every tick.
    QHash<QString, std::optional<QDateTime>> m_moments;
};

// The process's alarm scheduler.
AlarmScheduler &Alarms();
