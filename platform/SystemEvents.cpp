// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemEvents.h"

#include "platform/Seams.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QHash>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// A link coming up brings its addresses and routes a moment later, and a Wi-Fi change takes a link down and up:
// the changes of one such moment are told once.
constexpr int SettleMs = 2000;
constexpr size_t HeaderLength = NLMSG_ALIGN(sizeof(nlmsghdr));

class SystemWatch : public SystemEvents {
    Q_OBJECT
public:
    SystemWatch()
    {
        m_settle.setSingleShot(true);
        m_settle.setInterval(SettleMs);
        connect(&m_settle, &QTimer::timeout, this, &SystemEvents::networkChanged);
        watchSleep();
        watchNetwork();
    }
    ~SystemWatch() override
    {
        if (m_socket >= 0)
            ::close(m_socket);
    }

    bool offline() const override
    {
        return m_linksKnown && std::none_of(m_up.cbegin(), m_up.cend(), [](bool up) { return up; });
    }

private Q_SLOTS:
    void prepareForSleep(bool sleeping)
    {
        if (!sleeping)
            Q_EMIT resumed();
    }

private:
    void watchSleep()
    {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected()) {
            qInfo("No system bus, so a resume goes unnoticed: %s", qPrintable(bus.lastError().message()));
            return;
        }
        // By logind's name, so that no other client of the bus can pass for it.
        if (!bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                         QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                         SLOT(prepareForSleep(bool))))
            qInfo("logind's sleep signal cannot be watched: %s", qPrintable(bus.lastError().message()));
    }

    void watchNetwork()
    {
        m_socket = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
        sockaddr_nl address{};
        address.nl_family = AF_NETLINK;
        address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
        socklen_t length = sizeof address;
        if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
            qInfo("The network's changes go unnoticed: %s", std::strerror(errno));
            if (m_socket >= 0)
                ::close(m_socket);
            m_socket = -1;
            return;
        }
        m_port = address.nl_pid;
        auto *notifier = new QSocketNotifier(m_socket, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &SystemWatch::readNotices);

        // The links as they are now, so that offline() can tell before the first change.
        struct {
            nlmsghdr header;
            ifinfomsg link;
        } request{};
        request.header.nlmsg_len = sizeof request;
        request.header.nlmsg_type = RTM_GETLINK;
        request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
        request.link.ifi_family = AF_UNSPEC;
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        if (::sendto(m_socket, &request, sizeof request, 0, reinterpret_cast<sockaddr *>(&kernel), sizeof kernel) < 0)
            qInfo("The network's links cannot be listed: %s", std::strerror(errno));
    }

    void readNotices()
    {
        alignas(nlmsghdr) char buffer[16384];
        bool changed = false;
        for (;;) {
            const ssize_t got = ::recv(m_socket, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EINTR)
                continue;
            // Notices came faster than they were read and some are lost: something changed all the same.
            if (got < 0 && errno == ENOBUFS) {
                changed = true;
                continue;
            }
            if (got <= 0)
                break;
            size_t offset = 0;
            while (offset + HeaderLength <= size_t(got)) {
                nlmsghdr header;
                std::memcpy(&header, buffer + offset, sizeof header);
                if (header.nlmsg_len < HeaderLength || offset + header.nlmsg_len > size_t(got))
                    break;
                changed = notice(header, buffer + offset + HeaderLength, header.nlmsg_len - HeaderLength) || changed;
                offset += NLMSG_ALIGN(header.nlmsg_len);
            }
        }
        if (changed)
            m_settle.start();
    }

    // Whether the notice is a change that counts: a link gone up or down, an address come or gone. A Wi-Fi
    // link's scan results come as link notices too, with its state as it was.
    bool notice(const nlmsghdr &header, const char *data, size_t length)
    {
        // The answer to the listing asked for at the start is the state, not a change.
        const bool listing = header.nlmsg_pid == m_port;
        switch (header.nlmsg_type) {
        case NLMSG_DONE:
            if (listing)
                m_linksKnown = true;
            return false;
        case RTM_NEWLINK:
        case RTM_DELLINK: {
            if (length < sizeof(ifinfomsg))
                return false;
            ifinfomsg link;
            std::memcpy(&link, data, sizeof link);
            const bool up =
                header.nlmsg_type == RTM_NEWLINK && (link.ifi_flags & IFF_UP) && (link.ifi_flags & IFF_RUNNING);
            const auto known = m_up.constFind(link.ifi_index);
            const bool was = known != m_up.cend() && *known;
            if (header.nlmsg_type == RTM_DELLINK)
                m_up.remove(link.ifi_index);
            else
                m_up.insert(link.ifi_index, up);
            return !listing && up != was;
        }
        case RTM_NEWADDR:
        case RTM_DELADDR:
            return !listing;
        default:
            return false;
        }
    }

    int m_socket = -1;
    quint32 m_port = 0;
    QTimer m_settle;
    // Each link by its index: up and running.
    QHash<int, bool> m_up;
    bool m_linksKnown = false;
};

} // namespace

SystemEvents &systemEvents()
{
    return serving<SystemWatch>(&Facilities::events);
}

void installSystemEvents(SystemEvents *events)
{
    seams().events = events;
}

} // namespace platform

#include "SystemEvents.moc"
