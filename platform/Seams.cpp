// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Seams.h"

namespace platform {

Seams &seams()
{
    static Seams installed;
    return installed;
}

} // namespace platform
