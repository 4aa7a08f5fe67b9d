// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

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
