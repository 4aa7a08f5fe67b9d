// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractSocket>

namespace platform {

// The number the suite shows for a socket error, from the one error table (platform/ErrorCodes): 10061 refused,
// 11001 host not found, 10060 timed out, 10054 reset, 10051 network unreachable, 10013 access, 10048 address in
// use; any other error keeps Qt's own number.
int socketErrorNumber(QAbstractSocket::SocketError error);

} // namespace platform
