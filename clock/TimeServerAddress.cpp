// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/TimeServerAddress.h"

#include <QUrl>

std::optional<TimeServerAddress> parseTimeServer(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (!trimmed.contains(QStringLiteral("://")))
        return TimeServerAddress{TimeServerAddress::Protocol::Daytime, trimmed, 0};
    // QUrl reads the brackets of an IPv6 address and the port; anything beyond host and port is no time server.
    const QUrl url(trimmed, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment() ||
        (!url.path().isEmpty() && url.path() != u'/') || url.port() == 0)
        return std::nullopt;
    TimeServerAddress address;
    if (scheme == u"ntp")
        address.protocol = TimeServerAddress::Protocol::Ntp;
    else if (scheme != u"daytime")
        return std::nullopt;
    address.host = url.host();
    address.port = url.port() > 0 ? quint16(url.port()) : 0;
    return address;
}
