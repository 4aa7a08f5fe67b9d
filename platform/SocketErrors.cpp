// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SocketErrors.h"

#include "platform/ErrorCodes.h"

#include <optional>

namespace platform {

namespace {

// The failures a socket error is one of; their numbers are the error table's.
std::optional<ErrorKind> socketErrorKind(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return ErrorKind::ConnectionRefused;
    case QAbstractSocket::HostNotFoundError:
        return ErrorKind::HostNotFound;
    case QAbstractSocket::SocketTimeoutError:
        return ErrorKind::TimedOut;
    case QAbstractSocket::RemoteHostClosedError:
        return ErrorKind::ConnectionReset;
    case QAbstractSocket::NetworkError:
        return ErrorKind::NetworkUnreachable;
    case QAbstractSocket::SocketAccessError:
        return ErrorKind::SocketAccess;
    case QAbstractSocket::AddressInUseError:
        return ErrorKind::AddressInUse;
    default:
        return std::nullopt;
    }
}

} // namespace

int socketErrorNumber(QAbstractSocket::SocketError error)
{
    const std::optional<ErrorKind> kind = socketErrorKind(error);
    return kind ? errorInfo(*kind).number : int(error);
}

} // namespace platform
