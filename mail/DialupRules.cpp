// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/DialupRules.h"

#include <array>

bool ForbiddenHour(int hour, int first, int count)
{
    if (hour < 0 || hour > 23)
        return false;
    std::array<bool, 24> blocked{};
    for (int h = first; h < first + count && h < 24; ++h) {
        if (h >= 0)
            blocked[size_t(h)] = true;
    }
    // The part of the block after midnight.
    for (int h = 0; h <= first + count - 25 && h < 24; ++h)
        blocked[size_t(h)] = true;
    return blocked[size_t(hour)];
}

QString RasStateText(int state)
{
    switch (state) {
    case 0:
        return QStringLiteral("Open Port");
    case 1:
        return QStringLiteral("Port Opened");
    case 2:
        return QStringLiteral("Connect Device");
    case 3:
        return QStringLiteral("Device Connected");
    case 4:
        return QStringLiteral("All Devices Connected");
    case 5:
        return QStringLiteral("Authenticate");
    case 6:
        return QStringLiteral("Correct ID/password ?");
    case 7:
        return QStringLiteral("Authenticate Retry");
    case 8:
        return QStringLiteral("Authenticate Callback");
    case 9:
        return QStringLiteral("Authenticate Change Password");
    case 10:
        return QStringLiteral("Authenticate Project");
    case 11:
        return QStringLiteral("Authenticate Link Speed");
    case 12:
        return QStringLiteral("Authenticate Ack");
    case 13:
        return QStringLiteral("ReAuthenticate");
    case 14:
        return QStringLiteral("Authenticated");
    case 15:
        return QStringLiteral("Prepare for Callback");
    case 16:
        return QStringLiteral("Wait for Modem Reset");
    case 17:
        return QStringLiteral("Wait for Callback");
    case 18:
        return QStringLiteral("Projected");
    case 19:
        return QStringLiteral("Start Authentication");
    case 20:
        return QStringLiteral("Callback Complete");
    case 21:
        return QStringLiteral("Logon Network");
    case 4096:
        return QStringLiteral("Interactive");
    case 4097:
        return QStringLiteral("Retry Authentication");
    case 4098:
        return QStringLiteral("Callback Set By Caller");
    case 4099:
        return QStringLiteral("Password Expired");
    case 8192:
        return QStringLiteral("Connected, starting email check");
    case 8193:
        return QStringLiteral("Disconnected");
    default:
        return QStringLiteral("Ready to connect...");
    }
}
