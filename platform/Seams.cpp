// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Seams.h"

namespace platform {

namespace {
struct Platform {
    Seams installed;
    SystemParts system;
};

Platform &platformParts()
{
    static Platform parts;
    return parts;
}
} // namespace

Seams &seams()
{
    return platformParts().installed;
}

SystemParts &systemParts()
{
    return platformParts().system;
}

} // namespace platform
