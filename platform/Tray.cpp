// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Tray.h"

#include "platform/MessageBox.h"
#include "platform/Seams.h"
#include "platform/StatusNotifier.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <map>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace platform {

std::optional<TrayClick> trayClick(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return TrayClick::Left;
    case QSystemTrayIcon::DoubleClick:
        return TrayClick::Double;
    case QSystemTrayIcon::Context:
        return TrayClick::Right;
    default:
        return std::nullopt;
    }
}

QPoint TrayHost::menuPoint() const
{
    return QCursor::pos();
}

namespace {

// Icons on whichever tray the desktop runs: embedded icon windows (XEmbed) where a classic tray runs, items over
// D-Bus where a StatusNotifierWatcher does. A watcher that appears later (a panel started after the suite at
// login) takes the icons over; one that goes away hands them back.
class SystemTrayHost final : public TrayHost {
public:
    bool add(TrayOwner *owner, const QIcon &icon, const QString &tip) override
    {
        watch();
        Entry &entry = m_entries[owner];
        entry.icon = icon;
        entry.tip = tip;
        entry.owner = owner;
        show(owner, entry);
        return true;
    }
    bool modify(const void *owner, const QIcon &icon, const QString &tip) override
    {
        const auto it = m_entries.find(owner);
        if (it == m_entries.end())
            return false;
        Entry &entry = it->second;
        if (entry.icon.cacheKey() != icon.cacheKey()) {
            entry.icon = icon;
            if (entry.item)
                entry.item->setIcon(icon);
            if (entry.embedded)
                entry.embedded->setIcon(icon);
        }
        if (entry.tip != tip) {
            entry.tip = tip;
            if (entry.item)
                entry.item->setToolTip(tip);
            if (entry.embedded)
                entry.embedded->setToolTip(tip);
        }
        return true;
    }
    bool remove(const void *owner) override { return m_entries.erase(owner) > 0; }
    bool contains(const void *owner) const override { return m_entries.count(owner) > 0; }
    int count() const override { return int(m_entries.size()); }
    bool available() const override
    {
        const_cast<SystemTrayHost *>(this)->watch();
        // Asking Qt while a watcher runs would make it pick the D-Bus tray for itself.
        return m_watcherRunning || (!onWayland() && QSystemTrayIcon::isSystemTrayAvailable());
    }
    void describe(const void *owner, const QString &id, const QString &title, QMenu *menu) override
    {
        m_identities[owner] = Identity{id, title, menu};
    }
    bool activatesOnce() const override { return m_itemsOverDBus; }
    QPoint menuPoint() const override { return m_menuPoint ? *m_menuPoint : QCursor::pos(); }

private:
    struct Identity {
        QString id;
        QString title;
        QPointer<QMenu> menu;
    };
    struct Entry {
        QIcon icon;
        QString tip;
        TrayOwner *owner = nullptr;
        std::unique_ptr<QSystemTrayIcon> embedded;
        std::unique_ptr<StatusNotifierItem> item;
    };

    // A Wayland desktop has no other tray than the D-Bus one; its items wait there for a watcher to come.
    static bool onWayland() { return QGuiApplication::platformName().startsWith(u"wayland"_s); }

    void watch()
    {
        if (m_watching || !QCoreApplication::instance())
            return;
        m_watching = true;
        QCoreApplication *app = QCoreApplication::instance();
        // The icons must go before the application object does.
        QObject::connect(app, &QCoreApplication::aboutToQuit, app, [this] { m_entries.clear(); });
        m_watcherRunning = statusNotifierWatcherRunning();
        m_itemsOverDBus = m_watcherRunning || onWayland();
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;
        auto *watcher = new QDBusServiceWatcher(u"org.kde.StatusNotifierWatcher"_s, bus,
                                                QDBusServiceWatcher::WatchForOwnerChange, app);
        QObject::connect(
            watcher, &QDBusServiceWatcher::serviceOwnerChanged, app,
            [this](const QString &, const QString &, const QString &newOwner) { watcherChanged(!newOwner.isEmpty()); });
    }

    void watcherChanged(bool running)
    {
        m_watcherRunning = running;
        const bool overDBus = running || onWayland();
        if (overDBus == m_itemsOverDBus) {
            // A new watcher knows nothing of the items yet.
            for (auto &[owner, entry] : m_entries) {
                if (entry.item)
                    entry.item->announce();
            }
            return;
        }
        m_itemsOverDBus = overDBus;
        for (auto &[owner, entry] : m_entries) {
            show(owner, entry);
            entry.owner->trayHostChanged();
        }
    }

    void show(const void *owner, Entry &entry)
    {
        if (m_itemsOverDBus) {
            entry.embedded.reset();
            const Identity identity = m_identities[owner];
            const QString id = identity.id.isEmpty() ? QCoreApplication::applicationName() : identity.id;
            entry.item = std::make_unique<StatusNotifierItem>(
                ++m_itemsMade, id, identity.title.isEmpty() ? id : identity.title, identity.menu,
                [this, owner](StatusNotifierItem::Request request, QPoint at) { deliver(owner, request, at); });
            entry.item->setIcon(entry.icon);
            entry.item->setToolTip(entry.tip);
            entry.item->announce();
            return;
        }
        entry.item.reset();
        if (!entry.embedded)
            entry.embedded = std::make_unique<QSystemTrayIcon>();
        entry.embedded->disconnect();
        entry.embedded->setIcon(entry.icon);
        entry.embedded->setToolTip(entry.tip);
        QObject::connect(entry.embedded.get(), &QSystemTrayIcon::activated, entry.embedded.get(),
                         [this, owner](QSystemTrayIcon::ActivationReason reason) {
                             const auto it = m_entries.find(owner);
                             if (const std::optional<TrayClick> click = trayClick(reason);
                                 click && it != m_entries.end()) {
                                 const BoxesSpeakForNoWindow fromTheTray;
                                 it->second.owner->trayActivated(*click);
                             }
                         });
        entry.embedded->show();
    }

    void deliver(const void *owner, StatusNotifierItem::Request request, QPoint at)
    {
        const auto it = m_entries.find(owner);
        if (it == m_entries.end())
            return;
        // A copy: the owner may take its icon away while handling the click.
        TrayOwner *const listener = it->second.owner;
        const BoxesSpeakForNoWindow fromTheTray;
        if (request == StatusNotifierItem::Request::Activate) {
            listener->trayActivated(TrayClick::Left);
            return;
        }
        m_menuPoint = at;
        listener->trayActivated(TrayClick::Right);
        m_menuPoint.reset();
    }

    std::map<const void *, Entry> m_entries;
    std::map<const void *, Identity> m_identities;
    bool m_watching = false;
    bool m_watcherRunning = false;
    bool m_itemsOverDBus = false;
    // Each item gets a serial of its own for its bus name.
    int m_itemsMade = 0;
    std::optional<QPoint> m_menuPoint;
};

} // namespace

TrayHost &trayHost()
{
    return serving<SystemTrayHost>(&Facilities::tray);
}

void installTrayHost(TrayHost *host)
{
    seams().tray = host;
}

} // namespace platform
