// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "clock/TimeServerAddress.h"
#include "clock/TimeSource.h"
#include "core/SettingsRecord.h"
#include "platform/SystemClock.h"

#include <QSet>
#include <QTimer>
#include <array>
#include <chrono>
#include <memory>

// What one attempt asks for: the server, the hour offset as the user typed it, and whether the date is set too.
struct SyncRequest {
    QString server;
    QString hoursOff;
    bool withDate = false;
};

// Why an attempt failed: the socket's own error, or one of the sync's, by the number the history shows for it.
struct SyncFailure {
    enum Kind { Socket = 0, Timeout = 1, UnreadableReply = 2, ClockNotSet = 3, RefusedReply = 4, BadOffset = 13 };
    Kind kind = Socket;
    QAbstractSocket::SocketError socketError = QAbstractSocket::UnknownSocketError;
    QString description;
};

// What a measurement found: how far our clock is behind the server's (ahead where negative), when it was measured,
// and, from an NTP server, the round trip and the server's stratum. A DAYTIME reply tells the time to the second.
struct ClockCheck {
    QString server;
    qint64 offsetMs = 0;
    QDateTime at;
    bool toTheSecond = false;
    std::optional<qint64> delayMs;
    std::optional<int> stratum;
};

// Corrects the computer's clock from a time server: one attempt at a time, each with its own number so that a late
// answer to an earlier one changes nothing, a time-out, the count of failures, and the schedule, which goes by the
// saved settings. It writes the log lines of an attempt and notes the last success in the settings record; saving
// the record and showing the outcome are for those who listen.
class ClockSync : public QObject {
    Q_OBJECT
public:
    // The built-in servers, "Timeserver 1" to "Timeserver 4": NIST's, which answer DAYTIME on port 13.
    static const std::array<QString, 4> &timeServers();
    // The period list's hours: "1 h" to "week", a week being six days.
    static constexpr std::array<int, 6> PeriodHours = {1, 6, 12, 24, 48, 144};
    // Failures after which the schedule stops, once it is due again.
    static constexpr int ErrorLimit = 11;

    // `settings`: the saved choices the schedule goes by, where the last success is noted. `setter` sets the
    // computer's clock. The sync asks DAYTIME servers on port 13 until another source is set.
    ClockSync(SettingsRecord &settings, platform::SystemClockSetter &setter, QObject *parent = nullptr);
    ~ClockSync() override;

    // The source that asks the servers of `protocol`, in place of the one before.
    void setSource(std::unique_ptr<TimeSource> source,
                   TimeServerAddress::Protocol protocol = TimeServerAddress::Protocol::Daytime);
    // Ten seconds unless a test wants the time-out sooner.
    void setReplyTimeout(std::chrono::milliseconds timeout);

    // The user's "sync now": its outcome is reported and the system may ask for a password. While an attempt is
    // under way that one reports its outcome instead.
    void syncNow(const SyncRequest &request);
    // One attempt; `interactive`: the user asked for it, so it is reported and the system may ask for a password.
    void start(const SyncRequest &request, bool interactive);
    // The user's "Check": asks the server and tells how far off the clock is, setting nothing.
    void check(const SyncRequest &request);
    // The last offset measured, by a check or by a sync the system's time service kept from setting the clock.
    const std::optional<ClockCheck> &lastCheck() const { return m_lastCheck; }
    // "Your clock is 1.234 s behind", the round trip, the server and its stratum.
    static QString describe(const ClockCheck &check);

    // Reads whether the system's own time service keeps the clock; told by serviceRead.
    void readService();
    const platform::SystemClockSetter::Service &service() const { return m_service; }
    // The user's explicit choice: the system's time service is turned off so that Atomic time may set the clock.
    void turnOffService();
    // Ends the attempt under way, if any, without an outcome; the network is released all the same.
    void abort();
    bool attemptRunning() const { return m_waiting; }

    // The schedule looks every 63.3 seconds whether a sync is due.
    void startSchedule();
    void stopSchedule();
    bool scheduleRunning() const { return m_schedule.isActive(); }
    // One look: an attempt with the saved choices when the saved period has passed since the last success.
    void checkSchedule();
    // The user has saved the choices: a schedule that waited for the user goes on.
    void resumeSchedule();
    // The system has woken from sleep or its network has changed: a few seconds later, once the network is up, a
    // running schedule syncs whatever the period, since the clock may have drifted while the system slept and a
    // look that found no network need not wait for the next period.
    void systemWoke();
    static constexpr std::chrono::milliseconds WakeSettle{3000};
    // Syncs after such events come this far apart at the least; between them only a sync that is due runs.
    static constexpr std::chrono::seconds WakeSpacing{600};

    int errorCount() const { return m_errors; }
    void resetErrorCount() { m_errors = 0; }

Q_SIGNALS:
    // An attempt asks `server`, as the user typed it; an empty one is asked nothing, and the attempt ends by its
    // time-out.
    void attemptStarted(const QString &server);
    // The server's answer, before it is read.
    void replied(const QByteArray &answer);
    // The clock is set; `reported`: the user waits to be told.
    void clockSet(const QString &timeText, bool reported);
    void failed(const SyncFailure &failure, bool reported);
    // A check's outcome; a failed one is told by failed.
    void checked(const ClockCheck &check);
    // The system's time service keeps the clock, so the attempt measured instead of setting it.
    void keptBySystem(const ClockCheck &check, bool synchronised, bool reported);
    void serviceRead(const platform::SystemClockSetter::Service &service);
    // The answer to turnOffService: nothing, or why the system would not.
    void serviceTurnedOff(const std::optional<QString> &failure);
    // The system would not let an unattended sync set the clock: the schedule waits until the user syncs or saves.
    void waiting(const QString &reason);
    // Too many failures: the schedule has stopped and the count starts again.
    void scheduleStopped();
    // A while after an outcome the attempt's connection has closed and the network is free.
    void networkReleased();

private:
    enum class Aim { Set, Measure };
    void look(bool whateverThePeriod);
    void begin(const SyncRequest &request, bool interactive, Aim aim);
    void answered(const QByteArray &answer);
    void setClock(const NewClockTime &target);
    void measured(const ClockCheck &check);
    void sourceFailed(QAbstractSocket::SocketError error, const QString &description);
    void sourceRefused(const QString &reason, bool stopAsking);
    void succeed(const QString &timeText);
    void fail(const SyncFailure &failure);

    SettingsRecord &m_settings;
    platform::SystemClockSetter &m_setter;
    std::array<std::unique_ptr<TimeSource>, 2> m_sources;
    // The source the attempt under way asks, or asked last.
    TimeSource *m_source = nullptr;
    QTimer m_schedule;
    QTimer m_wake;
    // When an event last had the schedule sync whatever the period.
    QDateTime m_lastWake;
    QTimer m_timeout;
    QTimer m_release;
    int m_attempt = 0;
    bool m_waiting = false;
    QString m_server;
    // Servers that asked not to be asked again: the schedule leaves them alone until the user syncs or saves.
    QSet<QString> m_stopped;
    QString m_hoursOff;
    bool m_withDate = false;
    bool m_interactive = false;
    bool m_report = false;
    bool m_scheduleQuiet = false;
    Aim m_aim = Aim::Set;
    std::optional<ClockCheck> m_lastCheck;
    platform::SystemClockSetter::Service m_service;
    // While the system keeps the clock, the schedule's last measurement, which counts as a sync for the period.
    QDateTime m_lastLook;
    // An offset over a second under the system's time service is logged once, until it is within a second again.
    bool m_offsetLogged = false;
    int m_errors = 0;
};
