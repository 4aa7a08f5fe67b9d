// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <utility>

// A time server as the custom server field names it: a plain "host" (DAYTIME on port 13, as always),
// "daytime://host[:port]" (DAYTIME over TCP) or "ntp://host[:port]" (SNTP over UDP, port 123).
struct TimeServerAddress {
    enum class Protocol { Daytime, Ntp };
    Protocol protocol = Protocol::Daytime;
    QString host;
    // 0: the protocol's own port, or the one its source was made with.
    quint16 port = 0;
};

// Nothing when the text names a protocol of its own but no host, another protocol, or a port that is none. A plain
// text is a host as it stands; an empty one is asked nothing.
std::optional<TimeServerAddress> parseTimeServer(const QString &text);

// The custom server field shown as a protocol beside a host: "ntp://host:port" is NTP and "host:port". A plain host
// is DAYTIME as it stands.
std::pair<TimeServerAddress::Protocol, QString> splitProtocol(const QString &text);
// The setting's text for a host typed beside a protocol: "ntp://host", and DAYTIME's plain host as it has always
// been, unless a port goes with it.
QString joinProtocol(TimeServerAddress::Protocol protocol, const QString &host);
