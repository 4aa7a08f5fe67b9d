#include "platform/Tray.h"

#include <QCoreApplication>
#include <QSystemTrayIcon>
#include <map>
#include <memory>

namespace platform {

int trayMessage(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return LeftButtonUp;
    case QSystemTrayIcon::DoubleClick:
        return LeftDoubleClick;
    case QSystemTrayIcon::Context:
        return RightButtonUp;
    default:
        return 0;
    }
}

namespace {

class SystemTrayHost final : public TrayHost {
public:
    bool add(const void *owner, const QIcon &icon, const QString &tip,
             std::function<void(int message)> onMessage) override
    {
        if (!m_cleanupHooked && QCoreApplication::instance()) {
            // The icons must go before the application object does.
            QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, QCoreApplication::instance(),
                             [this] { m_icons.clear(); });
            m_cleanupHooked = true;
        }
        auto &slot = m_icons[owner];
        if (!slot)
            slot = std::make_unique<QSystemTrayIcon>();
        slot->disconnect();
        slot->setIcon(icon);
        slot->setToolTip(tip);
        QObject::connect(slot.get(), &QSystemTrayIcon::activated, slot.get(),
                         [onMessage = std::move(onMessage)](QSystemTrayIcon::ActivationReason reason) {
                             if (const int message = trayMessage(reason); message != 0 && onMessage)
                                 onMessage(message);
                         });
        slot->show();
        return true;
    }
    bool modify(const void *owner, const QIcon &icon, const QString &tip) override
    {
        const auto it = m_icons.find(owner);
        if (it == m_icons.end())
            return false;
        it->second->setIcon(icon);
        it->second->setToolTip(tip);
        return true;
    }
    bool remove(const void *owner) override { return m_icons.erase(owner) > 0; }
    bool contains(const void *owner) const override { return m_icons.count(owner) > 0; }
    int count() const override { return int(m_icons.size()); }
    bool available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }

private:
    std::map<const void *, std::unique_ptr<QSystemTrayIcon>> m_icons;
    bool m_cleanupHooked = false;
};

TrayHost *g_host = nullptr;

} // namespace

TrayHost &trayHost()
{
    if (g_host)
        return *g_host;
    // Never destroyed: tray icons must not outlive the application object.
    static auto *systemHost = new SystemTrayHost;
    return *systemHost;
}

void installTrayHost(TrayHost *host)
{
    g_host = host;
}

} // namespace platform
