// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace platform {

// The failures the suite reports, each with the number and description its log line shows.
enum class ErrorKind {
    InvalidCall,        // 5
    Overflow,           // 6
    DivisionByZero,     // 11
    TypeMismatch,       // 13
    FileNotFound,       // 53
    InputPastEnd,       // 62
    PathAccess,         // 75
    PermissionDenied,   // 70
    DiskFull,           // 61
    ConnectionRefused,  // 10061
    HostNotFound,       // 11001
    TimedOut,           // 10060
    AddressInUse,       // 10048
    SocketAccess,       // 10013
    ConnectionReset,    // 10054
    NetworkUnreachable, // 10051
};

struct ErrorInfo {
    int number;
    QString description;
};

ErrorInfo errorInfo(ErrorKind kind);
// "number description", as the log lines show it.
QString errorText(ErrorKind kind);

} // namespace platform
