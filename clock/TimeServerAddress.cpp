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

std::pair<TimeServerAddress::Protocol, QString> splitProtocol(const QString &text)
{
    const QString trimmed = text.trimmed();
    const qsizetype scheme = trimmed.indexOf(QStringLiteral("://"));
    if (scheme < 0)
        return {TimeServerAddress::Protocol::Daytime, trimmed};
    const QString rest = trimmed.mid(scheme + 3);
    const bool ntp = trimmed.left(scheme).compare(QStringLiteral("ntp"), Qt::CaseInsensitive) == 0;
    const bool daytime = trimmed.left(scheme).compare(QStringLiteral("daytime"), Qt::CaseInsensitive) == 0;
    // Another scheme stays as it was typed, for the sync to refuse with its reason.
    if (!ntp && !daytime)
        return {TimeServerAddress::Protocol::Daytime, trimmed};
    return {ntp ? TimeServerAddress::Protocol::Ntp : TimeServerAddress::Protocol::Daytime,
            rest.endsWith(u'/') ? rest.chopped(1) : rest};
}

QString joinProtocol(TimeServerAddress::Protocol protocol, const QString &host)
{
    const QString trimmed = host.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(QStringLiteral("://")))
        return trimmed;
    const bool bareV6 = trimmed.count(u':') > 1 && !trimmed.startsWith(u'[');
    if (protocol == TimeServerAddress::Protocol::Ntp)
        return QStringLiteral("ntp://") + (bareV6 ? u'[' + trimmed + u']' : trimmed);
    // A plain text is a host as it stands, so a port needs the scheme; an IPv6 address has colons of its own.
    const bool port = trimmed.count(u':') == 1 || trimmed.contains(QStringLiteral("]:"));
    return port ? QStringLiteral("daytime://") + trimmed : trimmed;
}
