// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SocketErrors.h"

namespace platform {

int socketErrorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::NetworkError:
        return 10051;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    default:
        return int(error);
    }
}

} // namespace platform
