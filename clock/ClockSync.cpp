// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/ClockSync.h"

#include "clock/DaytimeSource.h"
#include "clock/SntpSource.h"
#include "clock/TimeServerAddress.h"
#include "core/ErrorLog.h"
#include "platform/Clock.h"
#include "platform/SystemClock.h"

#include <QPointer>

const std::array<QString, 4> &ClockSync::timeServers()
{
    static const std::array<QString, 4> servers{QStringLiteral("time.nist.gov"), QStringLiteral("time-a-g.nist.gov"),
                                                QStringLiteral("time-b-wwv.nist.gov"),
                                                QStringLiteral("utcnist2.colorado.edu")};
    return servers;
}

ClockSync::ClockSync(SettingsRecord &settings, platform::SystemClockSetter &setter, QObject *parent)
    : QObject(parent), m_settings(settings), m_setter(setter)
{
    setSource(std::make_unique<DaytimeSource>());
    setSource(std::make_unique<SntpSource>(), TimeServerAddress::Protocol::Ntp);
    m_schedule.setInterval(63300);
    m_timeout.setInterval(10000);
    m_timeout.setSingleShot(true);
    // Long enough for the connection to close before the network is given back.
    m_release.setInterval(3000);
    m_release.setSingleShot(true);
    connect(&m_schedule, &QTimer::timeout, this, &ClockSync::checkSchedule);
    m_wake.setSingleShot(true);
    m_wake.setInterval(WakeSettle);
    connect(&m_wake, &QTimer::timeout, this, [this] {
        if (!m_schedule.isActive())
            return;
        // A scheduled attempt still waiting for a server asked before the change, likely on a dead connection.
        if (m_waiting && !m_interactive && m_timeout.isActive())
            abort();
        // However often the network changes (a Wi-Fi that comes and goes), a server is asked again only after a
        // while unless the period is up: public servers answer a client that asks too often with a kiss-o'-death.
        const QDateTime now = platform::Clock::now();
        const bool spaced = !m_lastWake.isValid() || std::abs(m_lastWake.secsTo(now)) >= WakeSpacing.count();
        if (spaced)
            m_lastWake = now;
        look(spaced);
    });
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        fail({SyncFailure::Timeout, QAbstractSocket::UnknownSocketError, QStringLiteral("Timeout")});
    });
    connect(&m_release, &QTimer::timeout, this, &ClockSync::networkReleased);
}

ClockSync::~ClockSync() = default;

void ClockSync::setSource(std::unique_ptr<TimeSource> source, TimeServerAddress::Protocol protocol)
{
    std::unique_ptr<TimeSource> &slot = m_sources[size_t(protocol)];
    if (slot)
        slot->abort();
    if (m_source == slot.get())
        m_source = nullptr;
    slot = std::move(source);
    // Only the source of the attempt under way is heard.
    TimeSource *heard = slot.get();
    connect(heard, &TimeSource::answered, this, [this, heard](const QByteArray &answer) {
        if (heard == m_source)
            answered(answer);
    });
    connect(heard, &TimeSource::failed, this,
            [this, heard](QAbstractSocket::SocketError error, const QString &description) {
                if (heard == m_source)
                    sourceFailed(error, description);
            });
    connect(heard, &TimeSource::refused, this, [this, heard](const QString &reason, bool stopAsking) {
        if (heard == m_source)
            sourceRefused(reason, stopAsking);
    });
}

void ClockSync::setReplyTimeout(std::chrono::milliseconds timeout)
{
    m_timeout.setInterval(timeout);
}

void ClockSync::syncNow(const SyncRequest &request)
{
    m_stopped.clear();
    m_report = true;
    // One attempt at a time: the one under way reports its outcome instead.
    if (!m_waiting)
        start(request, true);
}

void ClockSync::start(const SyncRequest &request, bool interactive)
{
    begin(request, interactive, Aim::Set);
}

void ClockSync::check(const SyncRequest &request)
{
    m_stopped.clear();
    m_report = true;
    if (!m_waiting)
        begin(request, true, Aim::Measure);
}

void ClockSync::begin(const SyncRequest &request, bool interactive, Aim aim)
{
    const QString server = request.server.trimmed();
    if (!interactive && m_stopped.contains(server))
        return;
    logError(aim == Aim::Set ? QStringLiteral("Trying to sync...") : QStringLiteral("Checking the clock..."));
    m_server = server;
    m_hoursOff = request.hoursOff;
    m_withDate = request.withDate;
    m_interactive = interactive;
    m_aim = aim;
    m_report = m_report || interactive;
    ++m_attempt;
    m_waiting = true;
    m_timeout.start();
    // The address picks the protocol; a plain host name is DAYTIME, as it has always been.
    const std::optional<TimeServerAddress> address = parseTimeServer(request.server);
    TimeSource *source = address ? m_sources[size_t(address->protocol)].get() : nullptr;
    if (m_source && m_source != source)
        m_source->abort();
    m_source = source;
    // Told before the source asks, which may fail at once (a UDP socket that cannot be had).
    Q_EMIT attemptStarted(request.server);
    if (source)
        source->ask(address->host, address->port);
    else
        fail({SyncFailure::Socket, QAbstractSocket::HostNotFoundError,
              QStringLiteral("Not a time server address: ") + request.server});
}

void ClockSync::abort()
{
    ++m_attempt;
    // The network is given back as after an outcome.
    if (m_waiting)
        m_release.start();
    m_waiting = false;
    m_report = false;
    m_timeout.stop();
    if (m_source)
        m_source->abort();
}

void ClockSync::resumeSchedule()
{
    m_scheduleQuiet = false;
    m_stopped.clear();
}

void ClockSync::startSchedule()
{
    m_schedule.start();
}

void ClockSync::stopSchedule()
{
    m_schedule.stop();
}

void ClockSync::systemWoke()
{
    m_wake.start();
}

void ClockSync::checkSchedule()
{
    look(false);
}

void ClockSync::look(bool whateverThePeriod)
{
    // No new attempt while one still waits for its reply or for the system.
    const SettingsRecord &s = m_settings;
    if (!s.ClockActive || m_waiting || m_scheduleQuiet)
        return;
    // While the system keeps the clock, a measurement stands for a sync: the period counts from the later.
    const QDateTime last = m_lastLook.isValid() ? std::max(m_lastLook, s.ClockLastSyncTime) : s.ClockLastSyncTime;
    const qint64 hours = last.secsTo(platform::Clock::now()) / 3600;
    const int period = s.ClockPeriod >= 0 && s.ClockPeriod < int(PeriodHours.size())
                           ? PeriodHours[size_t(s.ClockPeriod)]
                           : PeriodHours.back();
    if (hours < period && !whateverThePeriod)
        return;
    if (m_errors < ErrorLimit) {
        const QString server = s.UseCustomTimeserver ? s.CustomTimeserver.trimmed()
                               : s.ClockTimeServer >= 0 && s.ClockTimeServer < int(timeServers().size())
                                   ? timeServers()[size_t(s.ClockTimeServer)]
                                   : QString();
        if (!server.isEmpty())
            start({server, QString::number(s.HoursOff), s.ClockDateActive == 1}, false);
        return;
    }
    m_schedule.stop();
    m_errors = 0;
    logError(QStringLiteral("Timer disabled"));
    Q_EMIT scheduleStopped();
}

void ClockSync::answered(const QByteArray &answer)
{
    if (!m_waiting)
        return;
    m_timeout.stop();
    Q_EMIT replied(answer);
    const std::optional<int> hoursOff = HoursOffset(m_hoursOff);
    if (!hoursOff) {
        fail({SyncFailure::BadOffset, QAbstractSocket::UnknownSocketError,
              QStringLiteral("The hour offset is no whole number from -12 to 12")});
        return;
    }
    // A measurement takes the date from the reply where it has one, so that the offset is the whole difference.
    const std::optional<NewClockTime> target =
        m_source->timeFrom(answer, *hoursOff, m_withDate || m_aim == Aim::Measure, platform::Clock::now().date());
    if (!target) {
        fail({SyncFailure::UnreadableReply, QAbstractSocket::UnknownSocketError, QStringLiteral("Unreadable reply")});
        return;
    }
    const QDateTime now = platform::Clock::now();
    ClockCheck check;
    check.server = m_server;
    check.at = now;
    if (const std::optional<TimeSource::Details> details = m_source->details()) {
        check.offsetMs = qRound64(double(details->offsetUs) / 1000);
        // Our clock reads to the millisecond, so a round trip on loopback can come out a hair below zero.
        check.delayMs = std::max<qint64>(0, qRound64(double(details->delayUs) / 1000));
        check.stratum = details->stratum;
    } else {
        check.offsetMs = qRound64(double(now.msecsTo(target->moment)) / 1000) * 1000;
        check.toTheSecond = true;
    }
    if (m_aim == Aim::Measure) {
        measured(check);
        Q_EMIT checked(check);
        return;
    }
    // The system refuses SetTime while its own time service keeps the clock; the user may turn that on or off
    // elsewhere at any time, so it is asked at every attempt.
    const int attempt = m_attempt;
    m_setter.readService([this, self = QPointer(this), attempt, check,
                          target = *target](const platform::SystemClockSetter::Service &service) {
        if (!self || attempt != m_attempt || !m_waiting)
            return;
        m_service = service;
        Q_EMIT serviceRead(service);
        if (!service.on) {
            setClock(target);
            return;
        }
        measured(check);
        if (!m_interactive) {
            m_lastLook = check.at;
            const bool far = std::abs(check.offsetMs) > 1000;
            if (far && !m_offsetLogged)
                logError(QStringLiteral("The system keeps the clock, yet: ") + describe(check));
            m_offsetLogged = far;
        }
        Q_EMIT keptBySystem(check, service.synchronised, std::exchange(m_report, false));
    });
}

void ClockSync::setClock(const NewClockTime &target)
{
    // The attempt stays open until the system has answered; a failure to set the clock is a failed attempt. The
    // answer may come after the sync has gone, at the program's end.
    const int attempt = m_attempt;
    m_setter.setTime(
        target.moment, m_interactive,
        [this, self = QPointer(this), attempt, timeText = target.timeText](const std::optional<QString> &failure) {
            if (!self || attempt != m_attempt || !m_waiting)
                return;
            if (failure)
                fail({SyncFailure::ClockNotSet, QAbstractSocket::UnknownSocketError, *failure});
            else
                succeed(timeText);
        });
}

void ClockSync::measured(const ClockCheck &check)
{
    m_waiting = false;
    m_timeout.stop();
    m_lastCheck = check;
    // Scheduled measurements are logged only when far off, below.
    if (m_interactive)
        logError(QStringLiteral("Offset measured: ") + describe(check));
    m_release.start();
}

QString ClockSync::describe(const ClockCheck &check)
{
    const qint64 size = std::abs(check.offsetMs);
    const QString amount = check.toTheSecond ? QStringLiteral("%1 s").arg(size / 1000)
                           : size < 1000     ? QStringLiteral("%1 ms").arg(size)
                                             : QStringLiteral("%1 s").arg(double(size) / 1000, 0, 'f', 3);
    QString text = check.offsetMs == 0
                       ? QStringLiteral("Your clock is on time")
                       : QStringLiteral("Your clock is %1 %2")
                             .arg(amount, check.offsetMs > 0 ? QStringLiteral("behind") : QStringLiteral("ahead"));
    text += QStringLiteral(" (") + check.server;
    if (check.stratum)
        text += QStringLiteral(", stratum %1").arg(*check.stratum);
    if (check.delayMs)
        text += QStringLiteral(", round trip %1 ms").arg(*check.delayMs);
    return text + u')';
}

void ClockSync::readService()
{
    m_setter.readService([this, self = QPointer(this)](const platform::SystemClockSetter::Service &service) {
        if (!self)
            return;
        m_service = service;
        Q_EMIT serviceRead(service);
    });
}

void ClockSync::turnOffService()
{
    // Only ever the user's own act, so the system may ask for a password.
    m_setter.setService(false, true, [this, self = QPointer(this)](const std::optional<QString> &failure) {
        if (!self)
            return;
        if (failure)
            logError(QStringLiteral("The system's time service stays on: ") + *failure);
        else
            logError(QStringLiteral("The system's time service is turned off: Atomic time sets the clock"));
        Q_EMIT serviceTurnedOff(failure);
        readService();
    });
}

void ClockSync::sourceFailed(QAbstractSocket::SocketError error, const QString &description)
{
    if (m_waiting)
        fail({SyncFailure::Socket, error, description});
}

void ClockSync::sourceRefused(const QString &reason, bool stopAsking)
{
    if (!m_waiting)
        return;
    logError(QStringLiteral("Reply refused: ") + reason);
    if (stopAsking) {
        m_stopped.insert(m_server);
        logError(QStringLiteral("Not asking again until the user acts: ") + m_server);
    }
    fail({SyncFailure::RefusedReply, QAbstractSocket::UnknownSocketError, reason});
}

void ClockSync::succeed(const QString &timeText)
{
    // Written once the clock is set, not when the server answers: a reply the system would not set is no success.
    logError(QStringLiteral("sync success....."));
    m_waiting = false;
    m_scheduleQuiet = false;
    m_settings.ClockLastSyncTime = platform::Clock::now();
    Q_EMIT clockSet(timeText, std::exchange(m_report, false));
    m_release.start();
}

void ClockSync::fail(const SyncFailure &failure)
{
    m_waiting = false;
    m_timeout.stop();
    if (m_source)
        m_source->abort();
    // An unattended sync the system will not let set the clock (it wants a password, or keeps the time itself)
    // fails the same way every period: it is said once, and the schedule waits until the user syncs or saves.
    const bool refusedUnattended = failure.kind == SyncFailure::ClockNotSet && !m_interactive;
    if (refusedUnattended && !m_scheduleQuiet) {
        m_scheduleQuiet = true;
        logError(QStringLiteral("Scheduled syncs wait: ") + failure.description);
        Q_EMIT waiting(failure.description);
    }
    // A check that failed sets nothing and is no failed sync: the schedule's count is of syncs.
    if (!refusedUnattended && m_aim == Aim::Set)
        ++m_errors;
    Q_EMIT failed(failure, std::exchange(m_report, false));
    m_release.start();
}
