// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemClock.h"

#include "platform/Seams.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

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

QDBusMessage timedatedCall(const QString &interface, const QString &method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.timedate1"),
                                          QStringLiteral("/org/freedesktop/timedate1"), interface, method);
}

class TimedatedSetter final : public SystemClockSetter {
public:
    void setTime(const QDateTime &moment, bool interactive, const Done &done) override
    {
        QDBusMessage call = timedatedCall(QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("SetTime"));
        call << qint64(moment.toMSecsSinceEpoch()) * 1000 << false << interactive;
        send(call, interactive, done);
    }

    void setService(bool on, bool interactive, const Done &done) override
    {
        QDBusMessage call = timedatedCall(QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("SetNTP"));
        call << on << interactive;
        send(call, interactive, done);
    }

    void readService(const std::function<void(Service)> &done) override
    {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected()) {
            done({});
            return;
        }
        QDBusMessage call = timedatedCall(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
        call << QStringLiteral("org.freedesktop.timedate1");
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [done](QDBusPendingCallWatcher *finished) {
                             finished->deleteLater();
                             const QDBusPendingReply<QVariantMap> reply = *finished;
                             // No timedated: nothing keeps the clock that we know of, and SetTime will say why.
                             if (reply.isError()) {
                                 done({});
                                 return;
                             }
                             const QVariantMap properties = reply.value();
                             done({properties.value(QStringLiteral("NTP")).toBool(),
                                   properties.value(QStringLiteral("NTPSynchronized")).toBool()});
                         });
    }

private:
    static void send(QDBusMessage &call, bool interactive, const Done &done)
    {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected()) {
            done(QStringLiteral("No connection to the system bus"));
            return;
        }
        call.setInteractiveAuthorizationAllowed(interactive);
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
