// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ErrorCodes.h"

namespace platform {

ErrorInfo errorInfo(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::InvalidCall:
        return {5, QStringLiteral("Invalid procedure call or argument")};
    case ErrorKind::Overflow:
        return {6, QStringLiteral("Overflow")};
    case ErrorKind::DivisionByZero:
        return {11, QStringLiteral("Division by zero")};
    case ErrorKind::TypeMismatch:
        return {13, QStringLiteral("Type mismatch")};
    case ErrorKind::FileNotFound:
        return {53, QStringLiteral("File not found")};
    case ErrorKind::InputPastEnd:
        return {62, QStringLiteral("Input past end of file")};
    case ErrorKind::PathAccess:
        return {75, QStringLiteral("Path/File access error")};
    case ErrorKind::PermissionDenied:
        return {70, QStringLiteral("Permission denied")};
    case ErrorKind::DiskFull:
        return {61, QStringLiteral("Disk full")};
    case ErrorKind::ConnectionRefused:
        return {10061, QStringLiteral("Connection is forcefully rejected")};
    case ErrorKind::HostNotFound:
        return {11001, QStringLiteral("Authoritative answer: Host not found")};
    case ErrorKind::TimedOut:
        return {10060, QStringLiteral("Connection timed out")};
    case ErrorKind::AddressInUse:
        return {10048, QStringLiteral("Address in use")};
    case ErrorKind::SocketAccess:
        return {10013, QStringLiteral("Permission denied")};
    case ErrorKind::ConnectionReset:
        return {10054, QStringLiteral("Connection reset by peer")};
    case ErrorKind::NetworkUnreachable:
        return {10051, QStringLiteral("Network is unreachable")};
    }
    return {5, QStringLiteral("Invalid procedure call or argument")};
}

QString errorText(ErrorKind kind)
{
    const ErrorInfo info = errorInfo(kind);
    return QString::number(info.number) + u' ' + info.description;
}

} // namespace platform
