// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DesktopNotifications.h"

#include "platform/Seams.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QVariantMap>

namespace platform {

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");

QDBusMessage serverCall(const QString &method)
{
    return QDBusMessage::createMethodCall(Service, Path, Service, method);
}

// Runs `answered` with the reply once it comes, unless `context` is gone by then.
void whenAnswered(const QDBusPendingCall &call, QObject *context,
                  const std::function<void(const QDBusMessage &reply)> &answered)
{
    auto *watcher = new QDBusPendingCallWatcher(call, context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [answered](QDBusPendingCallWatcher *finished) {
                         finished->deleteLater();
                         answered(finished->reply());
                     });
}

// The image-data hint: width, height, row stride, alpha, bits per sample, channels, bytes.
QVariant pictureHint(const DesktopNotifications::Notification &n)
{
    QDBusArgument picture;
    picture.beginStructure();
    picture << n.pictureWidth << n.pictureHeight << n.pictureWidth * 4 << true << 8 << 4 << n.pictureRgba;
    picture.endStructure();
    return QVariant::fromValue(picture);
}

class SessionNotifications final : public DesktopNotifications {
    Q_OBJECT
public:
    SessionNotifications()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;
        m_watcher = new QDBusServiceWatcher(Service, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString &, const QString &, const QString &owner) {
                    m_owned = !owner.isEmpty();
                    tell();
                });
        bus.connect(Service, Path, Service, QStringLiteral("ActionInvoked"), this,
                    SLOT(serverActionInvoked(uint, QString)));
        bus.connect(Service, Path, Service, QStringLiteral("NotificationClosed"), this, SLOT(serverClosed(uint, uint)));
        // Asked without waiting: the answers come before any mail could.
        const auto busCall = [](const QString &method) {
            return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                  QStringLiteral("/org/freedesktop/DBus"),
                                                  QStringLiteral("org.freedesktop.DBus"), method);
        };
        QDBusMessage hasOwner = busCall(QStringLiteral("NameHasOwner"));
        hasOwner << Service;
        whenAnswered(bus.asyncCall(hasOwner), this, [this](const QDBusMessage &reply) {
            m_owned = m_owned || (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                                  reply.arguments().constFirst().toBool());
            tell();
        });
        // A server the bus starts on the first notification counts as there.
        whenAnswered(bus.asyncCall(busCall(QStringLiteral("ListActivatableNames"))), this,
                     [this](const QDBusMessage &reply) {
                         m_activatable = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                                         reply.arguments().constFirst().toStringList().contains(Service);
                         tell();
                     });
    }

    bool available() const override { return m_owned || m_activatable; }

    void notify(const Notification &notification, QObject *context, Shown shown) override
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        // The body is markup to a server that says so, where a subject's "<" or "&" would be taken as such.
        whenAnswered(bus.asyncCall(serverCall(QStringLiteral("GetCapabilities"))), context,
                     [notification, context, shown](const QDBusMessage &capabilities) {
                         const bool markup = capabilities.type() == QDBusMessage::ReplyMessage &&
                                             !capabilities.arguments().isEmpty() &&
                                             capabilities.arguments().constFirst().toStringList().contains(
                                                 QStringLiteral("body-markup"));
                         send(notification, markup, context, shown);
                     });
    }

    void close(uint id) override
    {
        QDBusMessage call = serverCall(QStringLiteral("CloseNotification"));
        call << id;
        QDBusConnection::sessionBus().asyncCall(call);
    }

private Q_SLOTS:
    void serverActionInvoked(uint id, const QString &key) { Q_EMIT actionInvoked(id, key); }
    void serverClosed(uint id, uint reason) { Q_EMIT closed(id, reason); }

private:
    static void send(const Notification &n, bool markup, QObject *context, const Shown &shown)
    {
        QStringList actions;
        for (const auto &[key, label] : n.actions)
            actions << key << label;
        QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("tarnibe")},
                          {QStringLiteral("category"), QStringLiteral("email.arrived")}};
        if (!n.pictureRgba.isEmpty())
            hints.insert(QStringLiteral("image-data"), pictureHint(n));
        QDBusMessage call = serverCall(QStringLiteral("Notify"));
        call << QStringLiteral("Tarnibe") << uint(0) << n.iconName << n.summary
             << (markup ? n.body.toHtmlEscaped() : n.body) << actions << hints << -1;
        whenAnswered(QDBusConnection::sessionBus().asyncCall(call), context, [shown](const QDBusMessage &reply) {
            const bool ok = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
            shown(ok ? reply.arguments().constFirst().toUInt() : 0);
        });
    }

    void tell()
    {
        if (available() == m_told)
            return;
        m_told = available();
        Q_EMIT availableChanged(m_told);
    }

    QDBusServiceWatcher *m_watcher = nullptr;
    bool m_owned = false;
    bool m_activatable = false;
    bool m_told = false;
};

} // namespace

DesktopNotifications &desktopNotifications()
{
    return serving<SessionNotifications>(&Facilities::notifications);
}

void installDesktopNotifications(DesktopNotifications *notifications)
{
    seams().notifications = notifications;
}

} // namespace platform

#include "DesktopNotifications.moc"
