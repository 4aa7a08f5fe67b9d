// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemClock.h"

#include "platform/Seams.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace platform {

namespace {

// Long enough for a user to answer polkit's password prompt.
constexpr int AuthorisationWaitMs = 120'000;

QString explain(const QDBusError &error)
{
    const QString name = error.name();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return QStringLiteral("The system's clock service (systemd-timedated) is not available");
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
        return QStringLiteral("The system's clock service did not answer");
    if (name == QLatin1String("org.freedesktop.DBus.Error.AccessDenied") ||
        name == QLatin1String("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired"))
        return QStringLiteral("Not allowed to set the clock") +
               (error.message().isEmpty() ? QString() : QStringLiteral(": ") + error.message());
    return error.message().isEmpty() ? name : error.message();
}

class TimedatedSetter final : public SystemClockSetter {
public:
    void setTime(const QDateTime &moment, bool interactive, const Done &done) override
    {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected()) {
            done(QStringLiteral("No connection to the system bus"));
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("/org/freedesktop/timedate1"),
            QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("SetTime"));
        call.setInteractiveAuthorizationAllowed(interactive);
        call << qint64(moment.toMSecsSinceEpoch()) * 1000 << false << interactive;
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, AuthorisationWaitMs));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [done](QDBusPendingCallWatcher *finished) {
                             finished->deleteLater();
                             const QDBusPendingReply<> reply = *finished;
                             if (reply.isError())
                                 done(explain(reply.error()));
                             else
                                 done(std::nullopt);
                         });
    }
};

} // namespace

SystemClockSetter &systemClockSetter()
{
    return serving<TimedatedSetter>(&Facilities::clockSetter);
}

void installSystemClockSetter(SystemClockSetter *setter)
{
    seams().clockSetter = setter;
}

} // namespace platform
