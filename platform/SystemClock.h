// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

namespace platform {

// Sets the computer's clock. The answer comes later: nothing on success, else the reason in plain words.
class SystemClockSetter {
public:
    virtual ~SystemClockSetter() = default;
    using Done = std::function<void(const std::optional<QString> &failure)>;
    // `interactive`: the system may ask the user for a password. Only a sync the user asked for may.
    virtual void setTime(const QDateTime &moment, bool interactive, const Done &done) = 0;

    // The system's own time service (systemd-timesyncd, chrony): `on` while it keeps the clock, which then refuses
    // every SetTime; `synchronised` once it has.
    struct Service {
        bool on = false;
        bool synchronised = false;
    };
    // Read anew each time, since the user may turn it on or off elsewhere. Off where the system cannot tell.
    virtual void readService(const std::function<void(Service)> &done) { done({}); }
    // Turns the system's time service on or off; the answer as for setTime.
    virtual void setService(bool /*on*/, bool /*interactive*/, const Done &done)
    {
        done(QStringLiteral("The system's time service cannot be changed here"));
    }
};

// systemd-timedated over the system bus (SetTime, absolute microseconds since the epoch; interactive where polkit
// may ask the user). DBUS_SYSTEM_BUS_ADDRESS points it at another bus, as the tests do.
SystemClockSetter &systemClockSetter();
void installSystemClockSetter(SystemClockSetter *setter);

} // namespace platform
