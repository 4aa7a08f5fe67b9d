// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractSocket>

namespace platform {

// The Winsock number the suite shows for a socket error: 10061 refused, 11001 host not found, 10060 timed out,
// 10054 reset, 10051 network unreachable; any other error keeps Qt's own number.
int socketErrorNumber(QAbstractSocket::SocketError error);

} // namespace platform
